// The program's launcher on the user's desktop: a desktop entry "quenza Ostrivane.desktop" in the
// XDG desktop folder, written anew on every request.
#pragma once

#include <QString>

namespace ostrivane::desktop {

enum class ShortcutResult {
    Written,         // the launcher was written (an older one replaced)
    NoDesktopFolder, // the desktop folder is unknown or cannot be created; nothing was written
    WriteFailed,     // the launcher could not be written there (no right, a full disk); a launcher
                     // written before stays as it was
};

ShortcutResult CreateDesktopShortcut(const QString& executablePath);

// XDG_DESKTOP_DIR of $XDG_CONFIG_HOME/user-dirs.dirs, else ~/Desktop; empty when unknown.
QString DesktopFolder();

} // namespace ostrivane::desktop
