// The restore of files chosen from backups: into a folder the user picks, each under its stored
// path, or each back to its original place. A file that exists is never overwritten: the
// restored one is written beside it (BesideName.h), unless it holds exactly what the backup
// holds, when it is left as it is. What happened is summed up for one message.
#pragma once

#include "app/restore/BackupCatalog.h"
#include "app/restore/OriginalPlaces.h"
#include "cabinet/read/CabinetRestore.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ostrivane::restore {

// What one restore (of files of one backup or of several) did.
struct RestoreSummary {
    int Restored = 0;  // beside ones included
    int Beside = 0;    // written beside a file of the same name
    int Identical = 0; // not written: the file there is the backup's, byte for byte ("shodné")
    std::vector<RestoreProblem> Problems;
    bool Cancelled = false;
    std::uint64_t BytesWritten = 0;
};

// How a running restore is steered and watched.
struct RestoreControl {
    // Set by another thread to stop the restore; the file being written is removed.
    const std::atomic<bool>* Cancel = nullptr;
    // Hears the bytes written (or found identical) by the whole restore so far.
    std::function<void(std::uint64_t bytes)> Progress;
    // Hears the name of each file as its restore begins ("/" between the folders).
    std::function<void(const std::string& name)> File;
};

// Files chosen from a list of backups: the backup's index in the list, and its files (indices in
// its Files; every file when empty).
struct BackupChoice {
    std::uint32_t Backup = 0;
    std::vector<std::uint32_t> Files;
};

// Where each chosen backup's files go back to, one OriginalPlaces per entry of `choice` (backups
// of `backups`): by the backup's record of its sources, or, for a backup made without it, by
// today's `sourceFolders` for the names of its chosen files. `askFolder` is asked for the folder
// of each group that neither tells (its stored prefix, "" for names in no folder), once for all
// the backups that share it; nothing when it gives no folder (the user cancelled).
std::optional<std::vector<OriginalPlaces>> OriginalPlacesOf(
    const std::vector<Backup>& backups, const std::vector<BackupChoice>& choice,
    const std::vector<std::string>& sourceFolders,
    const std::function<std::optional<std::string>(const std::string& prefix)>& askFolder);

// A restore to the original places of more files than this is asked about first.
inline constexpr std::size_t kFilesRestoredWithoutAsking = 10;

// The number of files `choice` takes from `backups`.
std::size_t ChosenFileCount(const std::vector<Backup>& backups,
                            const std::vector<BackupChoice>& choice);

// Whether a restore of `choice` to the original places asks the user first: it takes the whole
// of a backup, or more than a handful of files (it may put many files back over the live tree).
bool AskBeforeRestoring(const std::vector<BackupChoice>& choice);

// The size of the files `files` (every file when empty) of `backup`.
std::uint64_t ChosenBytes(const Backup& backup, const std::vector<std::uint32_t>& files);

// Restores the files `files` (indices in backup.Files; every file when empty) of `backup`: below
// `folder`, each under its stored name, or, when `places` is given, each to its original place.
// A file there that differs keeps its place and gets the restored one beside it; one identical
// to the backup's is left alone. Adds what happened to `summary`.
void RestoreFiles(const Backup& backup, const std::vector<std::uint32_t>& files,
                  const std::string& folder, const OriginalPlaces* places,
                  const RestoreControl& control, RestoreSummary& summary);

} // namespace ostrivane::restore
