// The main window's states: shown, in the tray, closing; the start with an argument; a desktop
// without a tray; Enter acting as Tab; the application title followed by title and tip.
#include "UiTestSupport.h"

#include "app/dialogs/TfoOprogramu.h"
#include "app/widgets/ApplicationTitle.h"
#include "tests/support/Child.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class WindowState : public ::testing::Test, public uitest::WindowFixture {
protected:
    // From now on `closed` tells whether `w` has closed.
    void WatchClose(TfoHlavni& w) {
        QObject::connect(&w, &TfoHlavni::Closed, [this] { closed = true; });
    }
    // A new window, shown, its close watched.
    TfoHlavni& NewShownWindow() {
        TfoHlavni& w = NewWindow();
        WatchClose(w);
        w.show();
        return w;
    }
    // A new window, shown and then hidden to the tray.
    TfoHlavni& NewWindowInTray() {
        TfoHlavni& w = NewShownWindow();
        w.HideToTray();
        return w;
    }
    // The window closed and wrote the settings file on the way, or did neither.
    void ExpectClosed(bool expected) const {
        EXPECT_EQ(closed, expected);
        EXPECT_EQ(QFile::exists(SettingsPath()), expected);
    }
    // A moment after being shown, the window is still shown and not in the tray.
    static void ExpectStillShown(TfoHlavni& w) {
        QTest::qWait(50);
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(w.InTray());
    }
    // The window is out of the tray and shown again, without its tray icon.
    static void ExpectShownAgain(TfoHlavni& w) {
        EXPECT_FALSE(w.InTray());
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.TrayIcon(), nullptr);
    }

    uitest::MessageRecorder messages;
    bool closed = false;
    // An about dialog for the window to open.
    QDialog about;
};

TEST_F(WindowState, ControlsCarryTheirNamesAndCaptions) {
    TfoHlavni& w = NewWindow();
    EXPECT_EQ(w.objectName(), QStringLiteral("foHlavni"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("quenza Ostrivane"));
    EXPECT_EQ(w.size(), QSize(437, 383));
    ASSERT_EQ(w.PageControl1->count(), 3);
    EXPECT_EQ(w.PageControl1->tabText(0), QStringLiteral("Soubory"));
    EXPECT_EQ(w.PageControl1->tabText(1), QStringLiteral("Automat"));
    EXPECT_EQ(w.PageControl1->tabText(2), QStringLiteral("Nastavení"));
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    const auto* status = w.findChild<QLabel*>(QStringLiteral("StatusBar1Text"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), QStringLiteral("quenza Ostrivane 1.0.0.2"));
    for (const char* name :
         {"BitBtn1",      "BitBtn2",     "BitBtn3",   "BitBtn4",    "BitBtn5",     "BitBtn6",
          "BitBtn7",      "BitBtn8",     "BitBtn9",   "Edit1",      "Edit7",       "Edit8",
          "Edit9",        "Edit10",      "CheckBox1", "CheckBox2",  "CheckBox3",   "CheckBoxX1",
          "CheckBoxX7",   "StringGrid1", "Panel1",    "Panel3",     "RadioGroup1", "SpeedButton1",
          "SpeedButton2", "Gauge1",      "Gauge2",    "StatusBar1", "TabSheet1",   "TabSheet2",
          "TabSheet3"})
        EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(w.BitBtn1->text(), QStringLiteral("&Konec"));
    EXPECT_EQ(w.BitBtn3->text(), QStringLiteral("&Zálohovat !"));
    EXPECT_EQ(w.BitBtn9->text(), QStringLiteral("O&bnova…"));
    // Between "&Zálohovat !" and "&Skrýt", in place and in tab order.
    EXPECT_LT(w.BitBtn3->y(), w.BitBtn9->y());
    EXPECT_LT(w.BitBtn9->y(), w.BitBtn2->y());
    EXPECT_EQ(w.BitBtn3->nextInFocusChain(), w.BitBtn9);
    EXPECT_EQ(w.BitBtn9->nextInFocusChain(), w.BitBtn2);
    EXPECT_EQ(w.Gauge1->value(), 0);
    EXPECT_EQ(w.Gauge2->maximum(), 100);
    // Gauge2 above Gauge1, both above the status bar.
    EXPECT_LT(w.Gauge2->y(), w.Gauge1->y());
    EXPECT_LT(w.Gauge1->y(), w.StatusBar1->y());
    const QList<QAction*> items = w.PopupMenu1->actions();
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[0]->text(), QStringLiteral("O programu ..."));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2], w.pmiObnova);
    EXPECT_EQ(w.pmiObnova->objectName(), QStringLiteral("pmiObnova"));
    EXPECT_EQ(w.pmiObnova->text(), QStringLiteral("O&bnova ze zálohy…"));
    EXPECT_EQ(items[3], w.pmiRestore);
    EXPECT_EQ(w.pmiRestore->text(), QStringLiteral("&Obnovit"));
    EXPECT_TRUE(items[4]->isSeparator());
    EXPECT_EQ(w.pmiClose->text(), QStringLiteral("&Zavřít"));
}

