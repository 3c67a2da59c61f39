// Exclusion patterns: the rules of the README as a table of paths through the matcher, and the
// folder walk that never enters an excluded folder.
#include "ArchiveTestSupport.h"

#include "archive/scan/ExclusionPatterns.h"
#include "archive/scan/TvrkFileScan.h"

#include <set>

namespace {

using ostrivane::scan::ExclusionPatterns;
using ostrivane::scan::GlobMatches;

struct Case {
    std::vector<std::string> Patterns;
    const char* Path;
    bool Folder;
    bool Excluded;
};

TEST(ExclusionPatterns, TheRulesOfTheReadme) {
    const Case cases[] = {
        // No "/": a name at any depth, a file or a folder.
        {{"*.iso"}, "debian.iso", false, true},
        {{"*.iso"}, "Stažené/obrazy/debian.iso", false, true},
        {{"*.iso"}, "debian.iso.txt", false, false},
        {{"*.iso"}, "DEBIAN.ISO", false, false}, // letters exactly, as the file system
        {{"Thumbs.db"}, "a/b/Thumbs.db", false, true},
        {{"tmp"}, "a/tmp", true, true},
        // A trailing "/": folders only.
        {{"node_modules/"}, "web/app/node_modules", true, true},
        {{"node_modules/"}, "node_modules", true, true},
        {{"node_modules/"}, "notes/node_modules", false, false},
        // A "/" at the start or inside: anchored at the source folder.
        {{"/Dokumenty/Velké/"}, "Dokumenty/Velké", true, true},
        {{"/Dokumenty/Velké/"}, "Archiv/Dokumenty/Velké", true, false},
        {{"Dokumenty/Velké/"}, "Dokumenty/Velké", true, true},
        {{"Dokumenty/Velké/"}, "x/Dokumenty/Velké", true, false},
        {{"/todo.txt"}, "todo.txt", false, true},
        {{"/todo.txt"}, "a/todo.txt", false, false},
        {{"Dokumenty/*.tmp"}, "Dokumenty/a.tmp", false, true},
        {{"Dokumenty/*.tmp"}, "Dokumenty/sub/a.tmp", false, false}, // "*" stays in one part
        // "**" as a whole part: any number of folders, none included.
        {{"**/build/"}, "build", true, true},
        {{"**/build/"}, "src/lib/build", true, true},
        {{"a/**/b"}, "a/b", false, true},
        {{"a/**/b"}, "a/x/y/b", false, true},
        {{"a/**/b"}, "a/x/y/c", false, false},
        {{"a/**/b"}, "z/a/x/b", false, false},
        {{"Fotky/**"}, "Fotky/2024/a.jpg", false, true},
        {{"Fotky/**"}, "Fotky", true, false}, // the inside, not the folder itself
        {{"**/.local/share/Trash/"}, "me/.local/share/Trash", true, true},
        {{"**"}, "anything/at/all", false, true},
        {{"a**b"}, "aXXb", false, true}, // not a whole part: one "*"
        {{"a**b"}, "a/b", false, false},
        // "?", sets, escapes; a Czech letter is one character.
        {{"?.txt"}, "á.txt", false, true},
        {{"?.txt"}, "ab.txt", false, false},
        {{"report[0-9].odt"}, "report7.odt", false, true},
        {{"report[!0-9].odt"}, "report7.odt", false, false},
        {{"report[^0-9].odt"}, "reportX.odt", false, true},
        {{"[čř]ada"}, "řada", false, true},
        {{"[]]x"}, "]x", false, true},
        {{"[ab"}, "[ab", false, true}, // no "]": an ordinary "["
        {{"\\*.txt"}, "*.txt", false, true},
        {{"\\*.txt"}, "a.txt", false, false},
        {{"\\#note"}, "#note", false, true},
        {{"\\!important"}, "!important", false, true},
        {{"name\\ "}, "name ", false, true},
        // Blanks around, comments and empty patterns.
        {{"  *.bak  "}, "x.bak", false, true},
        {{"# *.bak"}, "x.bak", false, false},
        {{"", "   ", "/"}, "x", false, false},
        // The last pattern that matches decides.
        {{"*.iso", "!keep.iso"}, "keep.iso", false, false},
        {{"*.iso", "!keep.iso"}, "other.iso", false, true},
        {{"!keep.iso", "*.iso"}, "keep.iso", false, true},
    };
    for (const Case& c : cases) {
        const ExclusionPatterns patterns(c.Patterns);
        std::string shown;
        for (const std::string& p : c.Patterns)
            shown += "[" + p + "]";
        EXPECT_EQ(patterns.Excludes(c.Path, c.Folder), c.Excluded)
            << shown << " on " << c.Path << (c.Folder ? " (folder)" : "");
    }
}

TEST(ExclusionPatterns, StarsBacktrackWithoutBlowingUp) {
    EXPECT_TRUE(GlobMatches("*a*b*c", "xxaxxbxxc"));
    EXPECT_FALSE(GlobMatches("*a*b*c", "xxaxxbxx"));
    // Many stars over a long name that fails at the end: linear in practice, not exponential.
    const std::string name(4000, 'a');
    EXPECT_FALSE(GlobMatches("*a*a*a*a*a*a*a*a*a*a*b", name));
    const ExclusionPatterns deep({"**/a/**/a/**/a/**/b"});
    std::string path;
    for (int i = 0; i < 500; ++i)
        path += "a/";
    EXPECT_FALSE(deep.Excludes(path + "c", false));
    EXPECT_TRUE(deep.Excludes(path + "b", false));
}

// The walk hands on nothing excluded and never enters an excluded folder (its "OnRecurseDir"
// never fires), with paths taken from each group's folder.
TEST(ExclusionPatterns, TheWalkLeavesOutWhatIsExcludedAndEntersNoExcludedFolder) {
    Scratch dir;
    const std::string src = dir / "src";
    for (const char* file : {"keep.txt", "disc.iso", "app/main.js", "app/node_modules/x/y.js",
                             "Dokumenty/Velké/film.mkv", "Dokumenty/zprava.odt",
                             "Dokumenty/node_modules", "deep/Dokumenty/Velké/stays.txt"})
        WriteFile(src + "/" + file);
    TvrkFileScan scanner;
    scanner.SetFileSpec({src + "/*.*"});
    scanner.RecurseDirs = true;
    scanner.IncludeHiddenDirs = true;
    scanner.Exclusions = ExclusionPatterns({"*.iso", "node_modules/", "/Dokumenty/Velké/"});
    std::set<std::string> entered;
    scanner.OnRecurseDir = [&](TComponent*, const std::string& folder) {
        entered.insert(folder.substr(src.size()));
    };
    scanner.Scan();
    std::set<std::string> files;
    for (const TFileObject& f : scanner.FilesList())
        if (!f.FileName.empty())
            files.insert((f.Folder + f.FileName).substr(src.size() + 1));
    EXPECT_EQ(files,
              (std::set<std::string>{"keep.txt", "app/main.js", "Dokumenty/zprava.odt",
                                     "Dokumenty/node_modules", "deep/Dokumenty/Velké/stays.txt"}));
    EXPECT_EQ(entered.count("/app/node_modules/"), 0u);
    EXPECT_EQ(entered.count("/Dokumenty/Velké/"), 0u);
    EXPECT_EQ(entered.count("/deep/Dokumenty/Velké/"), 1u);
    EXPECT_EQ(scanner.FilesCount, 5);
}

} // namespace
