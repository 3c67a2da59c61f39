// Where the settings file lives, and the first destination of a new user. The installed case (a
// program folder the user cannot write, the folders made with mode 0700) is driven end to end by
// the install test.
#include "UiTestSupport.h"

#include "settings/SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

QString ChooseSettingsPath(const QString& programFolder) {
    return QString::fromStdString(
        ostrivane::settings::ChooseSettingsPath(programFolder.toStdString()));
}

class SettingsLocation : public ::testing::Test, public uitest::WindowFixture {};

TEST_F(SettingsLocation, BesideTheExecutableOnlyWhereItCanBeKeptThere) {
    const QString program = MakeFolder(QStringLiteral("program"));
    EXPECT_EQ(ChooseSettingsPath(program), program + "/Ostrivane.ini");
    uitest::WriteIniFile(program + "/Ostrivane.ini", {"[Nastavení]"});
    EXPECT_EQ(ChooseSettingsPath(program), program + "/Ostrivane.ini");
    // A folder in the file's place cannot be replaced, not even by root.
    const QString blocked = MakeFolder(QStringLiteral("blocked"));
    ASSERT_TRUE(QDir().mkdir(blocked + "/Ostrivane.ini"));
    EXPECT_EQ(ChooseSettingsPath(blocked), Folder() + "/.config/ostrivane/Ostrivane.ini");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Folder() + "/cfg"));
    EXPECT_EQ(ChooseSettingsPath(blocked), Folder() + "/cfg/ostrivane/Ostrivane.ini");
}

TEST_F(SettingsLocation, TheFirstDestinationIsTheUsersDocumentsFolder) {
    EXPECT_EQ(NewWindow().Edit9->text(), Folder() + "/Documents");
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
