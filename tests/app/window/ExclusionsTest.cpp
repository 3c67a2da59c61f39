// The exclusion patterns in the window: loaded from "[Vyloučení]", edited from the keyboard in
// their dialog (the suggested ones only when asked for), written back at close, and left out of
// the window's own backup.
#include "UiTestSupport.h"

#include "app/dialogs/TfoVylouceni.h"
#include "cabinet/component/CabinetLibrary.h"
#include "tests/support/Readers.h"

#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kExclusions = QStringLiteral("Vyloučení");

class Exclusions : public ::testing::Test, public uitest::WindowFixture {
protected:
    // Opens the dialog with Alt+V from the "Soubory" tab and runs `act` in it.
    void InDialog(TfoHlavni& w, const std::function<void(TfoVylouceni&)>& act) {
        bool acted = false;
        uitest::WhenModal([&](QDialog* dialog) {
            auto* exclusions = qobject_cast<TfoVylouceni*>(dialog);
            ASSERT_NE(exclusions, nullptr) << dialog->objectName().toStdString();
            act(*exclusions);
            acted = true;
        });
        ShowActive(); // a dialog closed leaves no window active here
        QTest::keyClick(&w, Qt::Key_V, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return acted && QApplication::activeModalWidget() == nullptr; }, 10000));
    }

    uitest::MessageRecorder messages;
};

TEST_F(Exclusions, PatternsAreEditedInTheirDialogAndSavedInOrder) {
    uitest::WriteIniFile(SettingsPath(),
                         {"[Vyloučení]", "Vzor 0=*.iso", "Vzor 1=/Dokumenty/Velké/"});
    TfoHlavni& w = NewWindow();
    EXPECT_EQ(w.Exclusions, (QStringList{"*.iso", "/Dokumenty/Velké/"}));

    // Storno (Escape) keeps the list as it was, whatever was done in the dialog.
    InDialog(w, [](TfoVylouceni& d) {
        EXPECT_EQ(d.Patterns(), (QStringList{"*.iso", "/Dokumenty/Velké/"}));
        d.BitBtn3->click();
        QTest::keyClick(&d, Qt::Key_Escape);
    });
    EXPECT_EQ(w.Exclusions, (QStringList{"*.iso", "/Dokumenty/Velké/"}));

    InDialog(w, [](TfoVylouceni& d) {
        // A typed pattern goes in with Enter, trimmed; one already listed is not added twice.
        QTest::keyClick(&d, Qt::Key_N, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), d.Edit1);
        QTest::keyClicks(d.Edit1, QStringLiteral(" node_modules/ "));
        QTest::keyClick(d.Edit1, Qt::Key_Return);
        QTest::keyClicks(d.Edit1, QStringLiteral("*.iso"));
        QTest::keyClick(d.Edit1, Qt::Key_Return);
        // A pattern the settings file cannot hold is refused with a word.
        d.Edit1->insert(QStringLiteral("Ελλάδα/"));
        QTest::keyClick(d.Edit1, Qt::Key_Return);
        d.Edit1->clear();
        // The first pattern removed with Delete in the list.
        d.ListBox1->setFocus();
        d.ListBox1->setCurrentRow(0);
        QTest::keyClick(d.ListBox1, Qt::Key_Delete);
        EXPECT_EQ(d.ListBox1->count(), 2);
        // The suggestions come only now, each once (a button pressed by its accelerator clicks
        // a moment later).
        QTest::keyClick(&d, Qt::Key_D, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return d.ListBox1->count() == 7; }, 5000));
        QTest::keyClick(&d, Qt::Key_D, Qt::AltModifier);
        QTest::qWait(400);
        d.Edit1->setFocus();
        QTest::keyClick(d.Edit1, Qt::Key_Return); // empty: confirms the dialog
    });
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Ελλάδα/")));
    const QStringList expected = {"/Dokumenty/Velké/", "node_modules/",          ".cache/",
                                  ".thumbnails/",      "**/.local/share/Trash/", ".Trash-*/",
                                  "__pycache__/"};
    EXPECT_EQ(w.Exclusions, expected);

    ASSERT_TRUE(w.UlozNastaveni());
    QStringList keys;
    for (int n = 0; n < expected.size(); ++n) {
        keys.append(QStringLiteral("Vzor %1").arg(n));
        EXPECT_EQ(uitest::RawValue(SettingsPath(), kExclusions, keys.back()), expected[n]);
    }
    EXPECT_EQ(uitest::SectionKeys(SettingsPath(), kExclusions), keys);
    EXPECT_EQ(NewWindow().Exclusions, expected);
}

TEST_F(Exclusions, TheWindowsBackupLeavesOutWhatThePatternsMatch) {
    ASSERT_TRUE(uitest::CabinetReady()) << CabinetLoadError();
    const QString source = MakeFolder(QStringLiteral("Data"));
    const QString destination = MakeFolder(QStringLiteral("Zálohy"));
    for (const char* file : {"a.txt", "disc.iso", "web/node_modules/x.js", "web/app.js"})
        uitest::WriteFile(source + QLatin1Char('/') + QString::fromUtf8(file), "x");
    TfoHlavni& w = NewWindow();
    w.Sources.push_back({source, QStringLiteral("*.*")});
    w.Exclusions = {"node_modules/", "*.iso"};
    w.CheckBox2->setChecked(true);
    w.Edit9->setText(destination);
    w.Edit8->setText(QStringLiteral("data"));
    w.BitBtn3->click();
    ASSERT_TRUE(uitest::WaitForBackupEnd(w));
    ASSERT_TRUE(messages.shown.empty()) << messages.Texts().join("\n").toStdString();
    EXPECT_EQ(
        testsupport::CabextractNames((destination + QStringLiteral("/data.cab")).toStdString()),
        (std::set<std::string>{"Data/a.txt", "Data/web/app.js"}));
}

} // namespace
