// The settings file: what a start loads into the window and what a close writes back.
#include "UiTestSupport.h"

#include "app/widgets/RadioGroup.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

using uitest::RawValue;
using uitest::SectionKeys;
using uitest::WriteIniFile;

namespace {

const QString kSettings = QStringLiteral("Nastavení");
const QString kSources = QStringLiteral("Archivace");

class SettingsLoadSave : public ::testing::Test, public uitest::WindowFixture {
protected:
    uitest::MessageRecorder messages;
};

TEST_F(SettingsLoadSave, FirstStartWithoutFileShowsEveryDefault) {
    TfoHlavni& w = NewWindow();
    EXPECT_EQ(w.Edit9->text(), Folder() + QStringLiteral("/Documents"));
    EXPECT_EQ(w.Edit8->text(), QStringLiteral("Záloha.zip"));
    EXPECT_EQ(w.Edit10->text(), QStringLiteral("10"));
    EXPECT_EQ(w.Depth, 10);
    EXPECT_FALSE(w.CheckBox1->isChecked());
    EXPECT_FALSE(w.CheckBox2->isChecked());
    for (int i = 0; i < 7; ++i) {
        EXPECT_FALSE(w.CheckBoxX[i]->isChecked()) << i;
        EXPECT_EQ(w.EditTime[i]->text(), QStringLiteral("12:00")) << i;
    }
    EXPECT_EQ(w.RadioGroup1->ItemIndex(), 0);
    EXPECT_TRUE(w.CheckBox4->isChecked());  // missed backups are caught up
    EXPECT_FALSE(w.CheckBox5->isChecked()); // a scheduled backup waits for the power
    EXPECT_TRUE(w.Sources.empty());
    EXPECT_FALSE(w.InTray());
    EXPECT_TRUE(w.TempDir.isEmpty() || w.TempDir.endsWith(QLatin1Char('/')));
    // Loading shows nothing and writes nothing.
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(QFile::exists(SettingsPath()));
}

TEST_F(SettingsLoadSave, FirstCloseWritesEveryKeyInOrder) {
    NewWindow();
    ASSERT_TRUE(window().UlozNastaveni());
    const QStringList expected = {
        QStringLiteral("Adresář zálohy"),   QStringLiteral("Soubor zálohy"),
        QStringLiteral("Hloubka zálohy"),   QStringLiteral("Automatická záloha"),
        QStringLiteral("Podadresáře"),      QStringLiteral("Pondělí"),
        QStringLiteral("Pondělí čas"),      QStringLiteral("Úterý"),
        QStringLiteral("Úterý čas"),        QStringLiteral("Středa"),
        QStringLiteral("Středa čas"),       QStringLiteral("Čtvrtek"),
        QStringLiteral("Čtvrtek čas"),      QStringLiteral("Pátek"),
        QStringLiteral("Pátek čas"),        QStringLiteral("Sobota"),
        QStringLiteral("Sobota čas"),       QStringLiteral("Neděle"),
        QStringLiteral("Neděle čas"),       QStringLiteral("RadioGroup název souboru"),
        QStringLiteral("Dodatečná záloha"), QStringLiteral("Záloha na baterii"),
    };
    EXPECT_EQ(SectionKeys(SettingsPath(), kSettings), expected);
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("Adresář zálohy")),
              Folder() + QStringLiteral("/Documents"));
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("Pondělí")), QStringLiteral("0"));
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("RadioGroup název souboru")),
              QStringLiteral("0"));
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("Dodatečná záloha")),
              QStringLiteral("1"));
    // By default a scheduled backup waits for the power to return.
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("Záloha na baterii")),
              QStringLiteral("0"));
    EXPECT_TRUE(SectionKeys(SettingsPath(), kSources).isEmpty());
}

TEST_F(SettingsLoadSave, DepthWithoutDigitsIsOne) {
    WriteIniFile(SettingsPath(), {"[Nastavení]", "Hloubka zálohy=abc"});
    TfoHlavni& w = NewWindow();
    EXPECT_EQ(w.Edit10->text(), QString());
    EXPECT_EQ(w.Depth, 1);
}

