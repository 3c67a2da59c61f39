// What the user is told about the settings file itself, by the window and by the command-line
// front end alike.
#pragma once

#include <string>

namespace ostrivane::settings {

// The settings file at `path` exists but cannot be read (no permission, not a file): its
// settings are not used, and it is never written over.
inline std::string UnreadableSettingsText(const std::string& path) {
    return "Soubor nastavení " + path +
           " nelze přečíst, použije se výchozí nastavení a změny se neuloží !";
}

} // namespace ostrivane::settings
