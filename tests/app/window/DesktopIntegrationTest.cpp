// The "Nastavení" tab: the autostart box and the desktop launcher button, with the user's
// folders moved into a temporary folder.
#include "UiTestSupport.h"

#include "desktop/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

// A full disk as the writer sees it, for the lifetime of the object: a file of this process
// cannot grow beyond a few bytes, the write past them fails.
class FullDisk {
public:
    FullDisk() {
        oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit low = old_;
        low.rlim_cur = 16;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    }
    ~FullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit old_{};
    void (*oldSignal_)(int) = SIG_DFL;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

class DesktopIntegration : public ::testing::Test, public uitest::WindowFixture {
protected:
    DesktopIntegration()
        : home_("HOME", QFile::encodeName(Folder())),
          config_("XDG_CONFIG_HOME", QFile::encodeName(Folder() + QStringLiteral("/config"))) {}

    ScopedEnv home_;
    ScopedEnv config_;
    uitest::MessageRecorder messages;
};

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST_F(DesktopIntegration, AutostartBoxWritesAndWithdrawsTheEntry) {
    TfoHlavni& w = NewWindow();
    w.show();
    EXPECT_EQ(w.CheckBox3->text(), QStringLiteral("Spustit program po startu systému"));
    EXPECT_FALSE(w.CheckBox3->isChecked());
    const QString entry = ostrivane::desktop::AutostartEntryPath();
    ASSERT_TRUE(entry.startsWith(Folder()));
    w.CheckBox3->click();
    EXPECT_TRUE(ReadAll(entry).contains(QStringLiteral(" /systray")));
    w.CheckBox3->click();
    EXPECT_TRUE(ReadAll(entry).contains(QStringLiteral("Hidden=true")));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DesktopIntegration, AutostartBoxIsUncheckedAtEveryStart) {
    TfoHlavni& w = NewWindow();
    w.CheckBox3->click();
    ASSERT_TRUE(w.CheckBox3->isChecked());
    ASSERT_TRUE(w.close());
    EXPECT_FALSE(NewWindow().CheckBox3->isChecked());
}

TEST_F(DesktopIntegration, AutostartFolderThatTakesNoEntryShowsNothing) {
    const QString entry = ostrivane::desktop::AutostartEntryPath();
    ASSERT_TRUE(QDir().mkpath(entry)); // a folder where the file belongs
    TfoHlavni& w = NewWindow();
    w.CheckBox3->click();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(w.CheckBox3->isChecked()); // the box keeps its new state
    EXPECT_TRUE(QFileInfo(entry).isDir());
}

TEST_F(DesktopIntegration, LauncherButtonWritesTheDesktopEntry) {
    TfoHlavni& w = NewWindow();
    w.BitBtn8->click();
    w.BitBtn8->click(); // written anew, still one file
    const QStringList files = QDir(Folder() + QStringLiteral("/Desktop")).entryList(QDir::Files);
    EXPECT_EQ(files, QStringList{QStringLiteral("quenza Ostrivane.desktop")});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DesktopIntegration, UnknownDesktopFolderIsReported) {
    ASSERT_TRUE(QDir().mkpath(Folder() + QStringLiteral("/config")));
    QFile dirs(Folder() + QStringLiteral("/config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DESKTOP_DIR=\"$HOME/chybí/Plocha\"\n");
    dirs.close();
    TfoHlavni& w = NewWindow();
    w.BitBtn8->click();
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral(
                                    "Nelze zjistit adresář plochy, ikona nebyla vytvořena !")});
}

// On a full disk neither file is left empty or half written: the one there before stays, and the
// user is told.
TEST_F(DesktopIntegration, AFullDiskKeepsTheOldEntriesAndSaysSo) {
    const QString entry = ostrivane::desktop::AutostartEntryPath();
    const QString launcher = Folder() + QStringLiteral("/Desktop/quenza Ostrivane.desktop");
    TfoHlavni& w = NewWindow();
    const auto clickOnFullDisk = [](QAbstractButton* button) {
        FullDisk full;
        button->click();
    };
    clickOnFullDisk(w.CheckBox3); // ticked, with nothing there before
    clickOnFullDisk(w.BitBtn8);
    EXPECT_FALSE(QFileInfo::exists(entry));
    EXPECT_FALSE(QFileInfo::exists(launcher));

    w.CheckBox3->click();
    w.CheckBox3->click(); // ticked again, written
    w.BitBtn8->click();
    const QString oldEntry = ReadAll(entry);
    const QString oldLauncher = ReadAll(launcher);
    ASSERT_TRUE(oldEntry.contains(QStringLiteral(" /systray")));
    ASSERT_TRUE(oldLauncher.contains(QStringLiteral("Exec=")));
    clickOnFullDisk(w.CheckBox3); // unticked: the entry that starts the program stays
    clickOnFullDisk(w.BitBtn8);
    EXPECT_EQ(ReadAll(entry), oldEntry);
    EXPECT_EQ(ReadAll(launcher), oldLauncher);
    EXPECT_TRUE(QFileInfo(launcher).isExecutable());
    EXPECT_EQ(QDir(Folder() + QStringLiteral("/Desktop")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("quenza Ostrivane.desktop")});

    const QString autostartFailed = QStringLiteral("Failed to set data for 'quenza Ostrivane'");
    const QString launcherFailed =
        QStringLiteral("Ikonu na ploše nelze zapsat, ikona nebyla vytvořena !");
    EXPECT_EQ(messages.Texts(),
              QStringList({autostartFailed, launcherFailed, autostartFailed, launcherFailed}));
}

} // namespace
