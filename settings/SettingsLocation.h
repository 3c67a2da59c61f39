// Where the settings file lives. Beside the executable where the program may keep it there (the
// build folder, a personal or portable installation): there when that file exists and can be
// replaced, or when it does not exist and the executable's folder takes new files. Otherwise (an
// installation in a folder the user cannot write) in the user's configuration folder,
// $XDG_CONFIG_HOME/ostrivane/Ostrivane.ini, or ~/.config/ostrivane/Ostrivane.ini when that
// variable is unset or not absolute. The choice is made once, at start. The program and the
// command-line front end live in one folder, so both find the same file. Paths are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace ostrivane::settings {

inline constexpr std::string_view kFileName = "Ostrivane.ini";

// The settings file for a program in `executableFolder` (with or without a trailing "/").
std::string ChooseSettingsPath(const std::string& executableFolder);

// The settings file in the user's configuration folder; empty when neither $XDG_CONFIG_HOME nor
// $HOME is an absolute path.
std::string UserSettingsPath();

// The destination before the user chose one: the user's documents folder, or, where no home is
// known, the text the program has always started with.
std::string DefaultDestination();

} // namespace ostrivane::settings
