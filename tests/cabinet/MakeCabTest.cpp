// The cabinet build's behaviour seen through the component's events and the written cabinet.
#include "CabTestSupport.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/LastError.h"
#include "cabinet/component/Percent.h"
#include "platform/fs/FileSystem.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string kBuiltLibrary = std::string(OSTRIVANE_BUILD_DIR) + "/libcabinet.so";

// One event of a build, in the order it happened.
struct Event {
    std::string Kind; // "activate", "begin", "end", "progress", "deactivate"
    std::string File;
    int A = 0;
    int B = 0;
};

class MakeCabTest : public ::testing::Test {
protected:
    MakeCabTest() : errors(cab) {
        cab.OnActivate = [this](TComponent*) { events.push_back({"activate", "", 0, 0}); };
        cab.OnDeactivate = [this](TComponent*) { events.push_back({"deactivate", "", 0, 0}); };
        cab.OnBegin = [this](TComponent*, const std::string& file, int count, bool& extract) {
            events.push_back({"begin", file, count, 0});
            if (file == leaveOut) {
                extract = false;
            }
        };
        cab.OnEnd = [this](TComponent*, const std::string& file, bool crcPass) {
            events.push_back({"end", file, crcPass ? 1 : 0, 0});
        };
        cab.OnProgress = [this](TComponent*, std::uint8_t byFile, std::uint8_t byArchive) {
            events.push_back({"progress", "", byFile, byArchive});
            if (onProgress) {
                onProgress(byFile, byArchive);
            }
        };
    }

    void TearDown() override { LoadCabinetLibrary(kBuiltLibrary); }

    std::vector<Event> EventsOf(const std::string& kind) const {
        std::vector<Event> found;
        for (const Event& e : events) {
            if (e.Kind == kind) {
                found.push_back(e);
            }
        }
        return found;
    }

    Scratch work;
    TMakeCab cab;
    ErrorRecorder errors;
    std::vector<Event> events;
    std::string leaveOut;
    std::function<void(int, int)> onProgress;
};

// Fails every write with the given last-error code, or only the writes to one file.
class FailingWritesHandler : public TStreamCabinetFileHandler {
public:
    FailingWritesHandler(int code, std::string onlyFile)
        : code_(code), only_(std::move(onlyFile)) {}

    std::int32_t CabOpen(const std::string& FileName, int OFlag, int PMode, int& Err,
                         int Reserved) override {
        const std::int32_t handle =
            TStreamCabinetFileHandler::CabOpen(FileName, OFlag, PMode, Err, Reserved);
        if (handle >= 0 && (only_.empty() || FileName == only_)) {
            failing_.push_back(handle);
        }
        return handle;
    }
    std::uint32_t CabWrite(std::int32_t Handle, const void* Buffer, std::uint32_t Count,
                           int& Err) override {
        if (std::find(failing_.begin(), failing_.end(), Handle) != failing_.end()) {
            Err = code_;
            return 0;
        }
        return TStreamCabinetFileHandler::CabWrite(Handle, Buffer, Count, Err);
    }
    std::int32_t CabClose(std::int32_t Handle, int& Err) override {
        failing_.erase(std::remove(failing_.begin(), failing_.end(), Handle), failing_.end());
        return TStreamCabinetFileHandler::CabClose(Handle, Err);
    }

private:
    int code_;
    std::string only_;
    std::vector<std::int32_t> failing_;
};

} // namespace

TEST(PercentTest, RoundsHalfToEvenAndClamps) {
    EXPECT_EQ(Percent(0, 5), 0);
    EXPECT_EQ(Percent(-3, 5), 0);
    EXPECT_EQ(Percent(200, 1), 0); // 0.5
    EXPECT_EQ(Percent(200, 3), 2); // 1.5
    EXPECT_EQ(Percent(200, 5), 2); // 2.5
    EXPECT_EQ(Percent(8, 1), 12);  // 12.5
    EXPECT_EQ(Percent(8, 3), 38);  // 37.5
    EXPECT_EQ(Percent(3, 2), 67);
    EXPECT_EQ(Percent(10, 25), 100);
    EXPECT_EQ(Percent(10, -1), 0);
    EXPECT_EQ(Percent(4294967295.0, 4294967295.0), 100);
}

