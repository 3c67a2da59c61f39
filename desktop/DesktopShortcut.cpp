#include "desktop/DesktopShortcut.h"

namespace ostrivane::desktop {

ShortcutResult CreateDesktopShortcut(const QString&) {
    return ShortcutResult::WriteFailed;
}

QString DesktopFolder() {
    return {};
}

} // namespace ostrivane::desktop
