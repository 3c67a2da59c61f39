// The 32-bit stream family over file descriptors.
#include "cabinet/streams/TFileStream32.h"
#include "tests/support/Scratch.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::WriteFile;

// A stream that overrides neither Seek.
class NoSeekStream : public TStream32 {
public:
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
};

// A stream that provides only the 32-bit Seek, over a fixed size of 1000 bytes.
class Seek32Stream : public TStream32 {
public:
    using TStream32::Seek;
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int32_t Seek(std::int32_t Offset, std::uint16_t Origin) override {
        position = Origin == soFromBeginning ? Offset
                   : Origin == soFromCurrent ? position + Offset
                                             : 1000 + Offset;
        return position;
    }
    std::int32_t position = 0;
};

bool DescriptorOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

} // namespace

TEST(TFileStream32Test, CreateCutsAnExistingFileAndOpensForReadAndWrite) {
    Scratch folder;
    const std::string name = folder / "a.bin";
    WriteFile(name, "previous contents");
    std::uint8_t error = 99;
    TFileStream32 stream(name, fmCreate, error);
    EXPECT_EQ(error, 0);
    ASSERT_GE(stream.Handle, 0);
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(stream.Write("abcdef", 6), 6);
    EXPECT_EQ(stream.Seek(std::int32_t{1}, soFromBeginning), 1);
    char buffer[8] = {};
    EXPECT_EQ(stream.Read(buffer, 8), 5);
    EXPECT_EQ(std::string(buffer, 5), "bcdef");
    EXPECT_EQ(ReadFile(name), "abcdef");
}

TEST(TFileStream32Test, FailuresReportTheirCodeAndLeaveNoHandle) {
    Scratch folder;
    std::uint8_t error = 0;
    TFileStream32 create(folder / "missing/dir/a.bin", fmCreate, error);
    EXPECT_EQ(error, 254);
    EXPECT_EQ(create.Handle, -1);

    TFileStream32 open(folder / "absent.bin", fmOpenRead | fmShareDenyNone, error);
    EXPECT_EQ(error, 255);
    EXPECT_EQ(open.Handle, -1);

    WriteFile(folder / "exists.bin", "x");
    TFileStream32 badAccess(folder / "exists.bin", 0x0003, error);
    EXPECT_EQ(error, 255);
    EXPECT_EQ(badAccess.Handle, -1);
}

TEST(TFileStream32Test, OpensOnlyRegularFiles) {
    Scratch folder;
    std::uint8_t error = 0;
    TFileStream32 directory(folder.Path(), fmOpenRead, error);
    EXPECT_EQ(error, 255);
    // A FIFO without a writer would block an ordinary open for ever.
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    TFileStream32 fifo(folder / "pipe", fmOpenRead, error);
    EXPECT_EQ(error, 255);
    EXPECT_EQ(fifo.Handle, -1);
    TFileStream32 fifoCreate(folder / "pipe", fmCreate, error);
    EXPECT_EQ(error, 254);
}

TEST(TFileStream32Test, AccessBitsSelectTheOpenMode) {
    Scratch folder;
    const std::string name = folder / "a.bin";
    WriteFile(name, "12345");
    std::uint8_t error = 0;
    TFileStream32 reader(name, fmOpenRead | fmShareExclusive, error);
    ASSERT_EQ(error, 0);
    EXPECT_EQ(::fcntl(reader.Handle, F_GETFL) & O_ACCMODE, O_RDONLY);
    EXPECT_EQ(reader.Write("x", 1), 0);
    TFileStream32 writer(name, fmOpenWrite, error);
    ASSERT_EQ(error, 0);
    EXPECT_EQ(::fcntl(writer.Handle, F_GETFL) & O_ACCMODE, O_WRONLY);
    TFileStream32 both(name, fmOpenReadWrite | fmShareDenyNone, error);
    ASSERT_EQ(error, 0);
    EXPECT_EQ(::fcntl(both.Handle, F_GETFL) & O_ACCMODE, O_RDWR);
    // Opening an existing file never cuts it, and descriptors do not leak into child programs.
    EXPECT_EQ(both.GetSize(), 5);
    EXPECT_TRUE(::fcntl(both.Handle, F_GETFD) & FD_CLOEXEC);
}

TEST(TFileStream32Test, DestructorClosesTheHandle) {
    Scratch folder;
    WriteFile(folder / "a.bin", "x");
    int handle = -1;
    {
        std::uint8_t error = 0;
        TFileStream32 stream(folder / "a.bin", fmOpenRead, error);
        handle = stream.Handle;
        ASSERT_TRUE(DescriptorOpen(handle));
    }
    EXPECT_FALSE(DescriptorOpen(handle));
}

