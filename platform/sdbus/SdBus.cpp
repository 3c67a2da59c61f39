#include "platform/sdbus/SdBus.h"

#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace ostrivane::sdbus {

namespace {

// Where sd-bus looks for the system bus when $DBUS_SYSTEM_BUS_ADDRESS is not set.
constexpr const char* kSystemBusSocket = "/run/dbus/system_bus_socket";

template <typename Function> bool Bind(void* library, Function*& function, const char* name) {
    function = reinterpret_cast<Function*>(::dlsym(library, name));
    return function != nullptr;
}

std::unique_ptr<Library> LoadLibrary() {
    void* handle = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr)
        return nullptr;
    auto library = std::make_unique<Library>();
    const bool bound = Bind(handle, library->open_system, "sd_bus_open_system") &&
                       Bind(handle, library->open_user, "sd_bus_open_user") &&
                       Bind(handle, library->new_bus, "sd_bus_new") &&
                       Bind(handle, library->set_address, "sd_bus_set_address") &&
                       Bind(handle, library->set_bus_client, "sd_bus_set_bus_client") &&
                       Bind(handle, library->start, "sd_bus_start") &&
                       Bind(handle, library->flush_close_unref, "sd_bus_flush_close_unref") &&
                       Bind(handle, library->new_method_call, "sd_bus_message_new_method_call") &&
                       Bind(handle, library->append, "sd_bus_message_append") &&
                       Bind(handle, library->call, "sd_bus_call") &&
                       Bind(handle, library->read, "sd_bus_message_read") &&
                       Bind(handle, library->unref, "sd_bus_message_unref") &&
                       Bind(handle, library->error_free, "sd_bus_error_free");
    // RTLD_NODELETE keeps the code mapped; the handle itself is not needed any more.
    ::dlclose(handle);
    return bound ? std::move(library) : nullptr;
}

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

} // namespace

const Library* Load() {
    static const std::unique_ptr<Library> library = LoadLibrary();
    return library.get();
}

void BusClose::operator()(sd_bus* bus) const {
    Load()->flush_close_unref(bus);
}

void MessageUnref::operator()(sd_bus_message* message) const {
    Load()->unref(message);
}

Bus OpenSystemBus() {
    if (!IsSet("DBUS_SYSTEM_BUS_ADDRESS") && !Exists(kSystemBusSocket))
        return Bus();
    const Library* library = Load();
    sd_bus* bus = nullptr;
    if (library == nullptr || library->open_system(&bus) < 0)
        return Bus();
    return Bus(bus);
}

Bus OpenSessionBus() {
    std::string socket;
    if (!IsSet("DBUS_SESSION_BUS_ADDRESS")) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        socket = runtime != nullptr && runtime[0] == '/'
                     ? std::string(runtime) + "/bus"
                     : "/run/user/" + std::to_string(::getuid()) + "/bus";
        if (!Exists(socket))
            return Bus();
    }
    const Library* library = Load();
    if (library == nullptr)
        return Bus();
    sd_bus* bus = nullptr;
    if (socket.empty()) {
        if (library->open_user(&bus) < 0)
            return Bus();
        return Bus(bus);
    }
    // The address spelt out: without $XDG_RUNTIME_DIR the library would find no bus.
    if (library->new_bus(&bus) < 0)
        return Bus();
    Bus owned(bus);
    const std::string address = "unix:path=" + socket;
    if (library->set_address(bus, address.c_str()) < 0 || library->set_bus_client(bus, 1) < 0 ||
        library->start(bus) < 0)
        return Bus();
    return owned;
}

} // namespace ostrivane::sdbus
