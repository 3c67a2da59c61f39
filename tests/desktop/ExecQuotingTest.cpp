// The Exec line must come back as exactly the program path and its arguments when a launcher
// splits it, whatever characters the path holds.
#include "DesktopTestEnvironment.h"
#include "desktop/DesktopEntryText.h"

#include <gtest/gtest.h>

using namespace ostrivane::desktop;

TEST(ExecQuoting, PlainPathStaysUnquoted) {
    EXPECT_EQ(ExecValue({"/usr/lib/ostrivane/ostrivane", "/systray"}),
              "/usr/lib/ostrivane/ostrivane /systray");
}

TEST(ExecQuoting, ReservedCharactersRoundTrip) {
    const QStringList paths = {
        "/home/eva/Moje programy/ostrivane", "/opt/a\"b/ostrivane",
        "/opt/cost $HOME/ostrivane",         "/opt/back`tick`/ostrivane",
        "/opt/back\\slash/ostrivane",        "/opt/100%/ostrivane",
        "/opt/%f field/ostrivane",           "/opt/it's (mine) & yours; *?#<>|~/ostrivane",
        "/opt/Záloha ěščř/ostrivane",
    };
    for (const QString& path : paths) {
        const QString exec = ExecValue({path, "/systray"});
        EXPECT_FALSE(exec.contains('\n'));
        const auto parsed = ParseExec(exec);
        ASSERT_TRUE(parsed.has_value()) << exec.toStdString();
        EXPECT_EQ(*parsed, QStringList({path, "/systray"})) << exec.toStdString();
    }
}

TEST(ExecQuoting, BlankPathIsQuotedInDoubleQuotes) {
    EXPECT_EQ(ExecValue({"/a b/ostrivane"}), "\"/a b/ostrivane\"");
}

TEST(ExecQuoting, BackslashIsEscapedForBothLayers) {
    // Quoting turns \ into \\, the string escape then doubles both: four in the file.
    EXPECT_EQ(ExecValue({"/a\\b"}), "\"/a\\\\\\\\b\"");
}

TEST(ExecQuoting, PercentIsDoubledEvenWithoutQuotes) {
    EXPECT_EQ(ExecValue({"/opt/50%"}), "/opt/50%%");
}

TEST(ExecQuoting, NewlineInPathKeepsTheEntryOnOneLine) {
    const QString path = "/opt/two\nlines/ostrivane";
    const QString exec = ExecValue({path});
    EXPECT_FALSE(exec.contains('\n'));
    EXPECT_EQ(ParseExec(exec), QStringList{path});
}

TEST(ExecQuoting, EachStringEscapeIsWrittenOnce) {
    EXPECT_EQ(EscapeStringValue("a\\b\nc\td\re\\n"), "a\\\\b\\nc\\td\\re\\\\n");
}
