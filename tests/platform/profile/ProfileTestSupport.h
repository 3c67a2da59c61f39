// Helpers of the settings-file tests: a scratch folder, whole-file reads and writes, and running
// a step as an unprivileged user (permissions are not enforced for root).
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace ostrivane::profile::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries in the folder, sorted.
    std::string Listing() const;

private:
    std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// Runs `step` as a user for whom file permissions hold: directly when this process is not root,
// else in a child process switched to "nobody" (whom `ownedFolder` is handed to first). The
// step's result, or nothing when no such user exists.
std::optional<bool> RunUnprivileged(const std::string& ownedFolder,
                                    const std::function<bool()>& step);

// Runs `step` in a child process whose file size limit is `maxBytes` (a full disk as the
// writer sees it: writes beyond the limit fail). The step's result.
bool RunWithFileSizeLimit(long maxBytes, const std::function<bool()>& step);

} // namespace ostrivane::profile::testing
