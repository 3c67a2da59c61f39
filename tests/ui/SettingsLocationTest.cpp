// Where the settings file lives, and the first destination of a new user. The installed case (a
// program folder the user cannot write) is driven end to end by the install test.
#include "UiTestSupport.h"

#include "app/SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <sys/stat.h>

using ostrivane::ui::ChooseSettingsPath;
using ostrivane::ui::UserSettingsPath;

namespace {

class SettingsLocation : public ::testing::Test, public uitest::WindowFixture {};

unsigned Mode(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_mode & 07777;
}

TEST_F(SettingsLocation, BesideTheExecutableWhereItCanBeKeptThere) {
    const QString program = MakeFolder(QStringLiteral("program"));
    EXPECT_EQ(ChooseSettingsPath(program), program + "/Ostrivane.ini");
    uitest::WriteIniFile(program + "/Ostrivane.ini", {"[Nastavení]"});
    EXPECT_EQ(ChooseSettingsPath(program), program + "/Ostrivane.ini");
    // A folder in the file's place cannot be replaced, not even by root.
    const QString blocked = MakeFolder(QStringLiteral("blocked"));
    ASSERT_TRUE(QDir().mkdir(blocked + "/Ostrivane.ini"));
    EXPECT_EQ(ChooseSettingsPath(blocked), Folder() + "/.config/ostrivane/Ostrivane.ini");
}

TEST_F(SettingsLocation, TheUserFileFollowsTheConfigHomeWhenItIsAbsolute) {
    EXPECT_EQ(UserSettingsPath(), Folder() + "/.config/ostrivane/Ostrivane.ini");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Folder() + "/cfg"));
    EXPECT_EQ(UserSettingsPath(), Folder() + "/cfg/ostrivane/Ostrivane.ini");
    qputenv("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(UserSettingsPath(), Folder() + "/.config/ostrivane/Ostrivane.ini");
}

TEST_F(SettingsLocation, TheFirstCloseMakesThePrivateFoldersAndTheNextStartReadsThem) {
    const QString path = UserSettingsPath();
    {
        TfoHlavni w(path);
        w.Sources.push_back({Folder(), QStringLiteral("*.txt")});
        ASSERT_TRUE(w.UlozNastaveni());
    }
    EXPECT_EQ(Mode(Folder() + "/.config"), 0700u);
    EXPECT_EQ(Mode(Folder() + "/.config/ostrivane"), 0700u);
    TfoHlavni again(path);
    ASSERT_EQ(again.Sources.size(), 1u);
    EXPECT_EQ(again.Sources[0].Mask, QStringLiteral("*.txt"));
}

TEST_F(SettingsLocation, TheFirstDestinationIsTheUsersDocumentsFolder) {
    ASSERT_TRUE(QDir().mkpath(Folder() + "/.config"));
    QFile dirs(Folder() + "/.config/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
    dirs.close();
    EXPECT_EQ(NewWindow().Edit9->text(), Folder() + "/Dokumenty");
    // A file from the Windows program is read as it stands.
    uitest::WriteIniFile(SettingsPath(), {"[Nastavení]", "Adresář zálohy=C:\\Dokumenty"});
    EXPECT_EQ(NewWindow().Edit9->text(), QStringLiteral("C:\\Dokumenty"));
}

} // namespace
