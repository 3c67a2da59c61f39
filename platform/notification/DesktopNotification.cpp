#include "platform/notification/DesktopNotification.h"

#include "platform/sdbus/SdBus.h"

#include <cstdint>

namespace ostrivane::notification {

namespace {

// A service that is started on demand needs a moment; a headless run waits no longer than this.
constexpr std::uint64_t kCallTimeoutUsec = 5'000'000;
// The service's own time for how long it shows the notification.
constexpr std::int32_t kServiceTimeout = -1;

} // namespace

bool SendDesktopNotification(const std::string& summary, const std::string& body,
                             Urgency urgency) noexcept {
    try {
        const sdbus::Bus bus = sdbus::OpenSessionBus();
        if (!bus)
            return false;
        // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
        const sdbus::Message reply = sdbus::Call(
            bus.get(), kService, kObject, kInterface, kMethod, kCallTimeoutUsec,
            [&](const sdbus::Library& library, sd_bus_message* call) {
                return library.append(call, "susssasa{sv}i", kApplicationName, std::uint32_t{0},
                                      kIcon, summary.c_str(), body.c_str(), 0, 1, "urgency", "y",
                                      static_cast<unsigned>(urgency), kServiceTimeout);
            });
        return static_cast<bool>(reply);
    } catch (...) {
        return false;
    }
}

} // namespace ostrivane::notification
