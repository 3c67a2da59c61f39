// The launcher on the user's desktop.
#include "desktop/DesktopShortcut.h"
#include "DesktopTestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace ostrivane::desktop;

namespace {

class DesktopShortcut : public DesktopEnvironmentTest {
protected:
    QString ShortcutIn(const QString& folder) const { return folder + "/quenza Ostrivane.desktop"; }
    void WriteUserDirs(const QByteArray& text) {
        ASSERT_TRUE(QDir().mkpath(Config()));
        QFile file(Config() + "/user-dirs.dirs");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

TEST_F(DesktopShortcut, WritesLauncherWithoutArguments) {
    ASSERT_TRUE(QDir().mkpath(Home() + "/Desktop"));
    const QString exe = MakeProgram("Moje programy");
    ASSERT_EQ(CreateDesktopShortcut(exe), ShortcutResult::Written);

    const QString path = ShortcutIn(Home() + "/Desktop");
    const auto keys = ReadDesktopEntry(path);
    EXPECT_EQ(keys.value("Type"), "Application");
    EXPECT_EQ(keys.value("Name"), "quenza Ostrivane");
    // The comment says what the program does rather than repeating its name.
    EXPECT_EQ(keys.value("Comment"),
              "Back up folders into cabinet archives, now or on a weekly schedule");
    EXPECT_FALSE(keys.value("Comment[cs]").isEmpty());
    EXPECT_EQ(ParseExec(keys.value("Exec")), QStringList{exe});
    EXPECT_EQ(UnescapeString(keys.value("Path")), Root() + "/Moje programy");
    EXPECT_EQ(keys.value("Icon"), Root() + "/Moje programy/ostrivane.png");

    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
}

TEST_F(DesktopShortcut, TargetIsTrimmedOfBlanks) {
    const QString exe = MakeProgram("prog");
    ASSERT_EQ(CreateDesktopShortcut("  " + exe + " \t"), ShortcutResult::Written);
    const auto keys = ReadDesktopEntry(ShortcutIn(Home() + "/Desktop"));
    EXPECT_EQ(ParseExec(keys.value("Exec")), QStringList{exe});
    EXPECT_EQ(keys.value("Path"), Root() + "/prog");
}

TEST_F(DesktopShortcut, SecondClickReplacesTheOneFile) {
    ASSERT_EQ(CreateDesktopShortcut(MakeProgram("first")), ShortcutResult::Written);
    const QString second = MakeProgram("second");
    ASSERT_EQ(CreateDesktopShortcut(second), ShortcutResult::Written);

    const QString desktop = Home() + "/Desktop";
    EXPECT_EQ(QDir(desktop).entryList(QDir::Files | QDir::Hidden),
              QStringList{"quenza Ostrivane.desktop"});
    EXPECT_EQ(ParseExec(ReadDesktopEntry(ShortcutIn(desktop)).value("Exec")), QStringList{second});
    EXPECT_TRUE(QFileInfo(ShortcutIn(desktop)).isExecutable());
}

TEST_F(DesktopShortcut, MissingDesktopFolderIsCreatedOneLevel) {
    ASSERT_FALSE(QFileInfo::exists(Home() + "/Desktop"));
    ASSERT_EQ(CreateDesktopShortcut(MakeProgram("prog")), ShortcutResult::Written);
    EXPECT_TRUE(QFileInfo::exists(ShortcutIn(Home() + "/Desktop")));
}

TEST_F(DesktopShortcut, DesktopFolderWhoseParentIsMissingIsNotCreated) {
    WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/missing/Plocha\"\n");
    EXPECT_EQ(CreateDesktopShortcut(MakeProgram("prog")), ShortcutResult::NoDesktopFolder);
    EXPECT_FALSE(QFileInfo::exists(Home() + "/missing"));
}

TEST_F(DesktopShortcut, UserDirsDesktopIsHonoured) {
    WriteUserDirs("# written by xdg-user-dirs-update\n"
                  "XDG_DOWNLOAD_DIR=\"$HOME/Stažené\"\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Plocha\"\n");
    EXPECT_EQ(DesktopFolder(), Home() + "/Plocha");
    ASSERT_EQ(CreateDesktopShortcut(MakeProgram("prog")), ShortcutResult::Written);
    EXPECT_TRUE(QFileInfo::exists(ShortcutIn(Home() + "/Plocha")));
    EXPECT_FALSE(QFileInfo::exists(Home() + "/Desktop"));
}

TEST_F(DesktopShortcut, UserDirsWithAbsolutePathNeedsNoHome) {
    const QString desktop = Root() + "/shared desktop";
    WriteUserDirs("XDG_DESKTOP_DIR=\"" + desktop.toUtf8() + "\"\n");
    qunsetenv("HOME");
    EXPECT_EQ(DesktopFolder(), desktop);
    EXPECT_EQ(CreateDesktopShortcut(MakeProgram("prog")), ShortcutResult::Written);
    EXPECT_TRUE(QFileInfo::exists(ShortcutIn(desktop)));
}

TEST_F(DesktopShortcut, UndeterminableFolderWritesNothing) {
    qunsetenv("HOME");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_TRUE(DesktopFolder().isEmpty());
    const QString exe = MakeProgram("prog");
    EXPECT_EQ(CreateDesktopShortcut(exe), ShortcutResult::NoDesktopFolder);
    EXPECT_FALSE(QFileInfo::exists("/quenza Ostrivane.desktop"));
}

TEST_F(DesktopShortcut, DesktopPathTakenByAFileWritesNothing) {
    QFile blocker(Home() + "/Desktop");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(CreateDesktopShortcut(MakeProgram("prog")), ShortcutResult::NoDesktopFolder);
    EXPECT_EQ(QFileInfo(Home() + "/Desktop").size(), 0);
}

TEST_F(DesktopShortcut, InstalledProgramIsStartedThroughItsStarter) {
    QString starter;
    const QString exe = MakeInstalledProgram(starter);
    ASSERT_EQ(CreateDesktopShortcut(exe), ShortcutResult::Written);
    const auto keys = ReadDesktopEntry(ShortcutIn(Home() + "/Desktop"));
    EXPECT_EQ(ParseExec(keys.value("Exec")), QStringList{starter});
    EXPECT_EQ(keys.value("Icon"), "ostrivane");
}

} // namespace
