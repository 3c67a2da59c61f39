// The autostart entry that starts the program hidden in the notification area at log-on.
#include "desktop/Autostart.h"
#include "DesktopTestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace ostrivane::desktop;

namespace {

class Autostart : public DesktopEnvironmentTest {
protected:
    QString EntryPath() const { return Config() + "/autostart/quenza Ostrivane.desktop"; }
};

TEST_F(Autostart, EntryPathFollowsConfigHomeThenHome) {
    EXPECT_EQ(AutostartEntryPath(), EntryPath());
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(AutostartEntryPath(), Home() + "/.config/autostart/quenza Ostrivane.desktop");
    qputenv("XDG_CONFIG_HOME", "relative/config"); // not absolute: ignored
    EXPECT_EQ(AutostartEntryPath(), Home() + "/.config/autostart/quenza Ostrivane.desktop");
}

TEST_F(Autostart, EnableWritesEntryThatStartsInTray) {
    const QString exe = MakeProgram("prog");
    ASSERT_EQ(WriteAutostartEntry(true, exe), AutostartResult::Written);

    const auto keys = ReadDesktopEntry(EntryPath());
    EXPECT_EQ(keys.value("Type"), "Application");
    EXPECT_EQ(keys.value("Name"), "quenza Ostrivane");
    EXPECT_EQ(ParseExec(keys.value("Exec")), QStringList({exe, "/systray"}));
    EXPECT_EQ(keys.value("Icon"), Root() + "/prog/ostrivane.png");
    EXPECT_NE(keys.value("Hidden", "false"), "true");
}

TEST_F(Autostart, DisableKeepsTheFileHidden) {
    const QString exe = MakeProgram("prog");
    ASSERT_EQ(WriteAutostartEntry(true, exe), AutostartResult::Written);
    ASSERT_EQ(WriteAutostartEntry(false, exe), AutostartResult::Written);

    ASSERT_TRUE(QFileInfo::exists(EntryPath()));
    const auto keys = ReadDesktopEntry(EntryPath());
    EXPECT_EQ(keys.value("Hidden"), "true");
    EXPECT_EQ(keys.value("Name"), "quenza Ostrivane");
}

TEST_F(Autostart, DisableWithoutEarlierEntryWritesHiddenEntry) {
    ASSERT_EQ(WriteAutostartEntry(false, MakeProgram("prog")), AutostartResult::Written);
    EXPECT_EQ(ReadDesktopEntry(EntryPath()).value("Hidden"), "true");
}

TEST_F(Autostart, ReEnableRewritesWithCurrentPath) {
    ASSERT_EQ(WriteAutostartEntry(true, MakeProgram("old")), AutostartResult::Written);
    ASSERT_EQ(WriteAutostartEntry(false, MakeProgram("old")), AutostartResult::Written);
    const QString moved = MakeProgram("new place");
    ASSERT_EQ(WriteAutostartEntry(true, moved), AutostartResult::Written);

    const auto keys = ReadDesktopEntry(EntryPath());
    EXPECT_EQ(ParseExec(keys.value("Exec")), QStringList({moved, "/systray"}));
    EXPECT_NE(keys.value("Hidden"), "true");
    // One entry, no temporary files left beside it.
    EXPECT_EQ(QDir(Config() + "/autostart").entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(Autostart, PathWithBlanksIsQuoted) {
    const QString exe = MakeProgram("Moje programy/quenza $ \"Ostrivane\"");
    ASSERT_EQ(WriteAutostartEntry(true, exe), AutostartResult::Written);
    const QString exec = ReadDesktopEntry(EntryPath()).value("Exec");
    EXPECT_TRUE(exec.startsWith('"')) << exec.toStdString();
    EXPECT_EQ(ParseExec(exec), QStringList({exe, "/systray"}));
}

TEST_F(Autostart, FolderThatCannotExistWritesNothing) {
    // A regular file where the autostart folder belongs: no folder can be made there, also not
    // for root (who ignores permissions).
    ASSERT_TRUE(QDir().mkpath(Config()));
    QFile blocker(Config() + "/autostart");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    EXPECT_EQ(WriteAutostartEntry(true, MakeProgram("prog")), AutostartResult::FolderNotWritable);
    EXPECT_TRUE(QFileInfo(Config() + "/autostart").isFile());
    EXPECT_EQ(QFileInfo(Config() + "/autostart").size(), 0);
}

TEST_F(Autostart, ConfigHomeBelowAFileWritesNothing) {
    QFile blocker(Root() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_CONFIG_HOME", (Root() + "/file/config").toUtf8());
    EXPECT_EQ(WriteAutostartEntry(true, MakeProgram("prog")), AutostartResult::FolderNotWritable);
}

TEST_F(Autostart, NoHomeAndNoConfigHomeWritesNothing) {
    qunsetenv("HOME");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_TRUE(AutostartEntryPath().isEmpty());
    EXPECT_EQ(WriteAutostartEntry(true, MakeProgram("prog")), AutostartResult::FolderNotWritable);
}

TEST_F(Autostart, IconFallsBackToThemeNameWithoutFileBesideProgram) {
    const QString exe = MakeProgram("prog");
    ASSERT_TRUE(QFile::remove(Root() + "/prog/ostrivane.png"));
    ASSERT_EQ(WriteAutostartEntry(true, exe), AutostartResult::Written);
    EXPECT_EQ(ReadDesktopEntry(EntryPath()).value("Icon"), "ostrivane");
}

// Installed, the entry starts the program through the starter in bin/ (valid across updates)
// and names the icon the package puts into the theme, not the files in lib/ostrivane.
TEST_F(Autostart, InstalledProgramStartsThroughItsStarterWithTheThemedIcon) {
    QString starter;
    const QString exe = MakeInstalledProgram(starter);
    ASSERT_EQ(WriteAutostartEntry(true, exe), AutostartResult::Written);
    const auto keys = ReadDesktopEntry(EntryPath());
    EXPECT_EQ(ParseExec(keys.value("Exec")), QStringList({starter, "/systray"}));
    EXPECT_EQ(keys.value("Icon"), "ostrivane");
    // Without the starter the folder is just a folder of that name.
    ASSERT_TRUE(QFile::remove(starter));
    ASSERT_EQ(WriteAutostartEntry(true, exe), AutostartResult::Written);
    EXPECT_EQ(ParseExec(ReadDesktopEntry(EntryPath()).value("Exec")),
              QStringList({exe, "/systray"}));
}

} // namespace
