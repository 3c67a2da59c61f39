// The cabinet library's file requests as the stream file handler serves them.
#include "cabinet/component/LastError.h"
#include "cabinet/component/TStreamCabinetFileHandler.h"
#include "platform/fci/fci.h"
#include "tests/support/Scratch.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::WriteFile;

bool DescriptorOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

class FileHandlerTest : public ::testing::Test {
protected:
    Scratch folder;
    TStreamCabinetFileHandler handler;
    int err = 12345;
};

} // namespace

TEST_F(FileHandlerTest, CreateFlagCutsAnExistingFileWhateverElseIsSet) {
    const std::string name = folder / "a.bin";
    WriteFile(name, "old contents");
    const std::int32_t plain = handler.CabOpen(name, FCI_O_CREAT | FCI_O_RDWR, 0, err, 0);
    ASSERT_GE(plain, 0);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(handler.FindStream(plain)->Mode(), fmCreate);
    EXPECT_EQ(ReadFile(name), "");
    handler.CabClose(plain, err);

    // The exclusive bit is not looked at once _O_CREAT is set: the library may reopen a
    // temporary name that has already been made.
    WriteFile(name, "again");
    const std::int32_t exclusive =
        handler.CabOpen(name, FCI_O_CREAT | FCI_O_EXCL | FCI_O_BINARY, 0, err, 0);
    ASSERT_GE(exclusive, 0);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(ReadFile(name), "");
    const std::int32_t created =
        handler.CabOpen(folder / "new.bin", FCI_O_CREAT | FCI_O_EXCL, 0, err, 0);
    EXPECT_GE(created, 0);
    EXPECT_TRUE(Exists(folder / "new.bin"));
    EXPECT_EQ(handler.OpenStreams.size(), 2u);
}

TEST_F(FileHandlerTest, MissingFileWithoutCreateFails) {
    EXPECT_EQ(handler.CabOpen(folder / "absent", FCI_O_RDWR, 0, err, 0), -1);
    EXPECT_EQ(err, -1);
    EXPECT_TRUE(handler.OpenStreams.empty());
    EXPECT_FALSE(Exists(folder / "absent"));
}

