#include "Child.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace testsupport {

namespace {

// Appends what can be read from `fd` now; false at its end.
bool Drain(int fd, std::string& text) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        else
            return n < 0; // nothing more for now, or the end
    }
}

} // namespace

int RunGuarded(const std::function<int()>& step, int seconds, std::string* output) {
    int pipeFds[2] = {-1, -1};
    if (output != nullptr && ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -2;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return -2;
    if (pid == 0) {
        if (output != nullptr) {
            ::dup2(pipeFds[1], 1);
            ::close(pipeFds[0]);
        }
        ::alarm(static_cast<unsigned>(seconds) + 5);
        int result = 0;
        try {
            result = step();
        } catch (...) {
            result = 254;
        }
        std::fflush(nullptr);
        ::_exit(result & 0xFF);
    }
    std::string text;
    if (output != nullptr) {
        ::close(pipeFds[1]);
        ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    }
    bool open = output != nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    for (;;) {
        if (open) {
            pollfd p{pipeFds[0], POLLIN, 0};
            ::poll(&p, 1, 20);
            open = Drain(pipeFds[0], text);
        } else {
            ::usleep(20000);
        }
        if (::waitpid(pid, &status, WNOHANG) == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            status = -1;
            break;
        }
    }
    if (output != nullptr) {
        Drain(pipeFds[0], text);
        ::close(pipeFds[0]);
        *output = text;
    }
    if (status == -1)
        return -1;
    if (WIFSIGNALED(status))
        return WTERMSIG(status) == SIGALRM ? -1 : -2;
    return WEXITSTATUS(status);
}

bool IsRoot() {
    return ::geteuid() == 0;
}

bool BecomeUnprivileged() {
    return !IsRoot() || (::setgroups(0, nullptr) == 0 && ::setgid(kUnprivilegedUser) == 0 &&
                         ::setuid(kUnprivilegedUser) == 0);
}

bool HandOver(const std::string& path, bool tree) {
    if (!IsRoot())
        return true;
    std::error_code error;
    if (tree)
        for (auto it = std::filesystem::recursive_directory_iterator(path, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
            if (::lchown(it->path().c_str(), kUnprivilegedUser, kUnprivilegedUser) != 0)
                return false;
    return !error && ::chown(path.c_str(), kUnprivilegedUser, kUnprivilegedUser) == 0;
}

std::string UnprivilegedCommandPrefix() {
    if (!IsRoot())
        return {};
    const std::string user = std::to_string(kUnprivilegedUser);
    return "setpriv --reuid=" + user + " --regid=" + user + " --clear-groups ";
}

int RunUnprivileged(const std::function<int()>& step, int seconds, std::string* output) {
    return RunGuarded([&] { return BecomeUnprivileged() ? step() : kCannotSwitch; }, seconds,
                      output);
}

EffectivelyUnprivileged::EffectivelyUnprivileged(const std::string& folder) {
    [[maybe_unused]] const bool switched = IsRoot() && HandOver(folder) &&
                                           ::setegid(kUnprivilegedUser) == 0 &&
                                           ::seteuid(kUnprivilegedUser) == 0;
}

EffectivelyUnprivileged::~EffectivelyUnprivileged() {
    [[maybe_unused]] const bool back = Back();
}

bool EffectivelyUnprivileged::Back() {
    return ::seteuid(::getuid()) == 0 && ::setegid(::getgid()) == 0;
}

bool EffectivelyUnprivileged::Holds() const {
    return !IsRoot();
}

} // namespace testsupport
