// Every backup is read back and compared with what was packed: a cabinet damaged on its way to
// the disk (here by a file handler that flips one byte of what it writes) is a failed backup.
#include "CabTestSupport.h"

#include "archive/model/ErrorCodes.h"
#include "cabinet/format/FileCatalog.h"
#include "cabinet/read/FolderProof.h"
#include "platform/fs/UniqueFd.h"
#include "tests/support/ParamName.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

namespace {

// Writes as the normal handler does, except that the bytes at the offsets `at` of the file
// `target` go to the disk with `mask` applied (one bit flipped by default).
class CorruptingWrites : public TStreamCabinetFileHandler {
public:
    CorruptingWrites(std::string target, std::uint32_t at) : CorruptingWrites(target, {at}, 0x01) {}
    CorruptingWrites(std::string target, std::vector<std::uint32_t> at, std::uint8_t mask)
        : target_(std::move(target)), at_(std::move(at)), mask_(mask) {}

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
        if (position == positions_.end())
            return Written(Handle, Buffer, Count, Err);
        if (beforeWriting)
            std::exchange(beforeWriting, nullptr)();
        std::string bytes(static_cast<const char*>(Buffer), Count);
        for (const std::uint32_t at : at_) {
            if (at >= position->second && at < position->second + Count) {
                bytes[at - position->second] = static_cast<char>(
                    static_cast<std::uint8_t>(bytes[at - position->second]) ^ mask_);
                ++flipped;
            }
        }
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
    // Called once, before the first bytes of the target are written.
    std::function<void()> beforeWriting;

private:
    std::uint32_t Written(std::int32_t Handle, const void* Buffer, std::uint32_t Count, int& Err) {
        const std::uint32_t n = TStreamCabinetFileHandler::CabWrite(Handle, Buffer, Count, Err);
        if (positions_.count(Handle) != 0)
            positions_[Handle] += n;
        return n;
    }

    std::string target_;
    std::vector<std::uint32_t> at_;
    std::uint8_t mask_;
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

// A backup of one random file whose cabinet gets, as it is written, sixteen bytes inverted at a
// step of four inside a stored block: damage that leaves the block's XOR checksum as it was.
struct InvisiblyDamagedBackup {
    Scratch work;
    const std::string archive = work / "backup.cab";
    TMakeCab cab;
    ErrorRecorder errors{cab};
    CorruptingWrites* corrupting = nullptr;

