#include "app/run/BackupPlacement.h"

#include "app/run/ArchiveSeries.h"
#include "app/run/BackupRun.h"
#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/ArchiveParts.h"
#include "platform/fs/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::run {

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool Failed(const std::string& name, BackupReport& report) {
    report.AddText(PlacementFailedText(name, errno));
    return false;
}

} // namespace

bool PlaceBackup(const std::vector<std::string>& cabinets, const std::string& archive,
                 const BackupRequest& request, BackupReport& report) {
    const int parts = static_cast<int>(cabinets.size());
    for (int part = 2; part <= parts; ++part) {
        const std::string name = names::PartName(archive, part);
        if (Exists(name) && !IsArchivePart(name)) {
            report.AddText(PartNameTakenText(name));
            return false;
        }
    }
    // Keeping no copy once the first copy is there, the archive simply gives way to the new one.
    // Archives named after the date and time are kept to their number by pruning, not by a series
    // of copies: a second backup in the same minute takes the place of the first.
    const bool replace = request.ReplaceExisting ||
                         names::IsDateTimeArchive(names::NameOf(archive)) ||
                         (request.Depth < 1 && Exists(names::SeriesCopy(archive, 1)));
    if (!replace) {
        if (const auto failure = RotateArchiveSeries(archive, request.Depth)) {
            report.AddText(RotationFailedText(failure->File, failure->Error, failure->NotAFile));
            return false;
        }
    }
    for (int part = 2; part <= parts; ++part) {
        const std::string name = names::PartName(archive, part);
        // A cabinet of this program still under the name: a part of a set that a killed run
        // left, or of the set being replaced.
        if (IsArchivePart(name) && ::unlink(name.c_str()) != 0 && errno != ENOENT)
            return Failed(name, report);
        if (!fs::RenameNoReplace(cabinets[static_cast<std::size_t>(part - 1)], name))
            return Failed(name, report);
    }
    const bool replacing = Exists(archive);
    if (replacing ? std::rename(cabinets.front().c_str(), archive.c_str()) != 0
                  : !fs::RenameNoReplace(cabinets.front(), archive))
        return Failed(archive, report);
    RemoveArchiveParts(archive, parts + 1);
    fs::SyncFolder(names::FolderOf(archive), archive);
    return true;
}

} // namespace ostrivane::run