// Black fill on white inside a single border, the percentage in white on the fill; and no
// painting of its own while the value stands (the window's thread stays free during a backup).
TEST_F(WindowState, TheGaugesAreBlackOnWhiteAndStillWhileTheirValueStands) {
    TfoHlavni& w = NewWindow();
    ShowActive();
    QProgressBar* gauge = w.Gauge1;
    gauge->setValue(50);
    const QImage image = gauge->grab().toImage();
    const int middle = image.height() / 2;
    EXPECT_EQ(QColor(image.pixel(0, middle)), QColor(Qt::black)) << "the border";
    EXPECT_EQ(QColor(image.pixel(image.width() / 8, middle)), QColor(Qt::black)) << "the fill";
    EXPECT_EQ(QColor(image.pixel(image.width() * 7 / 8, middle)), QColor(Qt::white));
    EXPECT_EQ(gauge->text(), QStringLiteral("50%"));

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    QTest::qWait(100);
    gauge->installEventFilter(&counter);
    QTest::qWait(300);
    EXPECT_EQ(counter.paints, 0);
    gauge->setValue(51);
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 2000));
    gauge->removeEventFilter(&counter);
}

TEST_F(WindowState, HideToTrayAndRestoreByDoubleClick) {
    TfoHlavni& w = NewWindow();
    w.show();
    w.BitBtn2->click();
    EXPECT_TRUE(w.InTray());
    EXPECT_FALSE(w.isVisible());
    ASSERT_NE(w.TrayIcon(), nullptr);
    // While no backup runs, the last verified backup's line stands under the title.
    EXPECT_EQ(w.TrayIcon()->toolTip(),
              QStringLiteral("quenza Ostrivane\nPoslední ověřená záloha: žádná"));
    EXPECT_EQ(w.TrayIcon()->contextMenu(), w.PopupMenu1);
    EXPECT_FALSE(w.TrayIcon()->icon().isNull());

    emit w.TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    ExpectShownAgain(w);
}

TEST_F(WindowState, RestoreMenuItemBringsTheWindowBack) {
    TfoHlavni& w = NewWindowInTray();
    w.pmiRestore->trigger();
    ExpectShownAgain(w);
}

TEST_F(WindowState, TrayTipFollowsTheApplicationTitle) {
    TfoHlavni& w = NewWindowInTray();
    ostrivane::ui::SetApplicationTitle(QStringLiteral("quenza Ostrivane - 37%"));
    const QString line = QStringLiteral("\nPoslední ověřená záloha: žádná");
    EXPECT_EQ(w.TrayIcon()->toolTip(), QStringLiteral("quenza Ostrivane - 37%") + line);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("quenza Ostrivane - 37%"));
    ostrivane::ui::SetApplicationTitle(ostrivane::ui::kProgramTitle);
    EXPECT_EQ(w.TrayIcon()->toolTip(), QStringLiteral("quenza Ostrivane") + line);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("quenza Ostrivane"));
}

