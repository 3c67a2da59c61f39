#include "platform/logind/SleepInhibitor.h"

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

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

// Where sd-bus looks for the system bus when $DBUS_SYSTEM_BUS_ADDRESS is not set.
constexpr const char* kSystemBusSocket = "/run/dbus/system_bus_socket";

// Whether a system bus can be there at all. Without one the library is not even loaded: a backup
// on a machine without D-Bus (a server, a container) pays nothing for the lock.
bool SystemBusMayExist() {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return (address != nullptr && *address != '\0') || ::access(kSystemBusSocket, F_OK) == 0;
}

// libsystemd, loaded when the lock is first asked for and only where a system bus may be: a
// backup without one does not carry it (some megabytes of memory), and the program runs where it
// is not installed. Once loaded it stays (RTLD_NODELETE): a library with state of its own is not
// safely unloaded.
class SdBus {
public:
    SdBus() : library_(::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
        if (library_ == nullptr)
            return;
        ok_ = Bind(open_system_, "sd_bus_open_system") &&
              Bind(flush_close_unref_, "sd_bus_flush_close_unref") &&
              Bind(new_method_call_, "sd_bus_message_new_method_call") &&
              Bind(append_, "sd_bus_message_append") && Bind(call_, "sd_bus_call") &&
              Bind(read_, "sd_bus_message_read") && Bind(unref_, "sd_bus_message_unref") &&
              Bind(error_free_, "sd_bus_error_free");
    }
    ~SdBus() {
        if (library_ != nullptr)
            ::dlclose(library_);
    }
    SdBus(const SdBus&) = delete;
    SdBus& operator=(const SdBus&) = delete;

    // Asks logind for the lock; the descriptor it returned (a copy owned by the caller), or -1.
    int TakeLock() const {
        if (!ok_)
            return -1;
        sd_bus* bus = nullptr;
        // $DBUS_SYSTEM_BUS_ADDRESS, else the system bus socket.
        if (open_system_(&bus) < 0)
            return -1;
        const int fd = AskForLock(bus);
        flush_close_unref_(bus);
        return fd;
    }

private:
    template <typename Function> bool Bind(Function*& function, const char* name) {
        function = reinterpret_cast<Function*>(::dlsym(library_, name));
        return function != nullptr;
    }

    int AskForLock(sd_bus* bus) const {
        sd_bus_message* call = nullptr;
        if (new_method_call_(bus, &call, kService, kObject, kInterface, "Inhibit") < 0)
            return -1;
        int fd = -1;
        sd_bus_message* reply = nullptr;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        if (append_(call, "ssss", kWhat, kWho, kWhy, kMode) >= 0 &&
            call_(bus, call, kCallTimeoutUsec, &error, &reply) >= 0) {
            int owned = -1;
            // The reply owns the descriptor and closes it with the message: keep a copy.
            if (read_(reply, "h", &owned) >= 0 && owned >= 0)
                fd = ::fcntl(owned, F_DUPFD_CLOEXEC, 3);
        }
        if (reply != nullptr)
            unref_(reply);
        unref_(call);
        error_free_(&error);
        return fd;
    }

    void* library_;
    bool ok_ = false;
    decltype(sd_bus_open_system)* open_system_ = nullptr;
    decltype(sd_bus_flush_close_unref)* flush_close_unref_ = nullptr;
    decltype(sd_bus_message_new_method_call)* new_method_call_ = nullptr;
    decltype(sd_bus_message_append)* append_ = nullptr;
    decltype(sd_bus_call)* call_ = nullptr;
    decltype(sd_bus_message_read)* read_ = nullptr;
    decltype(sd_bus_message_unref)* unref_ = nullptr;
    decltype(sd_bus_error_free)* error_free_ = nullptr;
};

int TakeLock() {
    if (!SystemBusMayExist())
        return -1;
    return SdBus().TakeLock();
}

} // namespace

SleepInhibitor::SleepInhibitor() : lock_(TakeLock()) {}

} // namespace ostrivane::logind