TEST(TMakeCabDefaultsTest, FormValuesAndArchiveType) {
    TMakeCab cab;
    EXPECT_EQ(cab.ArcType(), atCab);
    EXPECT_EQ(cab.CompressMethod(), cmMsZip);
    EXPECT_EQ(cab.DefaultExt(), ".cab");
    EXPECT_EQ(cab.DeleteOptions(), doAllowUndo);
    EXPECT_FALSE(cab.RecurseDirs());
    // The stored "C:\WINDOWS\TEMP\" names no folder here: reading gives the system's folder.
    EXPECT_EQ(cab.TempDir(), ostrivane::fs::SystemTempPath());
    EXPECT_EQ(cab.GetHeadSize(), 32);
    EXPECT_EQ(cab.GetHeadSizeEx(), 32);
    EXPECT_NE(cab.GetHeadPtr(), nullptr);
    cab.SetCompressMethod(cmDeflate);
    EXPECT_EQ(cab.CompressMethod(), cmMsZip);

    cab.SetArchiveFile("/backup/200212312345.cab");
    cab.SetArcType(atZip);
    EXPECT_EQ(cab.ArcType(), atCab);
    EXPECT_EQ(cab.ArchiveFile(), "/backup/200212312345.cab");
}

TEST(TMakeCabDefaultsTest, EntryHeaderRoundTrip) {
    TMakeCab cab;
    TEntryInfo info;
    info.DosDateTime = 0x5A8B6C21;
    info.DateTime = 44000.25;
    info.Size = 123456789;
    info.Attributes = 0x21;
    std::array<std::uint8_t, 36> block{};
    cab.PutEntryInfo(block.data(), info);
    TEntryInfo back;
    cab.GetEntryInfo(block.data(), 0, back);
    EXPECT_EQ(back.DosDateTime, info.DosDateTime);
    EXPECT_EQ(back.Size, info.Size);
    EXPECT_EQ(back.Attributes, info.Attributes);
    EXPECT_EQ(cab.CurrentEntry.Attributes, info.Attributes);
}

TEST_F(MakeCabTest, EventsOfABuildAndProgressValues) {
    WriteFile(work / "src/a-empty.txt", "");
    WriteFile(work / "src/b-large.bin", RandomBytes(200000, 5));
    WriteFile(work / "src/c-small.txt", CompressibleText(70000));
    const std::string archive = work / "out.cab";
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    ASSERT_EQ(cab.Compress(), 3) << errors.Describe();
    EXPECT_TRUE(errors.Errors().empty()) << errors.Describe();

    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().Kind, "activate");
    EXPECT_EQ(events.back().Kind, "deactivate");
    // Per file: begin, progress only while the file is read, end with CRC_PASS true.
    std::map<std::string, std::vector<Event>> progressOf;
    std::string current;
    for (const Event& e : events) {
        if (e.Kind == "begin") {
            current = e.File;
            progressOf[current];
        } else if (e.Kind == "progress" && !current.empty()) {
            progressOf[current].push_back(e);
        } else if (e.Kind == "end") {
            EXPECT_EQ(e.A, 1) << e.File;
            current.clear();
        }
        if (e.Kind == "progress") {
            EXPECT_LE(e.A, 100);
            EXPECT_LE(e.B, 100);
        }
    }
    ASSERT_EQ(progressOf.size(), 3u);
    EXPECT_TRUE(progressOf[work / "src/a-empty.txt"].empty());
    for (const std::string name : {"src/b-large.bin", "src/c-small.txt"}) {
        const std::vector<Event>& p = progressOf[work / name];
        ASSERT_FALSE(p.empty()) << name;
        EXPECT_EQ(p.back().A, 100) << name;
        for (std::size_t i = 1; i < p.size(); ++i) {
            EXPECT_GE(p[i].A, p[i - 1].A) << name;
            EXPECT_GE(p[i].B, p[i - 1].B) << name;
        }
    }
    // Every byte the scan counted was read: the archive reaches 100.
    EXPECT_EQ(EventsOf("progress").back().B, 100);
    EXPECT_EQ(cab.ProgressByArchive, 100);
}