TEST_F(WindowState, CloseWritesTheSettings) {
    TfoHlavni& w = NewShownWindow();
    w.BitBtn1->click();
    ExpectClosed(true);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(WindowState, CloseFromTheTrayRemovesTheIcon) {
    TfoHlavni& w = NewWindowInTray();
    ASSERT_NE(w.TrayIcon(), nullptr);
    w.pmiClose->trigger();
    ExpectClosed(true);
    EXPECT_EQ(w.TrayIcon(), nullptr);
    EXPECT_FALSE(w.InTray());
}

TEST_F(WindowState, TrayMenuCloseAndAboutDoNothingWhileTheirButtonsAreDisabled) {
    TfoHlavni& w = NewWindowInTray();
    w.SetAboutDialog(&about);
    w.BitBtn1->setEnabled(false);
    w.BitBtn7->setEnabled(false);
    w.pmiClose->trigger();
    w.pmiAbout->trigger();
    ExpectClosed(false);
    EXPECT_TRUE(w.InTray());
}

TEST_F(WindowState, AboutFromTheTrayReturnsToTheTray) {
    TfoHlavni& w = NewWindowInTray();
    w.SetAboutDialog(&about);
    bool mainHiddenWhileAbout = false;
    bool iconGoneWhileAbout = false;
    uitest::WhenModal([&](QDialog* dialog) {
        mainHiddenWhileAbout = !w.isVisible();
        iconGoneWhileAbout = w.TrayIcon() == nullptr;
        dialog->accept();
    });
    w.pmiAbout->trigger();
    EXPECT_TRUE(mainHiddenWhileAbout);
    EXPECT_TRUE(iconGoneWhileAbout);
    EXPECT_TRUE(w.InTray());
    EXPECT_NE(w.TrayIcon(), nullptr);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(WindowState, AboutButtonHidesTheWindowWhileTheDialogIsOpen) {
    TfoHlavni& w = NewShownWindow();
    w.SetAboutDialog(&about);
    bool mainHidden = false;
    uitest::WhenModal([&](QDialog* dialog) {
        mainHidden = !w.isVisible();
        dialog->reject();
    });
    w.BitBtn7->click();
    EXPECT_TRUE(mainHidden);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.InTray());
}

// Minimising the about dialog must not leave the program without a window to come back from.
TEST_F(WindowState, MinimisingTheAboutDialogTakesTheWindowAlongAndEitherBringsBothBack) {
    TfoHlavni& w = NewShownWindow();
    TfoOprogramu program;
    w.SetAboutDialog(&program);
    bool windowInTaskbar = false;
    bool backByRestoreApp = false;
    bool backByTaskbar = false;
    uitest::WhenModal([&](QDialog* dialog) {
        dialog->showMinimized();
        windowInTaskbar = w.isVisible() && w.isMinimized();
        w.WMRestoreApp();
        backByRestoreApp = !dialog->isMinimized() && w.isVisible() && !w.isMinimized();
        dialog->showMinimized();
        w.showNormal(); // the window's taskbar entry
        backByTaskbar = !dialog->isMinimized() && dialog->isVisible() && !w.isMinimized();
        dialog->accept();
    });
    w.BitBtn7->click();
    EXPECT_TRUE(windowInTaskbar);
    EXPECT_TRUE(backByRestoreApp);
    EXPECT_TRUE(backByTaskbar);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
}

TEST_F(WindowState, UnwritableSettingsKeepTheWindowOpenAndTheNextCloseRetries) {
    TfoHlavni& w = NewWindowInTray();
    // A folder in the file's place cannot be replaced by a file, not even by root.
    ASSERT_TRUE(QDir().mkdir(SettingsPath()));
    w.pmiClose->trigger();
    EXPECT_FALSE(closed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Unable to write to ") + SettingsPath());
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("quenza Ostrivane"));
    // The window stays in its state: in the tray with its icon.
    EXPECT_TRUE(w.InTray());
    EXPECT_NE(w.TrayIcon(), nullptr);

    ASSERT_TRUE(QDir().rmdir(SettingsPath()));
    w.pmiClose->trigger();
    EXPECT_TRUE(closed);
    EXPECT_EQ(w.TrayIcon(), nullptr);
    EXPECT_TRUE(QFileInfo(SettingsPath()).isFile());
}

TEST_F(WindowState, UnwritableSettingsFromTheCloseBoxKeepTheWindowShown) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TfoHlavni& w = NewWindow();
    w.show();
    const QByteArray folder = QFile::encodeName(Folder());
    ASSERT_EQ(chmod(folder.constData(), 0500), 0);
    const bool accepted = w.close();
    chmod(folder.constData(), 0700);
    EXPECT_FALSE(accepted);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("Unable to write to ") + SettingsPath()});
}

TEST_F(WindowState, AnUnreadableSettingsFileIsToldOnceKeptAndNeverHoldsTheWindow) {
    uitest::WriteIniFile(SettingsPath(), {"[Nastavení]", "Automatická záloha=1"});
    QFile file(SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    ASSERT_EQ(chmod(QFile::encodeName(SettingsPath()).constData(), 0), 0);
    // File permissions as an ordinary user sees them: root takes the unprivileged user as its
    // effective ids, the fixture's folder handed to that user first.
    testsupport::EffectivelyUnprivileged user(Folder().toStdString());
    if (!user.Holds())
        GTEST_SKIP() << "cannot switch to the user 65534 here";

    TfoHlavni& w = NewWindow();
    WatchClose(w);
    EXPECT_FALSE(w.CheckBox1->isChecked()) << "the defaults stand in for the file";
    w.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !messages.shown.empty(); }, 2000));
    w.CheckBox1->click();
    w.BitBtn1->click();
    ASSERT_TRUE(user.Back());

    EXPECT_TRUE(closed);
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("Soubor nastavení ") + SettingsPath() +
                                            QStringLiteral(" nelze přečíst, použije se výchozí "
                                                           "nastavení a změny se neuloží !")});
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(SettingsPath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0u);
}

