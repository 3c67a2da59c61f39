// The user's folders from the shell-style file of xdg-user-dirs.
#include "platform/userdirs/UserDirs.h"

#include <gtest/gtest.h>

namespace ostrivane::userdirs {
namespace {

TEST(UserDirs, ParsesTheShellForms) {
    const std::string home = "/home/eva";
    EXPECT_EQ(UserDirFromText("XDG_DESKTOP_DIR=\"$HOME/Desktop\"", "XDG_DESKTOP_DIR", home),
              "/home/eva/Desktop");
    EXPECT_EQ(
        UserDirFromText("  XDG_DESKTOP_DIR=\"/srv/plocha\"  # shared", "XDG_DESKTOP_DIR", home),
        "/srv/plocha");
    EXPECT_EQ(
        UserDirFromText("XDG_DESKTOP_DIR=\"$HOME/Moje \\\"plocha\\\"\"", "XDG_DESKTOP_DIR", home),
        "/home/eva/Moje \"plocha\"");
    EXPECT_EQ(UserDirFromText("XDG_DESKTOP_DIR=\"$HOME/\"", "XDG_DESKTOP_DIR", home), home);
    // The last assignment wins, as when a shell sources the file.
    EXPECT_EQ(UserDirFromText("XDG_DESKTOP_DIR=\"$HOME/A\"\nXDG_DESKTOP_DIR=\"$HOME/B\"\n",
                              "XDG_DESKTOP_DIR", home),
              "/home/eva/B");
}

TEST(UserDirs, RejectsWhatItCannotResolve) {
    EXPECT_EQ(UserDirFromText("XDG_DESKTOP_DIR=\"$HOME/Desktop\"", "XDG_DESKTOP_DIR", ""), "");
    EXPECT_EQ(UserDirFromText("XDG_DESKTOP_DIR=\"Desktop\"", "XDG_DESKTOP_DIR", "/h"), "");
    EXPECT_EQ(UserDirFromText("# XDG_DESKTOP_DIR=\"/x\"", "XDG_DESKTOP_DIR", "/h"), "");
    EXPECT_EQ(UserDirFromText("XDG_DESKTOP_DIRS=\"/x\"", "XDG_DESKTOP_DIR", "/h"), "");
    EXPECT_EQ(UserDirFromText("XDG_MUSIC_DIR=\"/x\"", "XDG_DESKTOP_DIR", "/h"), "");
}

} // namespace
} // namespace ostrivane::userdirs
