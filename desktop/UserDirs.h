// Reading the user's well-known folders from $XDG_CONFIG_HOME/user-dirs.dirs, the shell-style
// file that xdg-user-dirs maintains (lines such as XDG_DESKTOP_DIR="$HOME/Desktop").
#pragma once

#include <QString>

namespace ostrivane::desktop {

// The folder that `contents` assigns to `key` (e.g. "XDG_DESKTOP_DIR"), with a leading $HOME
// replaced by `home`. Empty when the key is missing, malformed, or needs a home that is unknown.
// Only the two forms the file allows are accepted: "$HOME/..." and an absolute path.
QString UserDirFromText(const QString& contents, const QString& key, const QString& home);

// The user's folder `key` from $XDG_CONFIG_HOME/user-dirs.dirs, else $HOME/`fallbackName`; empty
// when neither is known. The folder need not exist.
QString UserDir(const QString& key, const QString& fallbackName);

// XDG_DOCUMENTS_DIR, else ~/Documents; empty when unknown.
QString DocumentsFolder();

} // namespace ostrivane::desktop
