// The "Nastavení" tab: the autostart box and the desktop launcher button, with the user's
// folders moved into a temporary folder.
#include "UiTestSupport.h"

#include "desktop/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

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

} // namespace
