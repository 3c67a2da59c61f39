// Writes that fail halfway, injected through the build's file handler: a full disk (the
// system's code 112) or an input/output error, while the library's temporary files grow or
// while the cabinet itself is written. The build must say so, leave the other archives of the
// folder alone, and never leave a broken cabinet that it counts as written.
#include "FaultSupport.h"

#include "archive/model/ErrorCodes.h"
#include "cabinet/component/LastError.h"
#include "platform/fci/fci.h"
#include "tests/support/ParamName.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <ostream>
#include <set>

namespace faults {
namespace {

enum class Target { TemporaryFiles, Cabinet };

// Serves the library as the normal handler does, until `budget` bytes have gone to the chosen
// files: the write that crosses the budget writes what fits and reports `code`, every later
// write to those files writes nothing and reports `code`.
class FailingWrites : public TStreamCabinetFileHandler {
public:
    FailingWrites(Target target, std::string archive, std::size_t budget, int code)
        : target_(target), archive_(std::move(archive)), budget_(budget), code_(code) {}

    std::int32_t CabOpen(const std::string& FileName, int OFlag, int PMode, int& Err,
                         int Reserved) override {
        const std::int32_t handle =
            TStreamCabinetFileHandler::CabOpen(FileName, OFlag, PMode, Err, Reserved);
        const bool isCabinet = FileName == archive_;
        const bool isTemporary = !isCabinet && (OFlag & FCI_O_CREAT) != 0;
        if (handle >= 0 && (target_ == Target::Cabinet ? isCabinet : isTemporary))
            chosen_.insert(handle);
        return handle;
    }
    std::uint32_t CabWrite(std::int32_t Handle, const void* Buffer, std::uint32_t Count,
                           int& Err) override {
        if (chosen_.count(Handle) == 0)
            return TStreamCabinetFileHandler::CabWrite(Handle, Buffer, Count, Err);
        const std::size_t room = budget_ - std::min(budget_, written_);
        if (room >= Count) {
            const std::uint32_t n = TStreamCabinetFileHandler::CabWrite(Handle, Buffer, Count, Err);
            written_ += n;
            return n;
        }
        ++failures;
        std::uint32_t n = 0;
        if (room > 0) {
            n = TStreamCabinetFileHandler::CabWrite(Handle, Buffer,
                                                    static_cast<std::uint32_t>(room), Err);
            written_ += n;
        }
        Err = code_;
        return n;
    }
    std::int32_t CabClose(std::int32_t Handle, int& Err) override {
        chosen_.erase(Handle);
        return TStreamCabinetFileHandler::CabClose(Handle, Err);
    }

    int failures = 0;

private:
    Target target_;
    std::string archive_;
    std::size_t budget_;
    int code_;
    std::size_t written_ = 0;
    std::set<std::int32_t> chosen_;
};

struct Case {
    const char* name;
    Target target;
    int code;           // what the handler reports
    int expectedReport; // the code the build must report
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class WriteFault : public ::testing::TestWithParam<Case> {
protected:
    // Three poorly compressible sources, an archive of an earlier run beside the new one, and
    // the build with the failing handler. False when the set-up failed.
    void Build() {
        const Case c = GetParam();
        ::mkdir((dir / "out").c_str(), 0755);
        ::mkdir((dir / "tmp").c_str(), 0755);
        for (int i = 0; i < 3; ++i)
            WriteFile(dir / ("src/file" + std::to_string(i) + ".bin"), RandomBytes(300000, i));
        {
            TMakeCab first;
            Reports reports(first);
            ConfigureForBackup(first, earlier, {dir / "src/*.*"}, false, dir / "tmp");
            ASSERT_EQ(first.Compress(), 3) << reports.Describe();
        }
        earlierBytes = ReadFile(earlier);

        TMakeCab cab;
        Reports recorder(cab);
        auto handler = std::make_unique<FailingWrites>(c.target, archive, 200000, c.code);
        FailingWrites& failing = *handler;
        cab.FileHandler = std::move(handler);
        ConfigureForBackup(cab, archive, {dir / "src/*.*"}, false, dir / "tmp");
        added = cab.Compress();
        reports = recorder.All();
        ASSERT_GT(failing.failures, 0) << "the fault was never reached";
        valid = Exists(archive) && CabextractAccepts(archive);
    }

    bool Reported(int code, const std::string& file) const {
        return std::any_of(reports.begin(), reports.end(),
                           [&](const Report& r) { return r.Code == code && r.FileName == file; });
    }
    std::string Described() const {
        std::string text;
        for (const Report& r : reports)
            text += std::to_string(r.Code) + " " + r.FileName + " (" + r.ExtendedMsg + ")\n";
        return text;
    }

    Scratch dir;
    const std::string earlier = dir / "out/archiv_1.cab";
    const std::string archive = dir / "out/archiv.cab";
    std::string earlierBytes;
    int added = -1;
    std::vector<Report> reports;
    bool valid = false;
};

TEST_P(WriteFault, IsReportedAndLeavesTheEarlierArchiveAlone) {
    ASSERT_NO_FATAL_FAILURE(Build());
    const Case c = GetParam();
    EXPECT_TRUE(Reported(c.expectedReport, archive)) << Described();
    EXPECT_EQ(ReadFile(earlier), earlierBytes) << "the earlier archive was touched";
    if (valid) {
        // Whatever it holds must be what the sources hold.
        const CabDirectory listing = ReadCabDirectory(archive);
        EXPECT_EQ(static_cast<int>(listing.SizesByName().size()), added);
        EXPECT_EQ(Shell("mkdir -p " + Quote(dir / "x") + " && cabextract -q -d " +
                        Quote(dir / "x") + " " + Quote(archive)),
                  0);
        for (const auto& [name, size] : listing.SizesByName()) {
            std::string relative = name;
            std::replace(relative.begin(), relative.end(), '\\', '/');
            EXPECT_EQ(ReadFile(dir / ("x/" + relative)), ReadFile(dir / relative)) << name;
        }
    }
    // The library's temporary files are gone, whatever happened, and nothing stray is left
    // beside the archives.
    EXPECT_EQ(Listing(dir / "tmp"), "") << "temporary files left behind";
    const std::string listing = Listing(dir / "out");
    EXPECT_TRUE(listing == "archiv.cab archiv_1.cab" || listing == "archiv_1.cab") << listing;
}

// A cabinet that could not be written completely holds no file a restore could get back, so
// the build must not count any as added (as it counts none after a full disk), also after an
// input/output error while the cabinet or its temporary files are written.
TEST_P(WriteFault, BrokenCabinetCountsNoFiles) {
    ASSERT_NO_FATAL_FAILURE(Build());
    if (!valid) {
        EXPECT_EQ(added, 0) << Described();
    }
}

INSTANTIATE_TEST_SUITE_P(
    HalfwayWrites, WriteFault,
    ::testing::Values(Case{"DiskFullInTemporaryFiles", Target::TemporaryFiles, kErrorDiskFull,
                           kErrDiskFull},
                      Case{"DiskFullInTheCabinet", Target::Cabinet, kErrorDiskFull, kErrDiskFull},
                      Case{"IoErrorInTemporaryFiles", Target::TemporaryFiles, EIO, kErrWritingFile},
                      Case{"IoErrorInTheCabinet", Target::Cabinet, EIO, kErrWritingFile}),
    testsupport::ParamName());

} // namespace
} // namespace faults
