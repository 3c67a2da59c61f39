#include "platform/fs/RemoveOnTermination.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <mutex>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ostrivane::fs {

namespace {

constexpr int kSlots = 64;
constexpr int kPrefixSlots = 8;

// A slot's path is written only while the slot is marked busy; the handler copies a path out
// only when the slot is ready before and after the copy, with the same generation, so that it
// never unlinks a path that was being replaced under it (the handler may run on another thread).
struct Slot {
    std::atomic<unsigned> generation{0}; // even: free, odd: ready (changed while busy)
    std::atomic<bool> busy{false};
    char path[PATH_MAX] = {};
};

// The slots come in blocks; a block is added when every slot is taken and never goes away, so
// the handler can walk the chain at any moment.
struct Block {
    Slot slots[kSlots];
    std::atomic<Block*> next{nullptr};
};

// A form of names listed at once: every file of `folder` whose name begins with `prefix`.
struct PrefixSlot {
    std::atomic<unsigned> generation{0};
    std::atomic<bool> busy{false};
    char folder[PATH_MAX] = {};
    char prefix[NAME_MAX + 1] = {};
};

Block firstBlock;
PrefixSlot prefixSlots[kPrefixSlots];
std::mutex writers; // registrations among themselves; never taken by the handler

bool Ready(unsigned generation) {
    return (generation & 1u) != 0;
}

template <typename Visit> void ForEachSlot(Visit visit) {
    for (Block* block = &firstBlock; block != nullptr;
         block = block->next.load(std::memory_order_acquire)) {
        for (Slot& slot : block->slots)
            visit(slot);
    }
}

// Copies the slot's texts out (each `size` bytes into its `copy`) when the slot stays ready and
// unchanged meanwhile.
template <typename SlotType, std::size_t N>
bool CopyOut(const SlotType& slot, const char* const (&texts)[N], char* const (&copies)[N],
             const std::size_t (&sizes)[N]) {
    const unsigned before = slot.generation.load(std::memory_order_acquire);
    if (!Ready(before) || slot.busy.load(std::memory_order_acquire))
        return false;
    for (std::size_t i = 0; i < N; ++i)
        std::memcpy(copies[i], texts[i], sizes[i]);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (slot.busy.load(std::memory_order_acquire) ||
        slot.generation.load(std::memory_order_acquire) != before)
        return false;
    for (std::size_t i = 0; i < N; ++i)
        copies[i][sizes[i] - 1] = '\0';
    return true;
}

// The record getdents64 fills.
struct DirectoryRecord {
    std::uint64_t inode;
    std::int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

// Removes every file of `folder` whose name begins with `prefix`, with system calls alone (a
// signal handler may not allocate). The folder is read again while a pass removed something, as
// a listing that changes under its reader may pass names over.
void RemoveNamesBeginning(const char* folder, const char* prefix) {
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    const std::size_t prefixLength = std::strlen(prefix);
    alignas(8) char buffer[4096];
    for (int pass = 0; pass < 8; ++pass) {
        bool removed = false;
        ::lseek(fd, 0, SEEK_SET);
        for (;;) {
            const long filled = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (filled <= 0)
                break;
            for (long at = 0; at < filled;) {
                const auto* record = reinterpret_cast<const DirectoryRecord*>(buffer + at);
                if (record->length == 0)
                    break;
                if (prefixLength > 0 && std::strncmp(record->name, prefix, prefixLength) == 0 &&
                    ::unlinkat(fd, record->name, 0) == 0)
                    removed = true;
                at += record->length;
            }
        }
        if (!removed)
            break;
    }
    ::close(fd);
}

void RemoveListed() {
    char path[PATH_MAX];
    ForEachSlot([&path](const Slot& slot) {
        if (CopyOut(slot, {slot.path}, {path}, {sizeof path}))
            ::unlink(path);
    });
    char prefix[NAME_MAX + 1];
    for (const PrefixSlot& slot : prefixSlots) {
        if (CopyOut(slot, {slot.folder, slot.prefix}, {path, prefix}, {sizeof path, sizeof prefix}))
            RemoveNamesBeginning(path, prefix);
    }
}

// While a hold lasts (TerminationHeld), a termination signal or the alarm of an orderly end is
// kept here and raised again when the last hold ends.
std::atomic<int> holds{0};
std::atomic<int> keptSignal{0};

// In a handler: true when `signal` is kept for the end of the hold.
bool KeptForLater(int signal) {
    if (holds.load() == 0)
        return false;
    int none = 0;
    keptSignal.compare_exchange_strong(none, signal);
    if (holds.load() > 0)
        return true;
    // The hold ended meanwhile: whoever takes the kept signal acts on it.
    return keptSignal.exchange(0) == 0;
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
    if (KeptForLater(signal)) {
        errno = savedErrno;
        return;
    }
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
    if (KeptForLater(signal))
        return;
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

namespace {

// True when `path` lies in a folder listed with a prefix, under a name that begins with it.
bool CoveredByPrefix(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (const PrefixSlot& slot : prefixSlots) {
        if (Ready(slot.generation.load(std::memory_order_relaxed)) && folder == slot.folder &&
            name.rfind(slot.prefix, 0) == 0)
            return true;
    }
    return false;
}

} // namespace

void RemoveOnTermination(const std::string& path) {
    if (path.empty() || path.size() >= PATH_MAX)
        return;
    const std::lock_guard<std::mutex> lock(writers);
    if (CoveredByPrefix(path))
        return;
    Block* last = &firstBlock;
    for (Block* block = &firstBlock; block != nullptr;
         block = block->next.load(std::memory_order_acquire)) {
        last = block;
        for (Slot& slot : block->slots) {
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
    // Every slot is taken: a new block, its first slot filled before the handler can see it.
    auto* block = new Block;
    std::memcpy(block->slots[0].path, path.c_str(), path.size() + 1);
    block->slots[0].generation.store(1, std::memory_order_relaxed);
    last->next.store(block, std::memory_order_release);
}

void KeepOnTermination(const std::string& path) {
    const std::lock_guard<std::mutex> lock(writers);
    ForEachSlot([&path](Slot& slot) {
        const unsigned generation = slot.generation.load(std::memory_order_relaxed);
        if (!Ready(generation) || std::strcmp(slot.path, path.c_str()) != 0)
            return;
        slot.busy.store(true, std::memory_order_release);
        slot.generation.store(generation + 1, std::memory_order_release);
        slot.path[0] = '\0';
        slot.busy.store(false, std::memory_order_release);
    });
}

bool RemoveOnTerminationByPrefix(const std::string& folder, const std::string& prefix) {
    if (folder.empty() || folder.size() >= PATH_MAX || prefix.empty() || prefix.size() > NAME_MAX)
        return false;
    const std::lock_guard<std::mutex> lock(writers);
    for (PrefixSlot& slot : prefixSlots) {
        const unsigned generation = slot.generation.load(std::memory_order_relaxed);
        if (Ready(generation))
            continue;
        slot.busy.store(true, std::memory_order_release);
        std::memcpy(slot.folder, folder.c_str(), folder.size() + 1);
        std::memcpy(slot.prefix, prefix.c_str(), prefix.size() + 1);
        slot.generation.store(generation + 1, std::memory_order_release);
        slot.busy.store(false, std::memory_order_release);
        return true;
    }
    return false;
}

void KeepPrefixOnTermination(const std::string& folder, const std::string& prefix) {
    const std::lock_guard<std::mutex> lock(writers);
    for (PrefixSlot& slot : prefixSlots) {
        const unsigned generation = slot.generation.load(std::memory_order_relaxed);
        if (!Ready(generation) || folder != slot.folder || prefix != slot.prefix)
            continue;
        slot.busy.store(true, std::memory_order_release);
        slot.generation.store(generation + 1, std::memory_order_release);
        slot.folder[0] = '\0';
        slot.prefix[0] = '\0';
        slot.busy.store(false, std::memory_order_release);
    }
}

TerminationHeld::TerminationHeld() {
    InstallRemoveOnTermination();
    holds.fetch_add(1);
}

TerminationHeld::~TerminationHeld() {
    if (holds.fetch_sub(1) != 1)
        return;
    // The last hold is over: a signal kept meanwhile now does what it came to do.
    if (const int kept = keptSignal.exchange(0); kept != 0)
        ::kill(::getpid(), kept);
}

TerminationDeferred::TerminationDeferred() {
    const sigset_t held = HandledSignals();
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

TerminationDeferred::~TerminationDeferred() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

} // namespace ostrivane::fs
