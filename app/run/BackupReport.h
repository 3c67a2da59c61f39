// What went wrong during one backup run, collected from the archive engine's error reports and
// from the run's own steps, so that the user is told once the run is over. A cancel by the user
// is no error and is not kept. Everything is told in Czech: the engine's codes by the texts of
// EngineErrorText (the number in brackets after them), the system's errors by SystemErrorText,
// the run's own failures by the texts below.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ostrivane {

struct EngineReport {
    int Code = 0;
    std::string FileName;
    std::string ExtendedMsg;
};

class BackupReport {
public:
    // At most this many reports are listed in the message; the rest are counted.
    static constexpr std::size_t kListedReports = 15;

    void Clear() { reports_.clear(); }
    // Keeps one report of the engine (its OnError parameters); 25443 "User canceled" is dropped.
    void Add(int code, const std::string& fileName, const std::string& extendedMsg);
    // Keeps a failure found by the run itself, outside the engine, as a ready text.
    void AddText(const std::string& text);

    bool Empty() const { return reports_.empty(); }
    const std::vector<EngineReport>& Reports() const { return reports_; }

    // The Czech message that tells the user the backup of `archivePath` did not complete (or,
    // `placed`, that it is in place but lacks what the engine's reports name, or is in place
    // while the run's own texts tell what else went wrong), one line per report: the code's
    // Czech text and number, the engine's detail in brackets, then the file it concerns
    // ("Disk je plný (25160): /dest/data.cab").
    std::string Message(const std::string& archivePath, bool placed = false) const;

private:
    std::vector<EngineReport> reports_;
};

// The Czech text of an engine error code (archive/model/ErrorCodes.h); "Chyba N" for a code it
// does not know.
std::string EngineErrorText(int code);
// The Czech text of a system error number (errno); the C library's own text, with the number,
// for one it does not know.
std::string SystemErrorText(int error);

// The message of a run the user cancelled.
std::string CancelledText();
// Another running copy holds the lock of the destination folder.
std::string LockBusyText();
// The destination folder could not be locked (errno `error`).
std::string LockFailedText(const std::string& folder, int error);
// A symbolic link, a folder or a special file lies where the archive `archive` is to go.
std::string NotAFileText(const std::string& archive);
// A step of the rotation of the earlier archives failed on `file` (errno `error`), or `file` is
// a link or a special file (`notAFile`).
std::string RotationFailedText(const std::string& file, int error, bool notAFile);
// The name of part `part` of the new backup belongs to a file that is no cabinet of this program.
std::string PartNameTakenText(const std::string& part);
// The record of the placement could not be written in `folder` (errno `error`); nothing moved.
std::string PlacementRecordFailedText(const std::string& folder, int error);
// A rename of the placement failed: `file` could not take the name `target` (errno `error`);
// `newBackup`: a cabinet of the new backup, `going`: one of a backup that goes. `undone`: every
// rename made was taken back; otherwise some could not be, and the next run finishes.
std::string PlacementMoveFailedText(const std::string& file, const std::string& target, int error,
                                    bool newBackup, bool going, bool undone);
// The new backup is in place; the cabinet `file` of a backup that goes could not be deleted.
std::string OldBackupNotDeletedText(const std::string& file, int error);
// The new backup is in place; the placement in `folder` could not be closed (synced, marked or
// its record removed).
std::string PlacementNotClosedText(const std::string& folder, int error);
// A placement that an earlier run left unfinished in `folder` could not be finished or taken
// back (`file`, errno `error`); nothing else was done.
std::string InterruptedPlacementText(const std::string& folder, const std::string& file, int error);

} // namespace ostrivane