TEST(THandleStream32Test, SeekFailuresComeBackAsMinusOne) {
    Scratch folder;
    std::uint8_t error = 0;
    TFileStream32 stream(folder / "a.bin", fmCreate, error);
    ASSERT_EQ(stream.Write("0123456789", 10), 10);
    EXPECT_EQ(stream.Seek(std::int32_t{-1}, soFromBeginning), -1);
    EXPECT_EQ(stream.Seek(std::int32_t{-11}, soFromEnd), -1);
    EXPECT_EQ(stream.Seek(std::int32_t{0}, 7), -1);
    EXPECT_EQ(stream.Seek(std::int32_t{-3}, soFromEnd), 7);
    EXPECT_EQ(stream.Seek(std::int32_t{2}, soFromCurrent), 9);
    // Past the end is a valid position, as on the Windows call.
    EXPECT_EQ(stream.Seek(std::int32_t{100}, soFromBeginning), 100);
    // The 64-bit Seek returns the position widened without sign.
    EXPECT_EQ(stream.Seek(std::int64_t{-1}, soFromBeginning), std::int64_t{0xFFFFFFFF});
}

TEST(THandleStream32Test, SixtyFourBitValues) {
    Scratch folder;
    std::uint8_t error = 0;
    TFileStream32 stream(folder / "a.bin", fmCreate, error);
    // The handle stream's own 64-bit Seek passes only the low 32 bits to the system.
    EXPECT_EQ(stream.Seek((std::int64_t{1} << 32) + 5, soFromBeginning), 5);
    try {
        stream.SetSize(std::int64_t{0x80000000});
        FAIL() << "no exception";
    } catch (const EStreamError& e) {
        EXPECT_STREQ(e.what(), "Range check error");
    }
    EXPECT_EQ(stream.GetSize(), 0);
}

TEST(THandleStream32Test, SetSizeCutsAndExtends) {
    Scratch folder;
    std::uint8_t error = 0;
    TFileStream32 stream(folder / "a.bin", fmCreate, error);
    ASSERT_EQ(stream.Write("0123456789", 10), 10);
    stream.SetSize(std::int32_t{4});
    EXPECT_EQ(stream.GetSize(), 4);
    stream.SetSize(std::int64_t{20});
    EXPECT_EQ(stream.GetSize(), 20);
    EXPECT_EQ(ReadFile(folder / "a.bin").substr(0, 4), "0123");
}

TEST(THandleStream32Test, SetSizeOnAReadOnlyHandleRaisesTheSystemError) {
    Scratch folder;
    WriteFile(folder / "a.bin", "0123");
    std::uint8_t error = 0;
    TFileStream32 stream(folder / "a.bin", fmOpenRead, error);
    try {
        stream.SetSize(std::int32_t{1});
        FAIL() << "no exception";
    } catch (const EOSError& e) {
        EXPECT_NE(e.Code, 0);
    }
    EXPECT_EQ(ReadFile(folder / "a.bin"), "0123");
}

TEST(THandleStream32Test, SizesBeyondTheSignedRange) {
    Scratch folder;
    std::uint8_t error = 0;
    TFileStream32 stream(folder / "sparse.bin", fmCreate, error);
    // Sparse files: no disk space is used.
    ASSERT_EQ(::ftruncate(stream.Handle, off_t{3} << 30), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(stream.GetSize()), std::uint32_t{3} << 30);
    ASSERT_EQ(::ftruncate(stream.Handle, off_t{5} << 30), 0);
    EXPECT_EQ(stream.GetSize(), -1);
}

TEST(THandleStream32Test, FailedWriteReportsZeroAndLeavesTheReason) {
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    THandleStream32 stream(full);
    EXPECT_EQ(stream.Write("abc", 3), 0);
    EXPECT_EQ(errno, ENOSPC);
    ::close(full);
    THandleStream32 closed(-1);
    char buffer[4];
    EXPECT_EQ(closed.Read(buffer, 4), 0);
    EXPECT_EQ(closed.GetSize(), -1);
}

TEST(TStream32Test, BaseSeekPaths) {
    NoSeekStream none;
    try {
        none.GetSize();
        FAIL() << "no exception";
    } catch (const EStreamError& e) {
        EXPECT_STREQ(e.what(), "Seek not implemented");
    }
    Seek32Stream only32;
    only32.position = 10;
    EXPECT_EQ(only32.GetSize(), 1000);
    EXPECT_EQ(only32.position, 10);
    EXPECT_EQ(only32.Seek(std::int64_t{-5}, soFromEnd), 995);
    EXPECT_THROW(only32.Seek(std::int64_t{-1} << 31 << 1, soFromBeginning), EStreamError);
}
