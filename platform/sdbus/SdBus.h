// libsystemd's D-Bus client (sd-bus), loaded at run time when a bus is first wanted: a backup on a
// machine without D-Bus does not carry the library (some megabytes of memory), and the programs
// run where it is not installed. Only its declarations are used at build time.
#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>

namespace ostrivane::sdbus {

// The functions of the library that the program calls.
struct Library {
    decltype(sd_bus_open_system)* open_system = nullptr;
    decltype(sd_bus_open_user)* open_user = nullptr;
    decltype(sd_bus_new)* new_bus = nullptr;
    decltype(sd_bus_set_address)* set_address = nullptr;
    decltype(sd_bus_set_bus_client)* set_bus_client = nullptr;
    decltype(sd_bus_start)* start = nullptr;
    decltype(sd_bus_flush_close_unref)* flush_close_unref = nullptr;
    decltype(sd_bus_message_new_method_call)* new_method_call = nullptr;
    decltype(sd_bus_message_append)* append = nullptr;
    decltype(sd_bus_call)* call = nullptr;
    decltype(sd_bus_message_read)* read = nullptr;
    decltype(sd_bus_message_unref)* unref = nullptr;
    decltype(sd_bus_error_free)* error_free = nullptr;
};

// The library, loaded at the first call and kept for the life of the process (a library with
// state of its own is not safely unloaded); nullptr when it cannot be loaded or lacks a function.
// Safe to call from any thread.
const Library* Load();

struct BusClose {
    void operator()(sd_bus* bus) const;
};
struct MessageUnref {
    void operator()(sd_bus_message* message) const;
};
using Bus = std::unique_ptr<sd_bus, BusClose>;
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

// A connection to the system bus ($DBUS_SYSTEM_BUS_ADDRESS, else the system socket); empty when
// there is none (the library is not even loaded then).
Bus OpenSystemBus();
// A connection to the user's session bus: $DBUS_SESSION_BUS_ADDRESS, else the bus of the user's
// runtime folder ($XDG_RUNTIME_DIR, else /run/user/<uid>, as a cron job or a timer without a
// session has none set). Empty when there is none.
Bus OpenSessionBus();

// Calls a method built by `fill` (which appends the arguments to the message); the reply, or an
// empty one when the call failed or was not answered within `timeoutUsec`.
template <class Fill>
Message Call(sd_bus* bus, const char* service, const char* object, const char* interface,
             const char* method, std::uint64_t timeoutUsec, Fill fill) {
    const Library* library = Load();
    sd_bus_message* call = nullptr;
    if (library == nullptr ||
        library->new_method_call(bus, &call, service, object, interface, method) < 0)
        return Message();
    const Message owned(call);
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    if (fill(*library, call) >= 0)
        library->call(bus, call, timeoutUsec, &error, &reply);
    library->error_free(&error);
    return Message(reply);
}

} // namespace ostrivane::sdbus
