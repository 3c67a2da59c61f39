#include "platform/logind/SleepInhibitor.h"

#include "platform/sdbus/SdBus.h"

#include <cstdint>
#include <fcntl.h>

namespace ostrivane::logind {

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kObject = "/org/freedesktop/login1";
constexpr const char* kInterface = "org.freedesktop.login1.Manager";
constexpr const char* kWhat = "sleep:idle";
constexpr const char* kWho = "quenza Ostrivane";
constexpr const char* kWhy = "Probíhá záloha";
constexpr const char* kMode = "block";
// logind answers at once; a bus that does not must not hold up the start of a backup for the
// library's default 25 s.
constexpr std::uint64_t kCallTimeoutUsec = 3'000'000;

// Asks logind for the lock; the descriptor it returned (a copy owned by the caller), or -1.
// Without a system bus the library is not even loaded: a backup on a machine without D-Bus (a
// server, a container) pays nothing for the lock.
int TakeLock() {
    const sdbus::Bus bus = sdbus::OpenSystemBus();
    if (!bus)
        return -1;
    const sdbus::Message reply =
        sdbus::Call(bus.get(), kService, kObject, kInterface, "Inhibit", kCallTimeoutUsec,
                    [](const sdbus::Library& library, sd_bus_message* call) {
                        return library.append(call, "ssss", kWhat, kWho, kWhy, kMode);
                    });
    int owned = -1;
    if (!reply || sdbus::Load()->read(reply.get(), "h", &owned) < 0 || owned < 0)
        return -1;
    // The reply owns the descriptor and closes it with the message: keep a copy.
    return ::fcntl(owned, F_DUPFD_CLOEXEC, 3);
}

} // namespace

SleepInhibitor::SleepInhibitor() : lock_(TakeLock()) {}

} // namespace ostrivane::logind
