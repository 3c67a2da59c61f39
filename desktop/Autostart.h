// Start with the desktop session: the XDG autostart entry that launches the program hidden in
// the notification area ("/systray") when the user logs on.
#pragma once

#include <QString>

namespace ostrivane::desktop {

// The argument the entry starts the program with: hide in the notification area at once.
inline const QString kTrayArgument = QStringLiteral("/systray");

enum class AutostartResult {
    Written,           // the entry now says what was asked
    FolderNotWritable, // the autostart folder cannot be created or written; nothing was written
    WriteFailed,       // the entry could not be written completely; the old one is untouched
};

// Enabled: writes the entry that starts `executablePath` with " /systray". Disabled: keeps the
// file but marks it Hidden=true, so that the session does not start the program.
AutostartResult WriteAutostartEntry(bool enabled, const QString& executablePath);

// $XDG_CONFIG_HOME/autostart/quenza Ostrivane.desktop, or ~/.config/... when that is not set.
QString AutostartEntryPath();

} // namespace ostrivane::desktop
