// Replacing the file: refused writes leave the old file as it was and no temporary file behind.
#include "ProfileTestSupport.h"
#include "platform/profile/PrivateProfile.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::profile {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

constexpr char kOldFile[] = "[S]\r\nk=old\r\n";

class ProfileFlush : public ::testing::Test {
protected:
    std::string Path() const { return folder_.File("Ostrivane.ini"); }
    // Loads the file, changes a key and flushes; the result of Flush.
    bool ChangeAndFlush() const {
        PrivateProfile ini(Path());
        return ini.WriteString("S", "k", "new") && ini.Flush();
    }
    ScratchFolder folder_;
};

TEST_F(ProfileFlush, AReadOnlyFileIsNotReplaced) {
    WriteBytes(Path(), kOldFile);
    ASSERT_EQ(::chmod(Path().c_str(), 0444), 0);
    const auto flushed = testing::RunUnprivileged(folder_.Path(), [&] { return ChangeAndFlush(); });
    if (!flushed)
        GTEST_SKIP() << "running as root and no unprivileged user 'nobody' exists";
    EXPECT_FALSE(*flushed);
    EXPECT_EQ(ReadBytes(Path()), kOldFile);
    EXPECT_EQ(folder_.Listing(), "Ostrivane.ini");
}

TEST_F(ProfileFlush, AReadOnlyFolderIsNotWritten) {
    WriteBytes(Path(), kOldFile);
    ASSERT_EQ(::chmod(folder_.Path().c_str(), 0555), 0);
    const auto flushed = testing::RunUnprivileged(folder_.Path(), [&] { return ChangeAndFlush(); });
    if (!flushed)
        GTEST_SKIP() << "running as root and no unprivileged user 'nobody' exists";
    EXPECT_FALSE(*flushed);
    EXPECT_EQ(ReadBytes(Path()), kOldFile);
    EXPECT_EQ(folder_.Listing(), "Ostrivane.ini");
}

TEST_F(ProfileFlush, AFileThatCouldNotBeReadIsNotReplaced) {
    WriteBytes(Path(), kOldFile);
    ASSERT_EQ(::chmod(Path().c_str(), 0200), 0);
    const auto flushed = testing::RunUnprivileged(folder_.Path(), [&] {
        PrivateProfile ini(Path());
        return ini.GetString("S", "k", "-") == "-" && ini.WriteString("S", "other", "v") &&
               ini.Flush();
    });
    if (!flushed)
        GTEST_SKIP() << "running as root and no unprivileged user 'nobody' exists";
    EXPECT_FALSE(*flushed) << "writing would lose the keys that could not be read";
    EXPECT_EQ(ReadBytes(Path()), kOldFile);
}

TEST_F(ProfileFlush, ADirectoryInThePlaceOfTheFileIsNotReplaced) {
    std::filesystem::create_directory(Path());
    WriteBytes(Path() + "/inside", "x");
    PrivateProfile ini(Path());
    EXPECT_EQ(ini.GetString("S", "k", "-"), "-");
    ASSERT_TRUE(ini.WriteString("S", "k", "new"));
    EXPECT_FALSE(ini.Flush());
    EXPECT_TRUE(std::filesystem::is_directory(Path()));
    EXPECT_EQ(ReadBytes(Path() + "/inside"), "x");
    EXPECT_EQ(folder_.Listing(), "Ostrivane.ini");
}

TEST_F(ProfileFlush, AMissingFolderIsReported) {
    PrivateProfile ini(folder_.File("missing/Ostrivane.ini"));
    ASSERT_TRUE(ini.WriteString("S", "k", "v"));
    EXPECT_FALSE(ini.Flush());
    EXPECT_EQ(folder_.Listing(), "");
}

TEST_F(ProfileFlush, AFullDiskLeavesTheOldFile) {
    WriteBytes(Path(), kOldFile);
    const bool flushed = testing::RunWithFileSizeLimit(4096, [&] {
        PrivateProfile ini(Path());
        for (int i = 0; i < 1000; ++i)
            ini.WriteString("S", "key " + std::to_string(i), std::string(40, 'v'));
        return ini.Flush();
    });
    EXPECT_FALSE(flushed);
    EXPECT_EQ(ReadBytes(Path()), kOldFile);
    EXPECT_EQ(folder_.Listing(), "Ostrivane.ini");
}

TEST_F(ProfileFlush, AFailedFlushCanBeRepeated) {
    const std::string blocked = folder_.File("later/Ostrivane.ini");
    PrivateProfile ini(blocked);
    ASSERT_TRUE(ini.WriteString("S", "k", "v"));
    EXPECT_FALSE(ini.Flush());
    std::filesystem::create_directory(folder_.File("later"));
    EXPECT_TRUE(ini.Flush()) << "the changes are still pending after a failure";
    EXPECT_EQ(ReadBytes(blocked), "[S]\r\nk=v\r\n");
}

TEST_F(ProfileFlush, PermissionsOfTheOldFileAreKept) {
    WriteBytes(Path(), kOldFile);
    ASSERT_EQ(::chmod(Path().c_str(), 0640), 0);
    ASSERT_TRUE(ChangeAndFlush());
    struct stat st {};
    ASSERT_EQ(::stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadBytes(Path()), "[S]\r\nk=new\r\n");
}

TEST_F(ProfileFlush, ASymbolicLinkKeepsPointingAtTheReplacedFile) {
    const std::string real = folder_.File("real.ini");
    WriteBytes(real, kOldFile);
    std::filesystem::create_symlink(real, Path());
    ASSERT_TRUE(ChangeAndFlush());
    EXPECT_TRUE(std::filesystem::is_symlink(Path()));
    EXPECT_EQ(ReadBytes(real), "[S]\r\nk=new\r\n");
    EXPECT_EQ(folder_.Listing(), "Ostrivane.ini real.ini");
}

} // namespace
} // namespace ostrivane::profile
