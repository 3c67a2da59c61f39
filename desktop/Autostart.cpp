#include "desktop/Autostart.h"

namespace ostrivane::desktop {

AutostartResult WriteAutostartEntry(bool, const QString&) {
    return AutostartResult::WriteFailed;
}

QString AutostartEntryPath() {
    return {};
}

} // namespace ostrivane::desktop