    InvisiblyDamagedBackup() {
        WriteFile(work / "src/random.bin", RandomBytes(200000, 9));
        std::vector<std::uint32_t> at;
        for (std::uint32_t i = 0; i < 16; ++i)
            at.push_back(100000 + 4 * i);
        auto handler = std::make_unique<CorruptingWrites>(archive, at, 0xFF);
        corrupting = handler.get();
        cab.FileHandler = std::move(handler);
        ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    }
};

// The catalog's CRC-64 of the file finds the damage, and names the file.
TEST(VerificationOfTheCatalog, DamageTheBlockChecksumCannotSeeFailsTheReadBack) {
    InvisiblyDamagedBackup backup;
    EXPECT_EQ(backup.cab.Compress(), 0) << backup.errors.Describe();
    ASSERT_EQ(backup.corrupting->flipped, 16);
    ASSERT_EQ(backup.errors.Count(kErrVerifyFailed), 1) << backup.errors.Describe();
    EXPECT_NE(backup.errors.Errors()[0].ExtendedMsg.find(
                  "src/random.bin: obsah se liší od kontrolního součtu CRC-64 v katalogu zálohy"),
              std::string::npos)
        << backup.errors.Describe();
    // Every cabinet tool takes it for a sound archive; ours does not.
    EXPECT_TRUE(testsupport::CabextractAccepts(backup.archive));
    std::string output;
    EXPECT_EQ(Shell(Quote(std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab") + " --test " +
                        Quote(backup.archive),
                    &output),
              1);
    EXPECT_NE(output.find("src/random.bin: obsah se liší"), std::string::npos) << output;
}

// The folder is proved from the library's data file before the cabinet is written; damage on the
// way into the cabinet after that proof is still found by the read-back from the disk.
TEST(VerificationOfTheCatalog, DamageAfterTheFolderWasProvedFailsTheReadBack) {
    InvisiblyDamagedBackup backup;
    TMakeCab& cab = backup.cab;
    std::size_t provedBeforeWriting = 0;
    backup.corrupting->beforeWriting = [&cab, &provedBeforeWriting] {
        for (int wait = 0; wait < 2000 && cab.FoldersProved() == 0; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        provedBeforeWriting = cab.FoldersProved();
    };
    EXPECT_EQ(cab.Compress(), 0) << backup.errors.Describe();
    ASSERT_EQ(provedBeforeWriting, 1u);
    ASSERT_EQ(backup.corrupting->flipped, 16);
    ASSERT_EQ(backup.errors.Count(kErrVerifyFailed), 1) << backup.errors.Describe();
    EXPECT_NE(backup.errors.Errors()[0].ExtendedMsg.find("src/random.bin: obsah se liší"),
              std::string::npos)
        << backup.errors.Describe();
    EXPECT_FALSE(cab.BackupComplete());
}

// A folder is proved from the library's data file as soon as it is closed, while the packing
// goes on: its records are all in the file by then, however few they are.
TEST(VerificationOfTheCatalog, EveryFolderIsProvedAsSoonAsItIsClosed) {
    Scratch work;
    constexpr int kFiles = 4;
    for (int i = 0; i < kFiles; ++i)
        WriteFile(work / ("src/f" + std::to_string(i) + ".txt"), CompressibleText(60000, i + 1));
    TMakeCab cab;
    ErrorRecorder errors(cab);
    ConfigureForBackup(cab, work / "backup.cab", {work / "src/*.*"}, false, "");
    cab.FolderFiles = 1;
    std::vector<std::size_t> provedWhenAdded;
    cab.OnRead = [&cab, &provedWhenAdded](TComponent*, int, int) {
        // The file just added closed the folder of each file before it.
        const std::size_t closed = provedWhenAdded.size();
        for (int wait = 0; wait < 500 && cab.FoldersProved() < closed; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        provedWhenAdded.push_back(cab.FoldersProved());
    };
    EXPECT_EQ(cab.Compress(), kFiles) << errors.Describe();
    ASSERT_GE(provedWhenAdded.size(), static_cast<std::size_t>(kFiles));
    for (std::size_t i = 0; i < static_cast<std::size_t>(kFiles); ++i)
        EXPECT_EQ(provedWhenAdded[i], i) << "after file " << i;
    EXPECT_EQ(cab.VerifiedFiles, kFiles);
    EXPECT_TRUE(cab.BackupComplete()) << errors.Describe();
}

// The read-back sums the proved folders' stored bytes in one pass front to back: each range gets
// the CRC-64 of exactly its bytes, across reads and gaps, and one the file does not hold whole
// gets none.
TEST(VerificationOfTheCatalog, StoredRangesAreSummedInOnePass) {
    Scratch work;
    const std::string bytes = RandomBytes(3u << 20, 5);
    WriteFile(work / "data", bytes);
    const std::vector<StoredRange> ranges = {{100, (3u << 19) + 7}, // across a read's end
                                             {2u << 20, (2u << 20) + 10},
                                             {(5u << 19) - 1, 3u << 20},  // to the file's end
                                             {3u << 20, (3u << 20) + 1}}; // past it
    const UniqueFd fd(::open((work / "data").c_str(), O_RDONLY | O_CLOEXEC));
    std::vector<std::optional<std::uint64_t>> sums(ranges.size());
    std::vector<int> told(ranges.size(), 0);
    SumStoredRanges(fd.Get(), ranges,
                    [&](std::size_t index, std::optional<std::uint64_t> crc) {
                        sums.at(index) = crc;
                        ++told.at(index);
                    },
                    {});
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        EXPECT_EQ(told[i], 1) << i;
        if (i + 1 == ranges.size()) {
            EXPECT_FALSE(sums[i].has_value());
            continue;
        }
        const std::string part = bytes.substr(ranges[i].Begin, ranges[i].End - ranges[i].Begin);
        EXPECT_EQ(sums[i], ostrivane::cabformat::Crc64(0, part.data(), part.size())) << i;
    }
}
