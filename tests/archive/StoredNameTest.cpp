// The stored-name rules with "/" as the separator.
#include "archive/component/TZipCommon.h"
#include "tests/support/ParamName.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Naming {
    TStoredDirNames rule;
    const char* path;
    const char* root;
    const char* defaultDir;
    const char* stored;
};

// A group of stored-name cases: what each rule makes of a path below its group's root.
struct NamingRule {
    const char* name;
    std::vector<Naming> cases;
};

class StoredNames : public ::testing::TestWithParam<NamingRule> {};

TEST_P(StoredNames, GiveTheExpectedName) {
    for (const Naming& c : GetParam().cases)
        EXPECT_EQ(StoredNameFor(c.rule, c.path, c.root, c.defaultDir), c.stored)
            << "rule " << c.rule << ", " << c.path << " in " << c.root;
}

constexpr const char* kPath = "/home/u/Dokumenty/a/b.txt";
constexpr const char* kRoot = "/home/u/Dokumenty/";
constexpr const char* kOdd = "/s/\xff\xfe name\x01.bin";

INSTANTIATE_TEST_SUITE_P(
    Rules, StoredNames,
    ::testing::Values(
        NamingRule{"EveryRule",
                   {{sdNone, kPath, kRoot, "", "b.txt"},
                    {sdAbsolute, kPath, kRoot, "", kPath},
                    {sdAbsoluteNoDrv, kPath, kRoot, "", kPath},
                    {sdAbsoluteNoRoot, kPath, kRoot, "", "home/u/Dokumenty/a/b.txt"},
                    {sdRelative, kPath, kRoot, "", "a/b.txt"},
                    {sdRelativeStoreStart, kPath, kRoot, "", "Dokumenty/a/b.txt"}}},
        NamingRule{"RootGroup",
                   {{sdRelativeStoreStart, "/x/y.txt", "/", "", "x/y.txt"},
                    {sdRelative, "/x/y.txt", "/", "", "x/y.txt"}}},
        // The file system is case-sensitive: /Data/ is no prefix of /data/x.
        NamingRule{"RelativePrefixIsComparedExactly",
                   {{sdRelative, "/data/x.txt", "/Data/", "", "/data/x.txt"},
                    {sdRelativeStoreStart, "/data/x.txt", "/Data/", "", "/data/x.txt"}}},
        // Exclude lines are run through the rule too: a bare mask stays as it is.
        NamingRule{"RelativeRulesLeaveForeignTextsAlone",
                   {{sdRelativeStoreStart, "*.tmp", "/home/Dokumenty/", "", "*.tmp"},
                    {sdRelative, "*.tmp", "/home/Dokumenty/", "", "*.tmp"}}},
        // Group root equal to DefaultDir: relative to it; otherwise DefaultDir and its "/" come
        // off; DefaultDir must end at a folder boundary.
        NamingRule{"ExplorerRules",
                   {{sdExplorer_Auto, "/d/x/y.txt", "/d/x/", "/d/x", "y.txt"},
                    {sdExplorer_Auto, "/d/x/y.txt", "/d/x/", "/d/", "x/y.txt"},
                    {sdExplorer_UserDefineDefaultDir, "/d/x/y.txt", "/d/x/", "/d", "x/y.txt"},
                    {sdExplorer_Auto, "/dd/y.txt", "/dd/", "/d", "/dd/y.txt"},
                    {sdExplorer_Auto, "/e/y.txt", "/e/", "/d/", "/e/y.txt"}}},
        NamingRule{"NamesOfAnyBytes",
                   {{sdRelative, kOdd, "/s/", "", "\xff\xfe name\x01.bin"},
                    {sdNone, kOdd, "/s/", "", "\xff\xfe name\x01.bin"}}}),
    testsupport::ParamName());

} // namespace
