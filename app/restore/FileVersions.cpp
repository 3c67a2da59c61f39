#include "app/restore/FileVersions.h"

namespace ostrivane::restore {

std::vector<FileRef> FileVersions(const std::vector<Backup>& backups, std::string_view storedName) {
    std::vector<FileRef> versions;
    for (std::uint32_t b = 0; b < backups.size(); ++b) {
        const Backup& backup = backups[b];
        for (std::uint32_t f = 0; f < backup.Files.size(); ++f) {
            if (backup.StoredName(backup.Files[f]) == storedName) {
                versions.push_back({b, f});
                break; // a stored name is never twice in one backup
            }
        }
    }
    return versions;
}

} // namespace ostrivane::restore
