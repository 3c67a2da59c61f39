// Temporary file names for the cabinet library.
#include "cabinet/component/TempFileName.h"
#include "tests/support/Scratch.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace {

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::WriteFile;

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Points TMPDIR at a folder for the duration of a test.
class TempDirOverride {
public:
    explicit TempDirOverride(const std::string& folder) {
        if (const char* old = std::getenv("TMPDIR")) {
            previous_ = old;
        }
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~TempDirOverride() {
        if (previous_) {
            ::setenv("TMPDIR", previous_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

private:
    std::optional<std::string> previous_;
};

} // namespace

TEST(MakeTempFileNameTest, UsesAnExistingFolder) {
    Scratch folder;
    const std::string name = MakeTempFileName(folder.Path() + "/");
    EXPECT_TRUE(StartsWith(name, folder.Path() + "/vrk")) << name;
    EXPECT_TRUE(EndsWith(name, ".tmp")) << name;
    ASSERT_TRUE(Exists(name));
    EXPECT_EQ(ReadFile(name), "");
    // Without the trailing "/" too, and every call gives a new file.
    const std::string other = MakeTempFileName(folder.Path());
    EXPECT_TRUE(StartsWith(other, folder.Path() + "/vrk")) << other;
    EXPECT_NE(other, name);
}

TEST(MakeTempFileNameTest, EmptyOrMissingFolderFallsBackToTheSystemFolder) {
    Scratch system;
    Scratch other;
    TempDirOverride tmpdir(system.Path());
    const std::string fromEmpty = MakeTempFileName("");
    EXPECT_TRUE(StartsWith(fromEmpty, system.Path() + "/vrk")) << fromEmpty;
    EXPECT_TRUE(Exists(fromEmpty));

    const std::string missing = other / "not/there/";
    const std::string fromMissing = MakeTempFileName(missing);
    EXPECT_TRUE(StartsWith(fromMissing, system.Path() + "/vrk")) << fromMissing;
    EXPECT_FALSE(Exists(other / "not"));

    // A plain file is not a folder.
    WriteFile(other / "file", "x");
    EXPECT_TRUE(StartsWith(MakeTempFileName(other / "file"), system.Path() + "/vrk"));
}
