#include "platform/fs/RemoveOnTermination.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits.h>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

namespace ostrivane::fs {

namespace {

constexpr int kSlots = 64;

// A slot's path is written only while the slot is marked busy; the handler copies a path out
// only when the slot is ready before and after the copy, with the same generation, so that it
// never unlinks a path that was being replaced under it (the handler may run on another thread).
struct Slot {
    std::atomic<unsigned> generation{0}; // even: free, odd: ready (changed while busy)
    std::atomic<bool> busy{false};
    char path[PATH_MAX] = {};
};

Slot slots[kSlots];
std::mutex writers; // registrations among themselves; never taken by the handler

bool Ready(unsigned generation) {
    return (generation & 1u) != 0;
}

void RemoveListed() {
    char copy[PATH_MAX];
    for (Slot& slot : slots) {
        const unsigned before = slot.generation.load(std::memory_order_acquire);
        if (!Ready(before) || slot.busy.load(std::memory_order_acquire))
            continue;
        std::memcpy(copy, slot.path, sizeof copy);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (slot.busy.load(std::memory_order_acquire) ||
            slot.generation.load(std::memory_order_acquire) != before)
            continue;
        copy[sizeof copy - 1] = '\0';
        ::unlink(copy);
    }
}

// The socket that the first termination signal is announced on (none: end at once), the time
// the program has then, and the signal that asked for the orderly end (0: none yet).
std::atomic<int> wakeFd{-1};
std::atomic<unsigned> graceSeconds{1};
std::atomic<int> pendingSignal{0};

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

void EndBySignal(int signal) {
    RemoveListed();
    // End by the same signal with its default action, so that whoever waits for the process
    // sees how it ended. Sent to the process rather than to this thread, so that a thread that
    // does not hold it back takes it, whichever thread this is.
    std::signal(signal, SIG_DFL);
    ::kill(::getpid(), signal);
}

extern "C" void OnTerminationSignal(int signal) {
    const int savedErrno = errno;
    const int fd = wakeFd.load();
    int none = 0;
    if (fd >= 0 && pendingSignal.compare_exchange_strong(none, signal)) {
        const auto byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
        ::alarm(graceSeconds.load());
    } else {
        EndBySignal(signal);
    }
    errno = savedErrno;
}

// The program did not end in the time it was given (or an alarm came without a termination).
extern "C" void OnGraceOver(int signal) {
    const int pending = pendingSignal.load();
    EndBySignal(pending != 0 ? pending : signal);
}

// The termination signals and the alarm of an orderly end: held back while any of the handlers
// runs, and on the threads that must not run them.
sigset_t HandledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kTerminationSignals)
        sigaddset(&set, signal);
    sigaddset(&set, SIGALRM);
    return set;
}

// Installs `handler` for `signal`. Interrupted calls go on, since the first signal of an orderly
// end returns to them.
void InstallHandler(void (*handler)(int), int signal) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    action.sa_mask = HandledSignals();
    ::sigaction(signal, &action, nullptr);
}

} // namespace

void InstallRemoveOnTermination() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (int signal : kTerminationSignals) {
            // A signal the process was told to ignore (nohup) stays ignored.
            struct sigaction previous {};
            if (::sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler != SIG_IGN)
                InstallHandler(OnTerminationSignal, signal);
        }
    });
}

void TerminateInOrder(int fd, unsigned seconds) {
    InstallRemoveOnTermination();
    static std::once_flag installed;
    std::call_once(installed, [] { InstallHandler(OnGraceOver, SIGALRM); });
    graceSeconds.store(seconds == 0 ? 1 : seconds);
    wakeFd.store(fd);
}

void FinishOrderlyTermination() {
    if (const int pending = pendingSignal.load(); pending != 0)
        EndBySignal(pending);
}

void RemoveOnTermination(const std::string& path) {
    if (path.empty() || path.size() >= PATH_MAX)
        return;
    const std::lock_guard<std::mutex> lock(writers);
    for (Slot& slot : slots) {
        const unsigned generation = slot.generation.load(std::memory_order_relaxed);
        if (Ready(generation))
            continue;
        slot.busy.store(true, std::memory_order_release);
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.generation.store(generation + 1, std::memory_order_release);
        slot.busy.store(false, std::memory_order_release);
        return;
    }
}

void KeepOnTermination(const std::string& path) {
    const std::lock_guard<std::mutex> lock(writers);
    for (Slot& slot : slots) {
        const unsigned generation = slot.generation.load(std::memory_order_relaxed);
        if (!Ready(generation) || std::strcmp(slot.path, path.c_str()) != 0)
            continue;
        slot.busy.store(true, std::memory_order_release);
        slot.generation.store(generation + 1, std::memory_order_release);
        slot.path[0] = '\0';
        slot.busy.store(false, std::memory_order_release);
    }
}

TerminationDeferred::TerminationDeferred() {
    const sigset_t held = HandledSignals();
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

TerminationDeferred::~TerminationDeferred() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

} // namespace ostrivane::fs
