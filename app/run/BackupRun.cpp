#include "app/run/BackupRun.h"

#include "app/run/BackupPlacement.h"
#include "app/run/DestinationLock.h"
#include "app/run/RunHistory.h"
#include "app/run/StaleTemporaries.h"
#include "archive/naming/ArchiveNames.h"
#include "cabinet/component/TMakeCab.h"
#include "cabinet/format/ArchiveParts.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/RemoveOnTermination.h"
#include "platform/logind/SleepInhibitor.h"

#include <sys/stat.h>
#include <unistd.h>

#include <exception>

namespace ostrivane::run {

namespace {

// Every attribute but the volume label, in the order the run sets them.
constexpr TvrkFileAttr kRunAttributes[] = {fsZeroAttr, fsArchive,  fsDirectory,
                                           fsHidden,   fsReadOnly, fsSysFile};

bool IsThereButNotAFile(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// Collects the engine's reports while the run lasts and hands each on to the handler the
// component had.
class ReportCollection {
public:
    ReportCollection(TMakeCab& cab, BackupReport& report) : cab_(cab), previous_(cab.OnError) {
        cab.OnError = [this, &report](TComponent* sender, const std::string& file,
                                      const std::string& extended, const std::string& volume,
                                      int code) {
            report.Add(code, file, extended);
            if (previous_)
                previous_(sender, file, extended, volume, code);
        };
    }
    ~ReportCollection() { cab_.OnError = previous_; }
    ReportCollection(const ReportCollection&) = delete;
    ReportCollection& operator=(const ReportCollection&) = delete;

private:
    TMakeCab& cab_;
    decltype(TMakeCab::OnError) previous_;
};

// The names under which the component writes this run's cabinets, in the archive's folder. A
// termination signal removes every file of the folder under such a name, however many there are.
// When the run ends, whatever is still under those names (a backup that failed or was not placed)
// is removed, unless a placement left unfinished needs them for the next run.
class TemporaryCabinets {
public:
    TemporaryCabinets(TMakeCab& cab, const std::string& folder)
        : cab_(cab), folder_(folder), token_(names::NewNameToken()),
          prefix_(names::RunTemporaryPrefix(token_)) {
        fs::RemoveOnTerminationByPrefix(folder_, prefix_);
        cab.CabinetPath = [folder, token = token_](int part) {
            return names::RunTemporaryName(folder, token, part);
        };
    }
    ~TemporaryCabinets() {
        cab_.CabinetPath = nullptr;
        for (const std::string& cabinet : cab_.WrittenCabinets()) {
            if (!kept_)
                fs::Unlink(cabinet);
            fs::KeepOnTermination(cabinet);
        }
        fs::KeepPrefixOnTermination(folder_, prefix_);
    }
    TemporaryCabinets(const TemporaryCabinets&) = delete;
    TemporaryCabinets& operator=(const TemporaryCabinets&) = delete;

    // The cabinets stay where they are, whatever ends the process.
    void Keep() {
        kept_ = true;
        fs::KeepPrefixOnTermination(folder_, prefix_);
        for (const std::string& cabinet : cab_.WrittenCabinets())
            fs::KeepOnTermination(cabinet);
    }

private:
    TMakeCab& cab_;
    std::string folder_;
    std::string token_;
    std::string prefix_;
    bool kept_ = false;
};

// Steps 1 to 6 of the run (BackupRun.h); true when the new backup is in place.
bool BuildAndPlace(TMakeCab& cab, const BackupRequest& request, RunOutcome& outcome) {
    const std::string archive = cab.ArchiveFile();
    const std::string folder = names::FolderOf(archive);
    BackupReport& report = outcome.Report;
    const DestinationLock lock(archive);
    switch (lock.Outcome()) {
    case DestinationLock::State::Busy:
        report.AddText(LockBusyText());
        return false;
    case DestinationLock::State::Failed:
        report.AddText(LockFailedText(lock.Folder(), lock.Error()));
        return false;
    case DestinationLock::State::FolderMissing:
        // No copy can write there either: the build meets the engine's own check of the
        // destination, which says what is wrong with it.
    case DestinationLock::State::Held:
        break;
    }
    // A placement that a run left unfinished (killed, or a call that failed) is finished, or
    // taken back, before anything else.
    if (lock.Held()) {
        const PlacementOutcome earlier = FinishInterruptedPlacement(folder);
        if (earlier.Kind != PlacementOutcome::Result::Done) {
            report.AddText(InterruptedPlacementText(folder, earlier.File, earlier.Error));
            return false;
        }
    }
    if (IsThereButNotAFile(archive)) {
        report.AddText(NotAFileText(archive));
        return false;
    }
    RemoveStaleTemporaries(folder, cab.TempDir());

    TemporaryCabinets temporary(cab, folder);
    cab.Compress();
    if (!cab.BackupComplete())
        return false;
    {
        // No signal cuts the placement short, nor takes away what an unfinished one needs.
        const fs::TerminationHeld untilPlaced;
        const PlacementOutcome placement =
            PlaceBackup(cab.WrittenCabinets(), archive, request, report);
        if (placement.RecordStays())
            temporary.Keep();
        if (!placement.InPlace())
            return false;
    }

    RunRecord& record = outcome.Record;
    record.Files = cab.FilesAdded;
    record.Bytes = cab.PackedBytes();
    for (const std::string& part : ArchiveSetParts(archive)) {
        struct stat info {};
        if (::stat(part.c_str(), &info) == 0)
            record.ArchiveBytes += static_cast<std::uint64_t>(info.st_size);
        ++record.Parts;
    }
    return true;
}

} // namespace

void ConfigureForBackup(TMakeCab& cab, const std::string& archive,
                        const std::vector<std::string>& fileSpec, bool recurse,
                        const std::string& tempDir, const std::vector<std::string>& exclusions) {
    cab.SetArchiveFile(archive);
    cab.SetDateAttribute(daFileDate);
    cab.SetStoredDirNames(sdRelativeStoreStart);
    cab.SetRecurseDirs(recurse);
    // Hidden folders (a leading ".") hold settings, keys and mail: they are backed up too.
    cab.SetIncludeHiddenDirs(true);
    cab.SetTempDir(tempDir);
    cab.ExcludeSpec().clear();
    cab.SetExclusions(exclusions);
    cab.SetFileSpec(fileSpec);
    for (TvrkFileAttr attr : kRunAttributes)
        cab.SetAttribute(attr, true);
    for (TvrkFileAttr attr : kRunAttributes)
        cab.SetAttributeEx(attr, false);
    cab.OnGetNextCabinet = [&cab](TComponent*, CCAB& ccab, std::string& newName, int, bool& abort) {
        cab.AnswerWithNextPart(ccab, newName, abort);
    };
}

RunOutcome RunBackup(TMakeCab& cab, const BackupRequest& request) {
    // No sleep in the middle of a backup, however it ends.
    const logind::SleepInhibitor awake;
    RunOutcome outcome;
    RunRecord& record = outcome.Record;
    record.Start = std::chrono::system_clock::now();
    record.Origin = request.Origin;
    record.Archive = request.Archive;
    bool placed = false;
    try {
        const ReportCollection collecting(cab, outcome.Report);
        ConfigureForBackup(cab, request.Archive, request.FileSpec, request.Recurse, request.TempDir,
                           request.Exclusions);
        cab.PartSize = request.PartSize;
        cab.VerifyArchive = request.Verify;
        record.Archive = cab.ArchiveFile();
        record.Job = request.Job.empty() ? JobOfArchive(record.Archive) : request.Job;
        placed = BuildAndPlace(cab, request, outcome);
    } catch (const std::exception& error) {
        outcome.Report.AddText(error.what());
    }
    if (placed)
        record.Result = outcome.Report.Empty() ? RunResult::Ok : RunResult::Failed;
    else
        record.Result = cab.GetCancel() ? RunResult::Cancelled : RunResult::Failed;
    record.Verified = record.Result == RunResult::Ok && request.Verify;
    if (record.Result == RunResult::Cancelled)
        record.Message = CancelledText();
    else if (!outcome.Report.Empty())
        record.Message = outcome.Report.Message(record.Archive, placed);
    record.End = std::chrono::system_clock::now();
    if (!request.HistoryFolder.empty())
        outcome.HistoryWritten = RunHistory(request.HistoryFolder).Append(record);
    return outcome;
}

} // namespace ostrivane::run
