#include "app/run/BackupIntoSeries.h"

#include "app/run/ArchiveSeries.h"
#include "app/run/DestinationLock.h"

#include <cstring>

namespace ostrivane {

std::string BackUpIntoSeries(const std::string& archivePath, std::int32_t depth,
                             const std::function<void()>& build) {
    const DestinationLock lock(archivePath);
    switch (lock.Outcome()) {
    case DestinationLock::State::Busy:
        return "Do tohoto adresáře právě zálohuje jiná spuštěná kopie programu; starší archívy "
               "zůstaly beze změny.";
    case DestinationLock::State::Failed:
        return "Adresář " + lock.Folder() + " nelze uzamknout pro zálohu (" +
               std::strerror(lock.Error()) + "); starší archívy zůstaly beze změny.";
    case DestinationLock::State::FolderMissing:
        // No copy can write there either: the build meets the engine's own checks, which say
        // what is wrong with the destination.
    case DestinationLock::State::Held:
        break;
    }
    if (const auto failure = RotateArchiveSeries(archivePath, depth)) {
        return "Starší archív " + failure->File + " nelze posunout v řadě záloh (" +
               std::strerror(failure->Error) +
               "); archívy zůstaly, jak byly, a nová záloha nebyla zapsána.";
    }
    build();
    return {};
}

} // namespace ostrivane