TEST_F(MakeCabTest, CancelDuringALargeFileStopsTheBuild) {
    const std::string large = work / "src/large.bin";
    WriteFile(large, RandomBytes(3000000, 9));
    for (const char* name : {"src/one.txt", "src/two.txt", "src/three.txt"}) {
        WriteFile(work / name, name);
    }
    const std::string archive = work / "out.cab";
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    std::string current;
    cab.OnBegin = [&](TComponent*, const std::string& file, int count, bool&) {
        events.push_back({"begin", file, count, 0});
        current = file;
    };
    int progressAfterCancel = 0;
    onProgress = [&](int byFile, int) {
        if (*cab.CancelFlag()) {
            ++progressAfterCancel;
        } else if (current == large && byFile >= 30) {
            *cab.CancelFlag() = true; // as the cancel button does
        }
    };
    const int added = cab.Compress();
    EXPECT_EQ(progressAfterCancel, 0);
    // The walk stops with the large file: no entry after it is begun.
    const std::vector<Event> begins = EventsOf("begin");
    ASSERT_FALSE(begins.empty());
    EXPECT_EQ(begins.back().File, large);
    EXPECT_EQ(added, static_cast<int>(begins.size()) - 1);
    const std::vector<Event> ends = EventsOf("end");
    ASSERT_EQ(ends.size(), begins.size());
    EXPECT_EQ(ends.back().File, large);
    EXPECT_EQ(ends.back().A, 0);
    for (std::size_t i = 0; i + 1 < ends.size(); ++i) {
        EXPECT_EQ(ends[i].A, 1);
    }
    EXPECT_EQ(events.back().Kind, "deactivate");
    // The user's own cancel is not reported as a failure of the archive.
    EXPECT_EQ(errors.Count(kErrWritingFile), 0) << errors.Describe();
    EXPECT_EQ(errors.Count(kErrOpeningFile), 0) << errors.Describe();
}

TEST_F(MakeCabTest, MissingLibraryReportsAndLeavesTheDestinationUntouched) {
    ASSERT_FALSE(LoadCabinetLibrary(work / "nowhere/libcabinet.so"));
    WriteFile(work / "src/a.txt", "a");
    const std::string archive = work / "out.cab";
    WriteFile(archive, "earlier archive");
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    EXPECT_EQ(cab.Compress(), 0);
    ASSERT_EQ(errors.Errors().size(), 1u) << errors.Describe();
    EXPECT_EQ(errors.Errors()[0].Code, kErrCabinetDllMissing);
    EXPECT_EQ(errors.Errors()[0].FileName, archive);
    EXPECT_EQ(ReadFile(archive), "earlier archive");
    EXPECT_TRUE(EventsOf("activate").empty());
    // Nothing at all when no earlier archive exists.
    const std::string fresh = work / "fresh.cab";
    cab.SetArchiveFile(fresh);
    EXPECT_EQ(cab.Compress(), 0);
    EXPECT_FALSE(Exists(fresh));
}

TEST_F(MakeCabTest, ExistingArchiveThatCannotBeWritten) {
    WriteFile(work / "src/a.txt", "a");
    const std::string archive = work / "out.cab";
    WriteFile(archive, "earlier archive");
    ASSERT_EQ(::chmod(archive.c_str(), 0444), 0);
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    EXPECT_EQ(cab.Compress(), 0);
    ASSERT_EQ(errors.Errors().size(), 1u) << errors.Describe();
    EXPECT_EQ(errors.Errors()[0].Code, kErrWritingFile);
    EXPECT_EQ(errors.Errors()[0].FileName, archive);
    EXPECT_EQ(ReadFile(archive), "earlier archive");
    EXPECT_TRUE(EventsOf("activate").empty());

    // A handler that keeps WriteToFile false silences the report.
    bool asked = false;
    cab.OnNonWriteableArchive = [&](TComponent*, const std::string& file, bool& writeToFile) {
        asked = file == archive;
        (void)writeToFile;
    };
    EXPECT_EQ(cab.Compress(), 0);
    EXPECT_TRUE(asked);
    EXPECT_EQ(errors.Errors().size(), 1u);

    // One that allows writing makes the file writable and replaces it.
    cab.OnNonWriteableArchive = [](TComponent*, const std::string&, bool& writeToFile) {
        writeToFile = true;
    };
    EXPECT_EQ(cab.Compress(), 1) << errors.Describe();
    EXPECT_TRUE(ReadCabDirectory(archive).Valid);
}

