#include "platform/userdirs/UserDirs.h"

#include "platform/fs/Paths.h"
#include "platform/text/TextParts.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ostrivane::userdirs {

namespace {

constexpr std::string_view kHomeVariable = "$HOME";

// An absolute path without "//", "/./", ".." and a trailing "/" (the root stays "/").
std::string CleanPath(const std::string& path) {
    std::string plain = fs::PlainFolder(path);
    if (plain.size() > 1)
        plain.pop_back();
    return plain;
}

std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return CleanPath(value);
}

std::string_view TrimSpace(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n\v\f";
    const auto begin = text.find_first_not_of(kSpace);
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(kSpace) - begin + 1);
}

// The value after '=': double quotes removed, a backslash takes the next character literally.
std::string UnquoteShellValue(std::string_view raw) {
    std::string value;
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && i + 1 < raw.size()) {
            value += raw[++i];
        } else if (!quoted && (c == ' ' || c == '\t' || c == '#')) {
            break;
        } else {
            value += c;
        }
    }
    return value;
}

std::string ExpandHome(const std::string& value, const std::string& home) {
    if (value == kHomeVariable || value.starts_with(std::string(kHomeVariable) + "/")) {
        if (home.empty())
            return {};
        return CleanPath(home + value.substr(kHomeVariable.size()));
    }
    if (value.starts_with('/'))
        return CleanPath(value);
    return {};
}

} // namespace

std::string HomeFolder() {
    return AbsoluteVariable("HOME");
}

std::string ConfigFolder() {
    const std::string config = AbsoluteVariable("XDG_CONFIG_HOME");
    if (!config.empty())
        return config;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

std::string UserDirFromText(std::string_view contents, std::string_view key,
                            const std::string& home) {
    std::string found;
    for (const std::string_view part : text::NonEmptyParts(contents, '\n')) {
        const std::string_view line = TrimSpace(part);
        if (line.empty() || line.front() == '#')
            continue;
        const auto equals = line.find('=');
        if (equals == 0 || equals == std::string_view::npos ||
            TrimSpace(line.substr(0, equals)) != key)
            continue;
        found = ExpandHome(UnquoteShellValue(line.substr(equals + 1)), home);
    }
    return found;
}

std::string UserDir(std::string_view key, std::string_view fallbackName) {
    const std::string home = HomeFolder();
    const std::string config = ConfigFolder();
    if (!config.empty()) {
        std::ifstream dirs(config + "/user-dirs.dirs", std::ios::binary);
        if (dirs) {
            std::ostringstream contents;
            contents << dirs.rdbuf();
            const std::string folder = UserDirFromText(contents.str(), key, home);
            if (!folder.empty())
                return folder;
        }
    }
    if (home.empty())
        return {};
    return home + "/" + std::string(fallbackName);
}

std::string DocumentsFolder() {
    return UserDir("XDG_DOCUMENTS_DIR", "Documents");
}

} // namespace ostrivane::userdirs
