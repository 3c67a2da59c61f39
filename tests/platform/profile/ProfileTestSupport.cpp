#include "ProfileTestSupport.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <pwd.h>
#include <set>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ostrivane::profile::testing {

namespace {

// Runs `prepare` and then `step` in a child process; the step's result as its exit status.
bool RunInChild(const std::function<bool()>& prepare, const std::function<bool()>& step) {
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        if (!prepare())
            ::_exit(3);
        ::_exit(step() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        throw std::runtime_error("the child process did not end normally");
    if (WEXITSTATUS(status) == 3)
        throw std::runtime_error("the child process could not be prepared");
    return WEXITSTATUS(status) == 0;
}

} // namespace

ScratchFolder::ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/profile-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    // Folders made read-only by a test must be writable again to be emptied.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::Listing() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.insert(entry.path().filename().string());
    std::string listing;
    for (const auto& name : names)
        listing += (listing.empty() ? "" : " ") + name;
    return listing;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<bool> RunUnprivileged(const std::string& ownedFolder,
                                    const std::function<bool()>& step) {
    if (::geteuid() != 0)
        return step();
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr)
        return std::nullopt;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(ownedFolder))
        if (::lchown(entry.path().c_str(), uid, gid) != 0)
            throw std::runtime_error("cannot hand over " + entry.path().string());
    if (::chown(ownedFolder.c_str(), uid, gid) != 0)
        throw std::runtime_error("cannot hand over " + ownedFolder);
    return RunInChild(
        [&] { return ::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0; },
        step);
}

bool RunWithFileSizeLimit(long maxBytes, const std::function<bool()>& step) {
    return RunInChild(
        [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(maxBytes), static_cast<rlim_t>(maxBytes)};
            return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        },
        step);
}

} // namespace ostrivane::profile::testing