TEST_F(MakeCabTest, HiddenArchiveNameOrFolderCountsAsNotWritable) {
    WriteFile(work / "src/a.txt", "a");
    const std::string hidden = work / ".hidden.cab";
    WriteFile(hidden, "earlier");
    ConfigureForBackup(cab, hidden, {work / "src/*.*"}, false, "");
    EXPECT_EQ(cab.Compress(), 0);
    EXPECT_EQ(errors.Count(kErrWritingFile), 1) << errors.Describe();
    EXPECT_EQ(ReadFile(hidden), "earlier");

    const std::string folder = work / "folder.cab";
    std::filesystem::create_directories(folder);
    cab.SetArchiveFile(folder);
    cab.OnNonWriteableArchive = [](TComponent*, const std::string&, bool& writeToFile) {
        writeToFile = true;
    };
    EXPECT_EQ(cab.Compress(), 0);
    EXPECT_EQ(errors.Count(kErrWritingFile), 2) << errors.Describe();
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(MakeCabTest, DiskFullIsReportedOnceAndTheCountersDrop) {
    WriteFile(work / "src/a.txt", CompressibleText(50000));
    WriteFile(work / "src/b.txt", CompressibleText(60000));
    const std::string archive = work / "out.cab";
    cab.FileHandler = std::make_unique<FailingWritesHandler>(kErrorDiskFull, "");
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    EXPECT_EQ(cab.Compress(), 0);
    EXPECT_EQ(errors.Count(kErrDiskFull), 1) << errors.Describe();
    for (const ReportedError& e : errors.Errors()) {
        if (e.Code == kErrDiskFull) {
            EXPECT_EQ(e.FileName, archive);
        }
    }
    EXPECT_EQ(cab.FilesSkipped + cab.FilesAdded, 0);
    EXPECT_EQ(events.back().Kind, "deactivate");
}

TEST_F(MakeCabTest, FailedFlushIsReportedForTheArchive) {
    WriteFile(work / "src/a.txt", "contents");
    const std::string archive = work / "out.cab";
    cab.FileHandler = std::make_unique<FailingWritesHandler>(EIO, archive);
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    cab.Compress();
    ASSERT_EQ(errors.Count(kErrWritingFile), 1) << errors.Describe();
    EXPECT_EQ(errors.Errors().back().FileName, archive);
    EXPECT_FALSE(ReadCabDirectory(archive).Valid);
}

TEST_F(MakeCabTest, SourceThatCannotBeOpenedIsReportedAndNotCounted) {
    WriteFile(work / "src/a.txt", "readable");
    WriteFile(work / "src/b.txt", "vanishes");
    WriteFile(work / "src/c.txt", "readable too");
    const std::string vanishing = work / "src/b.txt";
    // The file disappears between the scan and its add (this also works for root, who could
    // read a file without permissions).
    cab.OnBegin = [&](TComponent*, const std::string& file, int, bool&) {
        if (file == vanishing) {
            std::filesystem::remove(file);
        }
    };
    const std::string archive = work / "out.cab";
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    EXPECT_EQ(cab.Compress(), 2);
    ASSERT_EQ(errors.Errors().size(), 1u) << errors.Describe();
    EXPECT_EQ(errors.Errors()[0].Code, kErrOpeningFile);
    EXPECT_EQ(errors.Errors()[0].FileName, vanishing);
    const CabDirectory dir = ReadCabDirectory(archive);
    ASSERT_TRUE(dir.Valid);
    EXPECT_EQ(dir.SortedNames(), (std::vector<std::string>{"src\\a.txt", "src\\c.txt"}));
}

TEST_F(MakeCabTest, OnBeginClearingExtractLeavesTheEntryOut) {
    WriteFile(work / "src/a.txt", "a");
    WriteFile(work / "src/b.txt", "b");
    leaveOut = work / "src/a.txt";
    const std::string archive = work / "out.cab";
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    EXPECT_EQ(cab.Compress(), 1) << errors.Describe();
    const std::vector<Event> ends = EventsOf("end");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].File, work / "src/b.txt");
    const CabDirectory dir = ReadCabDirectory(archive);
    ASSERT_EQ(dir.Files.size(), 1u);
    EXPECT_EQ(dir.Files[0].Name, "src\\b.txt");
}

