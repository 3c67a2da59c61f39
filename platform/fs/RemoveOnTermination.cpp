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

extern "C" void OnTerminationSignal(int signal) {
    const int savedErrno = errno;
    RemoveListed();
    // End by the same signal with its default action, so that whoever waits for the process
    // sees how it ended.
    std::signal(signal, SIG_DFL);
    ::raise(signal);
    errno = savedErrno;
}

} // namespace

void InstallRemoveOnTermination() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        for (int signal : {SIGTERM, SIGINT, SIGHUP})
            sigaddset(&action.sa_mask, signal);
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            struct sigaction previous {};
            // A signal the process was told to ignore (nohup) stays ignored.
            if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
                continue;
            ::sigaction(signal, &action, nullptr);
        }
    });
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
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

TerminationDeferred::~TerminationDeferred() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

} // namespace ostrivane::fs