TEST_F(SettingsLoadSave, ValuesAreLoadedIntoTheirControls) {
    WriteIniFile(SettingsPath(),
                 {"[Nastavení]", "Adresář zálohy=/srv/zálohy", "Soubor zálohy=data.cab",
                  "Hloubka zálohy=3", "Automatická záloha=1", "Podadresáře=5", "Středa=1",
                  "Středa čas=7:30", "Neděle=0x1", "Pátek=ano", "RadioGroup název souboru=1",
                  "Dodatečná záloha=0", "Záloha na baterii=1"});
    TfoHlavni& w = NewWindow();
    EXPECT_EQ(w.Edit9->text(), QStringLiteral("/srv/zálohy"));
    EXPECT_EQ(w.Edit8->text(), QStringLiteral("data.cab"));
    EXPECT_EQ(w.Depth, 3);
    EXPECT_TRUE(w.CheckBox1->isChecked());
    EXPECT_TRUE(w.CheckBox2->isChecked()); // any integer other than 0 is true
    EXPECT_TRUE(w.CheckBoxX[2]->isChecked());
    EXPECT_EQ(w.EditTime[2]->text(), QStringLiteral("7:30"));
    EXPECT_TRUE(w.CheckBoxX[6]->isChecked());  // hexadecimal 1
    EXPECT_FALSE(w.CheckBoxX[4]->isChecked()); // no integer
    EXPECT_EQ(w.RadioGroup1->ItemIndex(), 1);
    EXPECT_FALSE(w.CheckBox4->isChecked());
    EXPECT_TRUE(w.CheckBox5->isChecked());
    // Filling the time fields is no edit: the copy button stays on Monday's row.
    EXPECT_EQ(w.SpeedButton1->text(), QStringLiteral("Ostatní dny jako pondělí"));
    EXPECT_EQ(w.SpeedButton1->y(), w.EditTime[0]->y());
    // The check boxes' handlers ran while loading: Wednesday's field follows its box.
    EXPECT_TRUE(w.EditTime[2]->isEnabled());
    EXPECT_FALSE(w.EditTime[0]->isEnabled());
}

TEST_F(SettingsLoadSave, NamingIndexIsLimitedToTheItems) {
    WriteIniFile(SettingsPath(), {"[Nastavení]", "RadioGroup název souboru=7"});
    EXPECT_EQ(NewWindow().RadioGroup1->ItemIndex(), 1);
    WriteIniFile(SettingsPath(), {"[Nastavení]", "RadioGroup název souboru=-4"});
    TfoHlavni& w = NewWindow();
    EXPECT_EQ(w.RadioGroup1->ItemIndex(), -1);
    // No selection is saved as -1.
    ASSERT_TRUE(w.UlozNastaveni());
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("RadioGroup název souboru")),
              QStringLiteral("-1"));
}

TEST_F(SettingsLoadSave, PairsAfterAGapAreNeitherLoadedNorKept) {
    WriteIniFile(SettingsPath(), {"[Archivace]", "Adresář 0=/data/a", "Přípona 0=*.txt",
                                  "Adresář 2=/data/c", "Přípona 2=*.doc"});
    TfoHlavni& w = NewWindow();
    ASSERT_EQ(w.Sources.size(), 1u);
    EXPECT_EQ(w.Sources[0], (TZaloha{QStringLiteral("/data/a"), QStringLiteral("*.txt")}));
    ASSERT_TRUE(w.close());
    EXPECT_EQ(SectionKeys(SettingsPath(), kSources),
              (QStringList{QStringLiteral("Adresář 0"), QStringLiteral("Přípona 0")}));
}

TEST_F(SettingsLoadSave, FolderWithoutMaskGetsTheMaskSentinel) {
    WriteIniFile(SettingsPath(), {"[Archivace]", "Adresář 0=/data/a"});
    TfoHlavni& w = NewWindow();
    ASSERT_EQ(w.Sources.size(), 1u);
    EXPECT_EQ(w.Sources[0].Folder, QStringLiteral("/data/a"));
    EXPECT_EQ(w.Sources[0].Mask, QStringLiteral("99999999.999"));
    ASSERT_TRUE(w.close());
    EXPECT_EQ(RawValue(SettingsPath(), kSources, QStringLiteral("Přípona 0")),
              QStringLiteral("99999999.999"));
}

TEST_F(SettingsLoadSave, PairsAreReadUntrimmedAndCaseSensitiveAgainstTheSentinels) {
    WriteIniFile(SettingsPath(), {"[Archivace]", "Přípona 0=*.txt", "Adresář 1=99999999",
                                  "Přípona 1=99999999.9990"});
    TfoHlavni& w = NewWindow();
    ASSERT_EQ(w.Sources.size(), 2u);
    EXPECT_EQ(w.Sources[0], (TZaloha{QStringLiteral("99999999"), QStringLiteral("*.txt")}));
    EXPECT_EQ(w.Sources[1].Mask, QStringLiteral("99999999.9990"));
}

TEST_F(SettingsLoadSave, ShortenedListLeavesExactlyItsPairs) {
    QStringList lines = {"[Archivace]"};
    for (int i = 0; i < 5; ++i) {
        lines << QStringLiteral("Adresář %1=/data/%1").arg(i)
              << QStringLiteral("Přípona %1=*.%1").arg(i);
    }
    WriteIniFile(SettingsPath(), lines);
    TfoHlavni& w = NewWindow();
    ASSERT_EQ(w.Sources.size(), 5u);
    w.Sources.erase(w.Sources.begin() + 1, w.Sources.begin() + 4);
    ASSERT_TRUE(w.close());
    EXPECT_EQ(SectionKeys(SettingsPath(), kSources),
              (QStringList{QStringLiteral("Adresář 0"), QStringLiteral("Přípona 0"),
                           QStringLiteral("Adresář 1"), QStringLiteral("Přípona 1")}));
    EXPECT_EQ(RawValue(SettingsPath(), kSources, QStringLiteral("Adresář 1")),
              QStringLiteral("/data/4"));
}