TEST_F(MakeCabTest, DeflateRequestStillWritesMsZip) {
    WriteFile(work / "src/a.txt", CompressibleText(10000));
    const std::string archive = work / "out.cab";
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    cab.SetCompressMethod(cmStore);
    cab.SetCompressMethod(cmMsZip);
    cab.SetCompressMethod(cmDeflate);
    EXPECT_EQ(cab.Compress(), 1);
    const CabDirectory dir = ReadCabDirectory(archive);
    // The file's folder and the catalog's.
    ASSERT_EQ(dir.Folders.size(), 2u);
    EXPECT_EQ(dir.Folders[0].Compression, tcompTYPE_MSZIP);
    EXPECT_EQ(dir.Folders[1].Compression, tcompTYPE_MSZIP);
    EXPECT_EQ(cab.CurrentEntry.MethodName, "MsZIP");
}

TEST_F(MakeCabTest, StoredDateIsTheLocalLastWriteTime) {
    const std::string file = work / "src/a.txt";
    WriteFile(file, "a");
    struct tm local {};
    local.tm_year = 2021 - 1900;
    local.tm_mon = 6;
    local.tm_mday = 14;
    local.tm_hour = 13;
    local.tm_min = 45;
    local.tm_sec = 31;
    local.tm_isdst = -1;
    const time_t when = std::mktime(&local);
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const std::string archive = work / "out.cab";
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    ASSERT_EQ(cab.Compress(), 1) << errors.Describe();
    const CabDirectory dir = ReadCabDirectory(archive);
    ASSERT_EQ(dir.Files.size(), 1u);
    EXPECT_EQ(dir.Files[0].Date, ((2021 - 1980) << 9) | (7 << 5) | 14);
    EXPECT_EQ(dir.Files[0].Time, (13 << 11) | (45 << 5) | (31 / 2));
    // Read-only and archive attributes reach the cabinet.
    EXPECT_EQ(dir.Files[0].Attribs, _A_RDONLY | _A_ARCH);
}

TEST_F(MakeCabTest, OverlongArchivePathIsRefused) {
    WriteFile(work / "src/a.txt", "a");
    const std::string longName = work / (std::string(252, 'n') + ".cab");
    ConfigureForBackup(cab, longName, {work / "src/*.*"}, false, "");
    EXPECT_EQ(cab.Compress(), 0);
    EXPECT_EQ(errors.Count(kErrWritingFile), 1) << errors.Describe();
    EXPECT_TRUE(EventsOf("activate").empty());

    std::string deep = work.Path();
    while (deep.size() <= 256) {
        deep += "/" + std::string(60, 'd');
    }
    std::filesystem::create_directories(deep);
    cab.SetArchiveFile(deep + "/a.cab");
    EXPECT_EQ(cab.Compress(), 0);
    EXPECT_EQ(errors.Count(kErrWritingFile), 2) << errors.Describe();
    EXPECT_FALSE(Exists(deep + "/a.cab"));
}

TEST_F(MakeCabTest, TemporaryFilesInsideTheSourceAreNeverPacked) {
    WriteFile(work / "src/a.txt", CompressibleText(100000));
    WriteFile(work / "src/deeper/b.txt", "b");
    const std::string archive = work / "src/out.cab";
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, true, "");
    std::filesystem::create_directories(work / "src/tmp");
    cab.SetTempDir(work / "src/tmp");
    EXPECT_EQ(cab.Compress(), 2) << errors.Describe();
    const CabDirectory dir = ReadCabDirectory(archive);
    ASSERT_TRUE(dir.Valid);
    ASSERT_EQ(dir.Files.size(), 2u);
    for (const CabFileRecord& f : dir.Files) {
        EXPECT_EQ(f.Name.find("vrk"), std::string::npos) << f.Name;
    }
    // The library removes its temporary files when the context ends.
    EXPECT_TRUE(std::filesystem::is_empty(work / "src/tmp"));
}