TEST_F(FileHandlerTest, FlagsWithoutCreateChooseAccessAndSharing) {
    const std::string name = folder / "a.bin";
    WriteFile(name, "data");
    const std::int32_t binary = handler.CabOpen(name, FCI_O_BINARY, 0, err, 1);
    ASSERT_GE(binary, 0);
    EXPECT_EQ(handler.FindStream(binary)->Mode(), fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(::fcntl(binary, F_GETFL) & O_ACCMODE, O_RDONLY);
    EXPECT_EQ(handler.CabWrite(binary, "x", 1, err), 0u);
    EXPECT_NE(err, 0);

    const std::int32_t exclusive = handler.CabOpen(name, FCI_O_RDWR | FCI_O_EXCL, 0, err, 0);
    ASSERT_GE(exclusive, 0);
    EXPECT_EQ(handler.FindStream(exclusive)->Mode(), fmOpenReadWrite | fmShareExclusive);
    const std::int32_t writer =
        handler.CabOpen(name, FCI_O_WRONLY | FCI_O_TRUNC | FCI_O_APPEND, 0, err, 0);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(handler.FindStream(writer)->Mode(), fmOpenWrite | fmShareDenyNone);
    // _O_TRUNC is ignored without _O_CREAT.
    EXPECT_EQ(ReadFile(name), "data");
    // _O_RDWR wins over _O_WRONLY.
    EXPECT_EQ(handler.ModeFromOpenFlags(FCI_O_RDWR | FCI_O_WRONLY) & 3, fmOpenReadWrite);
}

TEST_F(FileHandlerTest, ReadReportsShortReadsWithoutError) {
    const std::string name = folder / "a.bin";
    WriteFile(name, "0123456789");
    const std::int32_t handle = handler.CabOpen(name, FCI_O_BINARY, 0, err, 0);
    char buffer[16];
    EXPECT_EQ(handler.CabRead(handle, buffer, 4, err), 4u);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(handler.CabRead(handle, buffer, 16, err), 6u);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(std::string(buffer, 6), "456789");
    EXPECT_EQ(handler.CabRead(handle, buffer, 16, err), 0u);
    EXPECT_EQ(err, 0);
}

TEST_F(FileHandlerTest, UnknownHandles) {
    char buffer[4];
    err = 0;
    EXPECT_EQ(handler.CabRead(4242, buffer, 4, err), 0u);
    EXPECT_EQ(err, -1);
    err = 0;
    EXPECT_EQ(handler.CabWrite(4242, buffer, 4, err), 0u);
    EXPECT_EQ(err, -1);
    err = 0;
    EXPECT_EQ(handler.CabSeek(4242, 0, 0, err), 0);
    EXPECT_EQ(err, -1);
    err = 7;
    EXPECT_EQ(handler.CabClose(4242, err), 0);
    EXPECT_EQ(err, 0);
}

TEST_F(FileHandlerTest, SeekErrors) {
    const std::int32_t handle = handler.CabOpen(folder / "a.bin", FCI_O_CREAT, 0, err, 0);
    ASSERT_EQ(handler.CabWrite(handle, "0123456789", 10, err), 10u);
    EXPECT_EQ(handler.CabSeek(handle, 0, 2, err), 10);
    EXPECT_EQ(err, 0);
    // From the end the error is not looked at, whatever comes back.
    EXPECT_EQ(handler.CabSeek(handle, -20, 2, err), -1);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(handler.CabSeek(handle, 3, 0, err), 3);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(handler.CabSeek(handle, -5, 0, err), -1);
    EXPECT_EQ(err, EINVAL);
}

TEST_F(FileHandlerTest, CloseTwiceChangesNothingTheSecondTime) {
    const std::int32_t first = handler.CabOpen(folder / "a.bin", FCI_O_CREAT, 0, err, 0);
    const std::int32_t second = handler.CabOpen(folder / "b.bin", FCI_O_CREAT, 0, err, 0);
    ASSERT_EQ(handler.OpenStreams.size(), 2u);
    EXPECT_EQ(handler.CabClose(first, err), 0);
    EXPECT_EQ(err, 0);
    EXPECT_FALSE(DescriptorOpen(first));
    err = 5;
    EXPECT_EQ(handler.CabClose(first, err), 0);
    EXPECT_EQ(err, 0);
    ASSERT_EQ(handler.OpenStreams.size(), 1u);
    EXPECT_EQ(handler.OpenStreams.front()->Handle, second);
    EXPECT_TRUE(DescriptorOpen(second));
}

TEST(FileHandlerLifetimeTest, DestroyingTheHandlerClosesOpenFiles) {
    Scratch folder;
    int err = 0;
    std::vector<std::int32_t> handles;
    {
        auto handler = std::make_unique<TStreamCabinetFileHandler>();
        for (const char* name : {"a", "b", "c"}) {
            handles.push_back(handler->CabOpen(folder / name, FCI_O_CREAT, 0, err, 0));
        }
        for (std::int32_t handle : handles) {
            ASSERT_TRUE(DescriptorOpen(handle));
        }
    }
    for (std::int32_t handle : handles) {
        EXPECT_FALSE(DescriptorOpen(handle));
    }
}

TEST_F(FileHandlerTest, DeleteAlwaysReturnsZero) {
    WriteFile(folder / "a.bin", "x");
    EXPECT_EQ(handler.CabDelete(folder / "a.bin", err), 0);
    EXPECT_EQ(err, 0);
    EXPECT_FALSE(Exists(folder / "a.bin"));
    EXPECT_EQ(handler.CabDelete(folder / "a.bin", err), 0);
    EXPECT_EQ(err, ENOENT);
}

TEST_F(FileHandlerTest, FullDiskComesOutAsCode112) {
    EXPECT_EQ(LastErrorFromErrno(ENOSPC), kErrorDiskFull);
    EXPECT_EQ(LastErrorFromErrno(EDQUOT), kErrorDiskFull);
    EXPECT_EQ(LastErrorFromErrno(EIO), EIO);
    // Put /dev/full behind an open stream's descriptor: the write fails with ENOSPC.
    const std::int32_t handle = handler.CabOpen(folder / "a.bin", FCI_O_CREAT, 0, err, 0);
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    ASSERT_EQ(::dup2(full, handle), handle);
    ::close(full);
    EXPECT_EQ(handler.CabWrite(handle, "abc", 3, err), 0u);
    EXPECT_EQ(err, 112);
}
