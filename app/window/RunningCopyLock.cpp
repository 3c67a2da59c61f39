#include "app/window/RunningCopyLock.h"

#include "app/run/StateFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr const char* kLockFileName = "running.lock";

} // namespace

RunningCopyLock::RunningCopyLock(const std::string& stateFolder) {
    if (stateFolder.empty() || !ostrivane::run::MakeStateFolder(stateFolder))
        return;
    const std::string path = stateFolder + "/" + kLockFileName;
    fd_.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd_.Valid())
        return;
    int locked = 0;
    do
        locked = ::flock(fd_.Get(), LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        state_ = errno == EWOULDBLOCK ? State::Taken : State::Unavailable;
        fd_.Reset();
        return;
    }
    // Who holds it, for a person looking.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd_.Get(), 0) == 0 && ::pwrite(fd_.Get(), pid.data(), pid.size(), 0) < 0) {
        // The number is for information only; the lock is what counts.
    }
    state_ = State::Held;
}
