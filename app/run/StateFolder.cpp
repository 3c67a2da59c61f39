#include "app/run/StateFolder.h"

#include "platform/fs/FileSystem.h"

#include <cstdlib>
#include <optional>

namespace ostrivane::run {

namespace {

// The variable's value when it is an absolute path, without trailing "/" (so "/" is "").
std::optional<std::string> AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return std::nullopt;
    std::string path = value;
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

std::string StateFolder() {
    if (const auto state = AbsoluteVariable("XDG_STATE_HOME"))
        return *state + "/ostrivane";
    if (const auto home = AbsoluteVariable("HOME"))
        return *home + "/.local/state/ostrivane";
    return {};
}

bool MakeStateFolder(const std::string& folder) {
    return fs::CreateDirectories(folder, 0700);
}

} // namespace ostrivane::run
