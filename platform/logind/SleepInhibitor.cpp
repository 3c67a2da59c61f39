#include "platform/logind/SleepInhibitor.h"

#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <systemd/sd-bus.h>

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

struct BusClose {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Bus = std::unique_ptr<sd_bus, BusClose>;
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

class BusError {
public:
    BusError() = default;
    ~BusError() { sd_bus_error_free(&error_); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    sd_bus_error* Get() { return &error_; }

private:
    sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

// Asks logind for the lock; the descriptor it returned (a copy owned by the caller), or -1.
int TakeLock() {
    sd_bus* rawBus = nullptr;
    // $DBUS_SYSTEM_BUS_ADDRESS, else the system bus socket.
    if (sd_bus_open_system(&rawBus) < 0)
        return -1;
    const Bus bus(rawBus);

    sd_bus_message* rawCall = nullptr;
    if (sd_bus_message_new_method_call(bus.get(), &rawCall, kService, kObject, kInterface,
                                       "Inhibit") < 0)
        return -1;
    const Message call(rawCall);
    if (sd_bus_message_append(call.get(), "ssss", kWhat, kWho, kWhy, kMode) < 0)
        return -1;

    BusError error;
    sd_bus_message* rawReply = nullptr;
    if (sd_bus_call(bus.get(), call.get(), kCallTimeoutUsec, error.Get(), &rawReply) < 0)
        return -1;
    const Message reply(rawReply);
    int fd = -1;
    if (sd_bus_message_read(reply.get(), "h", &fd) < 0 || fd < 0)
        return -1;
    // The reply owns `fd` and closes it with the message: keep a copy of our own.
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

} // namespace

SleepInhibitor::SleepInhibitor() : lock_(TakeLock()) {}

} // namespace ostrivane::logind
