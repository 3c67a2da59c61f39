// The restore dialog opened from the main window and driven from the keyboard alone: a backup
// made by the window, a name typed into the search, the file restored into a folder.
#include "UiTestSupport.h"

#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TMakeCab.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Alt + `key` as the user presses it, in the active window `window`.
void PressAlt(QWidget* window, Qt::Key key) {
    QTest::keyClick(window, key, Qt::AltModifier);
}

TEST(RestoreDialog, FromTheWindowATypedNameIsFoundAndRestoredIntoAFolderByKeyboard) {
    ASSERT_TRUE(uitest::CabinetReady()) << CabinetLoadError();
    uitest::WindowFixture fixture;
    const QString source = fixture.MakeFolder(QStringLiteral("Dokumenty"));
    const QString destination = fixture.MakeFolder(QStringLiteral("Zálohy"));
    const QString target = fixture.MakeFolder(QStringLiteral("Obnova"));
    const QByteArray report = "Zpráva o činnosti za rok 2024";
    uitest::WriteFile(source + QStringLiteral("/2024/Zpráva.odt"), report);
    uitest::WriteFile(source + QStringLiteral("/dopis.txt"), "Dopis");
    TfoHlavni& w = fixture.NewWindow();
    w.Sources.push_back({source, QStringLiteral("*.*")});
    w.CheckBox2->setChecked(true);
    w.Edit9->setText(destination);
    // Without an extension, as the input check will find it: the backups are of Záloha.cab.
    w.Edit8->setText(QStringLiteral("Záloha"));
    uitest::MessageRecorder messages;
    // "O&bnova…" cannot be pressed while the backup runs, as "&O programu" cannot.
    w.BitBtn3->click();
    EXPECT_TRUE(!w.BitBtn9->isEnabled() && !w.BitBtn7->isEnabled());
    ASSERT_TRUE(uitest::WaitForBackupEnd(w));
    ASSERT_TRUE(messages.shown.empty()) << messages.Texts().join("\n").toStdString();
    EXPECT_TRUE(w.BitBtn9->isEnabled());
    ASSERT_TRUE(QFile::exists(destination + QStringLiteral("/Záloha.cab")));

    fixture.ShowActive();
    uitest::FolderChooserStub chooser(target);
    bool acted = false;
    uitest::WhenModal([&](QDialog* dialog) {
        acted = true;
        EXPECT_EQ(dialog->objectName(), QStringLiteral("foObnova"));
        QWidget* search = QApplication::focusWidget();
        ASSERT_NE(search, nullptr);
        EXPECT_EQ(search->objectName(), QStringLiteral("Edit1"));
        // Capitals and a Czech letter find the name all the same.
        QTest::keyClicks(search, QStringLiteral("ZPRÁ"));
        PressAlt(dialog, Qt::Key_D);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !messages.shown.empty(); }, 20000));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    PressAlt(&w, Qt::Key_B);
    // A button pressed by its accelerator clicks a moment later; the dialog runs in between.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return acted && QApplication::activeModalWidget() == nullptr; }, 30000));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Obnoveno souborů: 1\n")))
        << messages.shown[0].text.toStdString();
    EXPECT_EQ(uitest::ReadFile(target + QStringLiteral("/Dokumenty/2024/Zpráva.odt")), report);
    EXPECT_FALSE(QFile::exists(target + QStringLiteral("/Dokumenty/dopis.txt")));
    EXPECT_FALSE(w.RestoreRunning());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
