// The user's folders as the freedesktop.org conventions name them: the home, the configuration
// folder, and the well-known folders of $XDG_CONFIG_HOME/user-dirs.dirs, the shell-style file
// that xdg-user-dirs maintains (lines such as XDG_DESKTOP_DIR="$HOME/Desktop"). Paths are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace ostrivane::userdirs {

// The user's home folder from $HOME; empty when it is not set or not absolute.
std::string HomeFolder();

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config; empty when neither is known.
std::string ConfigFolder();

// The folder that `contents` assigns to `key` (e.g. "XDG_DESKTOP_DIR"), with a leading $HOME
// replaced by `home`. Empty when the key is missing, malformed, or needs a home that is unknown.
// Only the two forms the file allows are accepted: "$HOME/..." and an absolute path. The file is
// sourced by shells, so the last assignment of the key counts.
std::string UserDirFromText(std::string_view contents, std::string_view key,
                            const std::string& home);

// The user's folder `key` from $XDG_CONFIG_HOME/user-dirs.dirs, else $HOME/`fallbackName`; empty
// when neither is known. The folder need not exist.
std::string UserDir(std::string_view key, std::string_view fallbackName);

// XDG_DOCUMENTS_DIR, else ~/Documents; empty when unknown.
std::string DocumentsFolder();

} // namespace ostrivane::userdirs
