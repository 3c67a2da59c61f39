// The stored-name rules with "/" as the separator.
#include "archive/component/TZipCommon.h"

#include <gtest/gtest.h>

TEST(StoredNames, EveryRule) {
    const std::string path = "/home/u/Dokumenty/a/b.txt";
    const std::string root = "/home/u/Dokumenty/";
    EXPECT_EQ(StoredNameFor(sdNone, path, root, ""), "b.txt");
    EXPECT_EQ(StoredNameFor(sdAbsolute, path, root, ""), path);
    EXPECT_EQ(StoredNameFor(sdAbsoluteNoDrv, path, root, ""), path);
    EXPECT_EQ(StoredNameFor(sdAbsoluteNoRoot, path, root, ""), "home/u/Dokumenty/a/b.txt");
    EXPECT_EQ(StoredNameFor(sdRelative, path, root, ""), "a/b.txt");
    EXPECT_EQ(StoredNameFor(sdRelativeStoreStart, path, root, ""), "Dokumenty/a/b.txt");
}

TEST(StoredNames, RootGroup) {
    EXPECT_EQ(StoredNameFor(sdRelativeStoreStart, "/x/y.txt", "/", ""), "x/y.txt");
    EXPECT_EQ(StoredNameFor(sdRelative, "/x/y.txt", "/", ""), "x/y.txt");
}

TEST(StoredNames, RelativePrefixIsComparedExactly) {
    // The file system is case-sensitive: /Data/ is no prefix of /data/x.
    EXPECT_EQ(StoredNameFor(sdRelative, "/data/x.txt", "/Data/", ""), "/data/x.txt");
    EXPECT_EQ(StoredNameFor(sdRelativeStoreStart, "/data/x.txt", "/Data/", ""), "/data/x.txt");
}

TEST(StoredNames, RelativeRulesLeaveForeignTextsAlone) {
    // Exclude lines are run through the rule too: a bare mask stays as it is.
    EXPECT_EQ(StoredNameFor(sdRelativeStoreStart, "*.tmp", "/home/Dokumenty/", ""), "*.tmp");
    EXPECT_EQ(StoredNameFor(sdRelative, "*.tmp", "/home/Dokumenty/", ""), "*.tmp");
}

TEST(StoredNames, ExplorerRules) {
    // Group root equal to DefaultDir: relative to it.
    EXPECT_EQ(StoredNameFor(sdExplorer_Auto, "/d/x/y.txt", "/d/x/", "/d/x"), "y.txt");
    // Otherwise DefaultDir and its "/" come off.
    EXPECT_EQ(StoredNameFor(sdExplorer_Auto, "/d/x/y.txt", "/d/x/", "/d/"), "x/y.txt");
    EXPECT_EQ(StoredNameFor(sdExplorer_UserDefineDefaultDir, "/d/x/y.txt", "/d/x/", "/d"),
              "x/y.txt");
    // DefaultDir must end at a folder boundary.
    EXPECT_EQ(StoredNameFor(sdExplorer_Auto, "/dd/y.txt", "/dd/", "/d"), "/dd/y.txt");
    EXPECT_EQ(StoredNameFor(sdExplorer_Auto, "/e/y.txt", "/e/", "/d/"), "/e/y.txt");
}

TEST(StoredNames, NamesOfAnyBytes) {
    const std::string odd = "/s/\xff\xfe name\x01.bin";
    EXPECT_EQ(StoredNameFor(sdRelative, odd, "/s/", ""), "\xff\xfe name\x01.bin");
    EXPECT_EQ(StoredNameFor(sdNone, odd, "/s/", ""), "\xff\xfe name\x01.bin");
}
