// Replacing the file: refused writes leave the old file as it was and no temporary file behind.
#include "platform/profile/PrivateProfile.h"
#include "tests/support/Child.h"
#include "tests/support/ParamName.h"
#include "tests/support/Scratch.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::profile {
namespace {

using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::WriteFile;

constexpr char kOldFile[] = "[S]\r\nk=old\r\n";

// Runs `step` in a child process as a user for whom file permissions hold (the unprivileged
// user under root, who is handed `ownedFolder` first). The step's result, or nothing when the
// child cannot become that user.
std::optional<bool> RunUnprivileged(const std::string& ownedFolder,
                                    const std::function<bool()>& step) {
    if (!testsupport::HandOver(ownedFolder, true))
        throw std::runtime_error("cannot hand over " + ownedFolder);
    const int result = testsupport::RunUnprivileged([&] { return step() ? 0 : 1; }, 60);
    if (result == testsupport::kCannotSwitch)
        return std::nullopt;
    if (result != 0 && result != 1)
        throw std::runtime_error("the child process did not end normally");
    return result == 0;
}

// Runs `step` in a child process whose file size limit is `maxBytes` (a full disk as the
// writer sees it: writes beyond the limit fail). The step's result.
bool RunWithFileSizeLimit(long maxBytes, const std::function<bool()>& step) {
    return testsupport::RunGuarded(
               [&] {
                   ::signal(SIGXFSZ, SIG_IGN);
                   const rlimit limit{static_cast<rlim_t>(maxBytes), static_cast<rlim_t>(maxBytes)};
                   return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 && step() ? 0 : 1;
               },
               60) == 0;
}

class ProfileFlush : public ::testing::Test {
protected:
    std::string Path() const { return folder_ / "Ostrivane.ini"; }
    // Loads the file, changes a key and flushes; the result of Flush.
    bool ChangeAndFlush() const {
        PrivateProfile ini(Path());
        return ini.WriteString("S", "k", "new") && ini.Flush();
    }
    Scratch folder_;
};

// A file or its folder that the user may not write: the flush fails and changes nothing.
struct ReadOnly {
    const char* name;
    bool folder; // the folder is read-only, not the file
    mode_t mode;
};

class ProfileFlushReadOnly : public ProfileFlush, public ::testing::WithParamInterface<ReadOnly> {};

TEST_P(ProfileFlushReadOnly, NothingIsWritten) {
    WriteFile(Path(), kOldFile);
    ASSERT_EQ(::chmod((GetParam().folder ? folder_.Path() : Path()).c_str(), GetParam().mode), 0);
    const auto flushed = RunUnprivileged(folder_.Path(), [&] { return ChangeAndFlush(); });
    if (!flushed)
        GTEST_SKIP() << "running as root and cannot switch to the unprivileged user";
    EXPECT_FALSE(*flushed);
    EXPECT_EQ(ReadFile(Path()), kOldFile);
    EXPECT_EQ(testsupport::Listing(folder_.Path()), "Ostrivane.ini");
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileFlushReadOnly,
                         ::testing::Values(ReadOnly{"AReadOnlyFileIsNotReplaced", false, 0444},
                                           ReadOnly{"AReadOnlyFolderIsNotWritten", true, 0555}),
                         testsupport::ParamName());

TEST_F(ProfileFlush, AFileThatCouldNotBeReadIsNotReplaced) {
    WriteFile(Path(), kOldFile);
    ASSERT_EQ(::chmod(Path().c_str(), 0200), 0);
    const auto flushed = RunUnprivileged(folder_.Path(), [&] {
        PrivateProfile ini(Path());
        return ini.GetString("S", "k", "-") == "-" && ini.WriteString("S", "other", "v") &&
               ini.Flush();
    });
    if (!flushed)
        GTEST_SKIP() << "running as root and cannot switch to the unprivileged user";
    EXPECT_FALSE(*flushed) << "writing would lose the keys that could not be read";
    EXPECT_EQ(ReadFile(Path()), kOldFile);
}

TEST_F(ProfileFlush, ADirectoryInThePlaceOfTheFileIsNotReplaced) {
    std::filesystem::create_directory(Path());
    WriteFile(Path() + "/inside", "x");
    PrivateProfile ini(Path());
    EXPECT_EQ(ini.GetString("S", "k", "-"), "-");
    ASSERT_TRUE(ini.WriteString("S", "k", "new"));
    EXPECT_FALSE(ini.Flush());
    EXPECT_TRUE(std::filesystem::is_directory(Path()));
    EXPECT_EQ(ReadFile(Path() + "/inside"), "x");
    EXPECT_EQ(testsupport::Listing(folder_.Path()), "Ostrivane.ini");
}

TEST_F(ProfileFlush, AMissingFolderIsReported) {
    PrivateProfile ini(folder_ / "missing/Ostrivane.ini");
    ASSERT_TRUE(ini.WriteString("S", "k", "v"));
    EXPECT_FALSE(ini.Flush());
    EXPECT_EQ(testsupport::Listing(folder_.Path()), "");
}

TEST_F(ProfileFlush, AFullDiskLeavesTheOldFile) {
    WriteFile(Path(), kOldFile);
    const bool flushed = RunWithFileSizeLimit(4096, [&] {
        PrivateProfile ini(Path());
        for (int i = 0; i < 1000; ++i)
            ini.WriteString("S", "key " + std::to_string(i), std::string(40, 'v'));
        return ini.Flush();
    });
    EXPECT_FALSE(flushed);
    EXPECT_EQ(ReadFile(Path()), kOldFile);
    EXPECT_EQ(testsupport::Listing(folder_.Path()), "Ostrivane.ini");
}

TEST_F(ProfileFlush, AFailedFlushCanBeRepeated) {
    const std::string blocked = folder_ / "later/Ostrivane.ini";
    PrivateProfile ini(blocked);
    ASSERT_TRUE(ini.WriteString("S", "k", "v"));
    EXPECT_FALSE(ini.Flush());
    std::filesystem::create_directory(folder_ / "later");
    EXPECT_TRUE(ini.Flush()) << "the changes are still pending after a failure";
    EXPECT_EQ(ReadFile(blocked), "[S]\r\nk=v\r\n");
}

TEST_F(ProfileFlush, PermissionsOfTheOldFileAreKept) {
    WriteFile(Path(), kOldFile);
    ASSERT_EQ(::chmod(Path().c_str(), 0640), 0);
    ASSERT_TRUE(ChangeAndFlush());
    struct stat st {};
    ASSERT_EQ(::stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(Path()), "[S]\r\nk=new\r\n");
}

TEST_F(ProfileFlush, ASymbolicLinkKeepsPointingAtTheReplacedFile) {
    const std::string real = folder_ / "real.ini";
    WriteFile(real, kOldFile);
    std::filesystem::create_symlink(real, Path());
    ASSERT_TRUE(ChangeAndFlush());
    EXPECT_TRUE(std::filesystem::is_symlink(Path()));
    EXPECT_EQ(ReadFile(real), "[S]\r\nk=new\r\n");
    EXPECT_EQ(testsupport::Listing(folder_.Path()), "Ostrivane.ini real.ini");
}

} // namespace
} // namespace ostrivane::profile
