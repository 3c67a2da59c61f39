#include "settings/SettingsLocation.h"

#include "platform/fs/Paths.h"
#include "platform/userdirs/UserDirs.h"

#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::settings {

namespace {

bool MayWrite(const std::string& path, int mode) {
    return ::access(path.c_str(), mode) == 0;
}

// The file is replaced through a new file beside it, so its folder must take new files; an
// existing file must itself be writable (a read-only one is never replaced).
bool CanKeepFileAt(const std::string& path) {
    if (!MayWrite(fs::FolderOf(path), W_OK | X_OK))
        return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return true;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && MayWrite(path, W_OK);
}

} // namespace

std::string UserSettingsPath() {
    const std::string config = userdirs::ConfigFolder();
    if (config.empty())
        return {};
    return config + "/ostrivane/" + std::string(kFileName);
}

std::string ChooseSettingsPath(const std::string& executableFolder) {
    const std::string beside = fs::PlainFolder(executableFolder) + std::string(kFileName);
    if (CanKeepFileAt(beside))
        return beside;
    const std::string user = UserSettingsPath();
    // Without a home the file stays beside the executable; a close then tells that it cannot be
    // written there.
    return user.empty() ? beside : user;
}

std::string DefaultDestination() {
    // No folder of that name exists here, so the input check asks for a real one.
    const std::string documents = userdirs::DocumentsFolder();
    return documents.empty() ? "C:\\Dokumenty" : documents;
}

} // namespace ostrivane::settings