TEST_F(WindowState, TheSessionEndWritesTheSettingsAndClosesWithoutABox) {
    TfoHlavni& w = NewWindow();
    WatchClose(w);
    w.show();
    w.CheckBox1->click();
    // Asked for by the session manager: written, and the window stays.
    w.CommitSettings();
    EXPECT_EQ(uitest::RawValue(SettingsPath(), QStringLiteral("Nastavení"),
                               QStringLiteral("Automatická záloha")),
              QStringLiteral("1"));
    EXPECT_FALSE(closed);
    EXPECT_TRUE(w.isVisible());

    // A folder in the file's place cannot be replaced by a file, not even by root: a close
    // would say so and stay open, the end of the session says nothing and closes.
    ASSERT_TRUE(QFile::remove(SettingsPath()));
    ASSERT_TRUE(QDir().mkdir(SettingsPath()));
    w.HideToTray();
    w.CloseForSessionEnd();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(w.TrayIcon(), nullptr);
}

TEST_F(WindowState, StartedWithAnArgumentHidesOnceAfterTheFirstShow) {
    TfoHlavni& w = NewWindow();
    w.SetStartedWithArguments(true);
    w.show();
    EXPECT_TRUE(w.isVisible()); // shown first, hidden right after
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.InTray(); }, 2000));
    EXPECT_FALSE(w.isVisible());
    w.RestoreFromTray();
    EXPECT_TRUE(w.isVisible());
    // Later shows (also around the about dialog) keep the window shown.
    w.hide();
    w.show();
    ExpectStillShown(w);
}

TEST_F(WindowState, StartedWithoutArgumentStaysShown) {
    ExpectStillShown(NewShownWindow());
}

TEST_F(WindowState, ActivationOfTheProgramRestoresFromTheTray) {
    TfoHlavni& w = NewWindowInTray();
    // A stale activation of the hidden program changes nothing.
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_TRUE(w.InTray());
    // Another window of the program becoming active activates the program.
    QWidget other;
    other.resize(100, 100);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    QApplication::setActiveWindow(&other);
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    ExpectShownAgain(w);
}

TEST_F(WindowState, WithoutATrayHidingMinimisesInstead) {
    TfoHlavni& w = NewWindow();
    w.SetTrayAvailability([] { return false; });
    w.show();
    w.BitBtn2->click();
    EXPECT_FALSE(w.InTray());
    EXPECT_EQ(w.TrayIcon(), nullptr);
    EXPECT_TRUE(w.isMinimized());
    EXPECT_TRUE(w.isVisible()); // the taskbar entry stays
    w.RestoreFromTray();
    EXPECT_FALSE(w.isMinimized());
}

TEST_F(WindowState, EnterMovesTheFocusAndInsertsNothing) {
    TfoHlavni& w = NewWindow();
    ShowActive();
    w.Edit8->setFocus();
    ASSERT_TRUE(w.Edit8->hasFocus());
    const QString before = w.Edit8->text();
    QTest::keyClick(w.Edit8, Qt::Key_Return);
    EXPECT_TRUE(w.Edit9->hasFocus());
    QTest::keyClick(w.Edit9, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(w.Edit10->hasFocus());
    EXPECT_EQ(w.Edit8->text(), before.left(before.indexOf('.')) + QStringLiteral(".cab"))
        << "leaving the name field by Enter runs its leave handling";
    EXPECT_EQ(w.Edit9->text(), Folder() + QStringLiteral("/Documents"));
}

TEST_F(WindowState, TabOrderFollowsTheSchedule) {
    TfoHlavni& w = NewWindow();
    w.PageControl1->setCurrentIndex(1);
    w.CheckBox1->setChecked(true);
    for (QCheckBox* box : w.CheckBoxX)
        box->setChecked(true);
    ShowActive();
    w.CheckBox1->setFocus();
    QList<QWidget*> expected = {w.CheckBoxX[0], w.EditTime[0], w.CheckBoxX[1], w.EditTime[1]};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
}

} // namespace