TEST_F(MakeCabTest, ListingAnExistingCabinet) {
    WriteFile(work / "src/a.txt", "a");
    WriteFile(work / "src/b.txt", "b");
    const std::string archive = work / "out.cab";
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, false, "");
    ASSERT_EQ(cab.Compress(), 2);
    cab.OperationMode = omList;
    cab.Compress();
    EXPECT_EQ(errors.Count(kErrRequiredEvent), 1) << errors.Describe();
    std::vector<int> numbers;
    cab.OnRead = [&](TComponent*, int offset, int number) {
        EXPECT_GT(offset, 36);
        numbers.push_back(number);
    };
    cab.Compress();
    // Every file record: the two files and the backup's catalog.
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(ReadCabDirectory(archive).Valid);
}

TEST_F(MakeCabTest, ANameTooLongForACabinetIsReportedAndNotCounted) {
    // A stored name beyond the 255 bytes a cabinet's file record holds.
    const std::string tooLong =
        work / ("src/" + std::string(120, 'f') + "/" + std::string(200, 'n') + ".txt");
    WriteFile(tooLong, "long");
    WriteFile(work / "src/short.txt", "short");
    const std::string archive = work / "out.cab";
    ConfigureForBackup(cab, archive, {work / "src/*.*"}, true, "");
    EXPECT_EQ(cab.Compress(), 1);
    ASSERT_EQ(errors.Errors().size(), 1u) << errors.Describe();
    EXPECT_EQ(errors.Errors()[0].Code, kErrNameNotStorable);
    EXPECT_EQ(errors.Errors()[0].FileName, tooLong);
    const CabDirectory dir = ReadCabDirectory(archive);
    ASSERT_TRUE(dir.Valid);
    ASSERT_EQ(dir.Files.size(), 1u);
    EXPECT_EQ(dir.Files[0].Name, "src\\short.txt");
    for (const Event& e : EventsOf("end")) {
        EXPECT_EQ(e.A, e.File == tooLong ? 0 : 1) << e.File;
    }
}

namespace {

// Makes every write take a while, as a slow disk would, and counts the writes made after the
// cancel flag `cancel` was set.
class SlowWritesHandler : public TStreamCabinetFileHandler {
public:
    explicit SlowWritesHandler(const std::atomic<bool>& cancel) : cancel_(cancel) {}
    std::uint32_t CabWrite(std::int32_t Handle, const void* Buffer, std::uint32_t Count,
                           int& Err) override {
        ++Writes;
        WritesAfterCancel += cancel_ ? 1 : 0;
        usleep(3000);
        return TStreamCabinetFileHandler::CabWrite(Handle, Buffer, Count, Err);
    }
    std::atomic<int> Writes{0};
    int WritesAfterCancel = 0;

private:
    const std::atomic<bool>& cancel_;
};

} // namespace

TEST_F(MakeCabTest, ACancelFromAnotherThreadStopsTheWritingEvenWithoutProgress) {
    // Empty files are never read, so no progress event comes; only the writing of the cabinet's
    // own data takes time. The window cancels from its own thread.
    for (int i = 0; i < 300; ++i)
        WriteFile(work / ("src/empty" + std::to_string(i)), "");
    std::atomic<bool> cancel{false};
    cab.UseCancelFlag(&cancel);
    auto handler = std::make_unique<SlowWritesHandler>(cancel);
    SlowWritesHandler& slow = *handler;
    cab.FileHandler = std::move(handler);
    ConfigureForBackup(cab, work / "out.cab", {work / "src/*.*"}, false, "");
    std::thread window([&] {
        while (slow.Writes < 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        cancel = true;
    });
    cab.Compress();
    window.join();
    EXPECT_TRUE(EventsOf("progress").empty());
    EXPECT_LE(slow.WritesAfterCancel, 1) << "the writes went on after the cancel";
    EXPECT_FALSE(cab.BackupComplete());
    EXPECT_TRUE(cancel) << "the engine cleared the caller's flag";
}