TEST_F(SettingsLoadSave, UnknownKeysSurviveOnlyInTheSettingsSection) {
    WriteIniFile(SettingsPath(), {"[Nastavení]", "Barva=modrá", "Soubor zálohy=x.cab",
                                  "[Archivace]", "Adresář 0=/a", "Přípona 0=*.*", "Poznámka=pryč"});
    NewWindow();
    ASSERT_TRUE(window().close());
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("Barva")),
              QStringLiteral("modrá"));
    EXPECT_FALSE(RawValue(SettingsPath(), kSources, QStringLiteral("Poznámka")).has_value());
    EXPECT_EQ(RawValue(SettingsPath(), kSources, QStringLiteral("Adresář 0")),
              QStringLiteral("/a"));
}

TEST_F(SettingsLoadSave, SavedFieldsAreTrimmedAndReadBackByTheNextStart) {
    TfoHlavni& w = NewWindow();
    w.Edit9->setText(QStringLiteral("  /srv/záloha  "));
    w.Edit8->setText(QStringLiteral(" data.cab"));
    w.Edit10->setText(QStringLiteral("4"));
    w.CheckBox1->setChecked(true);
    w.CheckBox2->setChecked(true);
    w.CheckBoxX[4]->setChecked(true);
    w.EditTime[4]->setText(QStringLiteral(" 18:45 "));
    w.RadioGroup1->SetItemIndex(1);
    w.Sources.push_back({QStringLiteral("/home/jana"), QStringLiteral("*.odt")});
    w.Sources.push_back({QString(), QString()});
    ASSERT_TRUE(w.close());
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("Pátek čas")),
              QStringLiteral("18:45"));
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("Automatická záloha")),
              QStringLiteral("1"));

    TfoHlavni& again = NewWindow();
    EXPECT_EQ(again.Edit9->text(), QStringLiteral("/srv/záloha"));
    EXPECT_EQ(again.Edit8->text(), QStringLiteral("data.cab"));
    EXPECT_EQ(again.Depth, 4);
    EXPECT_TRUE(again.CheckBox1->isChecked());
    EXPECT_TRUE(again.CheckBox2->isChecked());
    EXPECT_TRUE(again.CheckBoxX[4]->isChecked());
    EXPECT_EQ(again.EditTime[4]->text(), QStringLiteral("18:45"));
    EXPECT_EQ(again.RadioGroup1->ItemIndex(), 1);
    ASSERT_EQ(again.Sources.size(), 2u);
    EXPECT_EQ(again.Sources[0], (TZaloha{QStringLiteral("/home/jana"), QStringLiteral("*.odt")}));
    EXPECT_EQ(again.Sources[1], TZaloha{});
}

TEST_F(SettingsLoadSave, UnrepresentableTextIsRefusedAndNothingIsWritten) {
    WriteIniFile(SettingsPath(), {"[Nastavení]", "Soubor zálohy=stará.cab"});
    TfoHlavni& w = NewWindow();
    w.Edit8->setText(QStringLiteral("zálohy-日本.cab"));
    EXPECT_FALSE(w.close());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("„zálohy-日本.cab“")));
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Windows-1250")));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("quenza Ostrivane"));
    // The file keeps what it held, and the next close tries again.
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("Soubor zálohy")),
              QStringLiteral("stará.cab"));
    w.Edit8->setText(QStringLiteral("nová.cab"));
    EXPECT_TRUE(w.close());
    EXPECT_EQ(RawValue(SettingsPath(), kSettings, QStringLiteral("Soubor zálohy")),
              QStringLiteral("nová.cab"));
}

TEST_F(SettingsLoadSave, UnrepresentableSourceIsRefusedToo) {
    TfoHlavni& w = NewWindow();
    w.Sources.push_back({QStringLiteral("/data/ελληνικά"), QStringLiteral("*.*")});
    EXPECT_FALSE(w.UlozNastaveni());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("/data/ελληνικά")));
    EXPECT_FALSE(QFile::exists(SettingsPath()));
}

TEST_F(SettingsLoadSave, SourcesAddedThroughTheDialogSurviveARestart) {
    const QString folder = MakeFolder(QStringLiteral("dokumenty"));
    TfoHlavni& w = NewWindow();
    uitest::WhenModal([&](QDialog*) {
        dialog().Edit1->setText(QStringLiteral("  ") + folder + QStringLiteral(" "));
        dialog().Edit2->setText(QStringLiteral(" *.odt "));
        dialog().BitBtn2->click();
    });
    w.BitBtn4->click();
    ASSERT_TRUE(w.close());

    TfoHlavni& again = NewWindow();
    ASSERT_EQ(again.Sources.size(), 1u);
    EXPECT_EQ(again.Sources[0], (TZaloha{folder, QStringLiteral("*.odt")}));
    again.show();
    EXPECT_EQ(again.Cells(0, 1), folder);
    EXPECT_EQ(again.Cells(1, 1), QStringLiteral("*.odt"));
}

} // namespace
