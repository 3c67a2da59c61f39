// Every backup is read back and compared with what was packed: a cabinet damaged on its way to
// the disk (here by a file handler that flips one byte of what it writes) is a failed backup.
#include "CabTestSupport.h"

#include "archive/model/ErrorCodes.h"
#include "tests/support/ParamName.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {

// Writes as the normal handler does, except that the byte at offset `at` of the file `target`
// goes to the disk with one bit flipped.
class CorruptingWrites : public TStreamCabinetFileHandler {
public:
    CorruptingWrites(std::string target, std::uint32_t at) : target_(std::move(target)), at_(at) {}

    std::int32_t CabOpen(const std::string& FileName, int OFlag, int PMode, int& Err,
                         int Reserved) override {
        const std::int32_t handle =
            TStreamCabinetFileHandler::CabOpen(FileName, OFlag, PMode, Err, Reserved);
        if (handle >= 0 && FileName == target_)
            positions_[handle] = 0;
        return handle;
    }
    std::uint32_t CabWrite(std::int32_t Handle, const void* Buffer, std::uint32_t Count,
                           int& Err) override {
        auto position = positions_.find(Handle);
        if (position == positions_.end() || at_ < position->second ||
            at_ >= position->second + Count)
            return Written(Handle, Buffer, Count, Err);
        std::string bytes(static_cast<const char*>(Buffer), Count);
        bytes[at_ - position->second] ^= 0x01;
        ++flipped;
        return Written(Handle, bytes.data(), Count, Err);
    }
    std::int32_t CabClose(std::int32_t Handle, int& Err) override {
        positions_.erase(Handle);
        return TStreamCabinetFileHandler::CabClose(Handle, Err);
    }
    std::int32_t CabSeek(std::int32_t Handle, std::int32_t Distance, int SeekType,
                         int& Err) override {
        const std::int32_t result =
            TStreamCabinetFileHandler::CabSeek(Handle, Distance, SeekType, Err);
        if (positions_.count(Handle) != 0)
            positions_[Handle] = static_cast<std::uint32_t>(result);
        return result;
    }

    int flipped = 0;

private:
    std::uint32_t Written(std::int32_t Handle, const void* Buffer, std::uint32_t Count, int& Err) {
        const std::uint32_t n = TStreamCabinetFileHandler::CabWrite(Handle, Buffer, Count, Err);
        if (positions_.count(Handle) != 0)
            positions_[Handle] += n;
        return n;
    }

    std::string target_;
    std::uint32_t at_;
    std::map<std::int32_t, std::uint32_t> positions_;
};

struct Case {
    const char* name;
    std::uint32_t offset; // of the flipped byte in the cabinet, not counting its header reserve
    const char* expected; // in the report
    int expectedVerified; // files that still read back whole
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class VerificationTest : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(VerificationTest, ADamagedCabinetIsAFailedBackupAndIsKept) {
    Scratch work;
    WriteFile(work / "src/a.bin", RandomBytes(50000, 1));
    WriteFile(work / "src/b.txt", CompressibleText(20000));
    const std::string earlier = work / "out/backup_1.cab";
    const std::string archive = work / "out/backup.cab";
    std::filesystem::create_directories(work / "out");
    {
        TMakeCab cab;
        ErrorRecorder errors(cab);
        ConfigureForBackup(cab, earlier, {work / "src/*.*"}, false, "");
        ASSERT_EQ(cab.Compress(), 2) << errors.Describe();
        EXPECT_EQ(cab.VerifiedFiles, 2);
    }
    const std::string earlierBytes = ReadFile(earlier);
    // The record of the sources in the header's reserve is as long as in the earlier backup.
    const CabDirectory header = ReadCabDirectory(earlier);
    ASSERT_TRUE(header.Valid && header.HeaderReserve > 0);
    const std::uint32_t reserve = header.ReserveBytes();

    TMakeCab cab;
    ErrorRecorder errors(cab);
    auto handler = std::make_unique<CorruptingWrites>(archive, GetParam().offset + reserve);
    CorruptingWrites& corrupting = *handler;
    cab.FileHandler = std::move(handler);
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    const int added = cab.Compress();
    ASSERT_EQ(corrupting.flipped, 1);

    EXPECT_EQ(added, GetParam().expectedVerified) << errors.Describe();
    EXPECT_GE(errors.Count(kErrVerifyFailed), 1) << errors.Describe();
    const auto& all = errors.Errors();
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const ReportedError& e) {
        return e.Code == kErrVerifyFailed && e.FileName == archive &&
               e.ExtendedMsg.find(GetParam().expected) != std::string::npos;
    })) << errors.Describe();
    EXPECT_TRUE(Exists(archive)) << "the failed archive is kept for salvage";
    EXPECT_EQ(ReadFile(earlier), earlierBytes);
}

INSTANTIATE_TEST_SUITE_P(
    FlippedBytes, VerificationTest,
    ::testing::Values(
        // Well inside the first data block, which holds the start of the first file.
        Case{"InTheData", 2000, "chyba kontrolního součtu v datovém bloku 1", 0},
        // In the first file's name (after the files' folder and the catalog's): that name is
        // missing, an unknown one is there instead.
        Case{"InAName", 36 + 2 * 8 + 16 + 1, ": v archívu chybí", 1}),
    testsupport::ParamName());

// In a backup of several parts, the report names the part that is damaged.
TEST(VerificationOfParts, ADamagedLaterPartIsNamed) {
    Scratch work;
    for (int i = 0; i < 3; ++i)
        WriteFile(work / ("src/f" + std::to_string(i)), RandomBytes(60000, i));
    const std::string archive = work / "backup.cab";
    TMakeCab cab;
    ErrorRecorder errors(cab);
    cab.FileHandler = std::make_unique<CorruptingWrites>(work / "backup-2.cab", 2000);
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    cab.PartSize = 100000;
    cab.OnGetNextCabinet = [&cab](TComponent*, CCAB& ccab, std::string& name, int, bool& abort) {
        cab.AnswerWithNextPart(ccab, name, abort);
    };
    EXPECT_EQ(cab.Compress(), 2) << errors.Describe();
    ASSERT_EQ(errors.Count(kErrVerifyFailed), 1) << errors.Describe();
    EXPECT_EQ(errors.Errors()[0].FileName, work / "backup-2.cab") << errors.Describe();
    EXPECT_EQ(cab.VerifiedFiles, 2);
}
