#include "app/restore/ViewCopy.h"

#include "archive/naming/ArchiveNames.h"
#include "cabinet/read/CabinetRestore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace ostrivane::restore {

std::optional<ViewCopy> CopyForViewing(const Backup& backup, std::uint32_t file,
                                       const std::string& tempRoot, const RestoreControl& control,
                                       RestoreSummary& summary) {
    const BackupFile& chosen = backup.Files.at(file);
    const std::string storedName(backup.StoredName(chosen));
    std::string pattern = tempRoot + "/ostrivane-otevreno-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        summary.Problems.push_back({tempRoot, RestoreFailure::FolderFailed, errno, tempRoot,
                                    "cannot make a private folder"});
        return std::nullopt;
    }
    ViewCopy copy;
    copy.Folder = pattern;
    std::string name = storedName.substr(storedName.find_last_of('\\') + 1);
    copy.File = copy.Folder + "/" + name;

    RestoreOptions options;
    options.Decoder = CabinetDecoder::Own;
    options.Select = [&storedName](const CabinetEntry& entry) {
        return entry.StoredName == storedName;
    };
    options.Place = [&](const CabinetEntry&) -> std::optional<RestorePlace> {
        return RestorePlace{copy.Folder, name};
    };
    if (control.Cancel != nullptr)
        options.KeepGoing = [cancel = control.Cancel] { return !cancel->load(); };
    options.Written = [&](std::uint64_t bytes) {
        if (control.Progress)
            control.Progress(bytes);
    };
    const RestoreOutcome outcome = RestoreCabinetSet(
        {backup.Parts.at(chosen.Part)}, copy.Folder, options,
        [&summary](const RestoreProblem& problem) { summary.Problems.push_back(problem); });
    summary.Restored += outcome.Restored;
    summary.Cancelled = summary.Cancelled || outcome.Stopped;
    if (outcome.Restored != 1) {
        RemoveViewCopy(copy);
        return std::nullopt;
    }
    ::chmod(copy.File.c_str(), 0400);
    return copy;
}

void RemoveViewCopy(const ViewCopy& copy) {
    ::unlink(copy.File.c_str());
    ::rmdir(copy.Folder.c_str());
}

} // namespace ostrivane::restore
