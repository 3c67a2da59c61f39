// A notification on the user's desktop through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), without Qt: ostrivane-cab tells a failed
// headless backup this way, so that a run from cron or a timer is never silent where someone is
// logged in. The window sends the same call through Qt (app/window/DesktopNotices) with these
// names.
#pragma once

#include <string>

namespace ostrivane::notification {

inline constexpr const char* kService = "org.freedesktop.Notifications";
inline constexpr const char* kObject = "/org/freedesktop/Notifications";
inline constexpr const char* kInterface = "org.freedesktop.Notifications";
inline constexpr const char* kMethod = "Notify";
// The name the program's notifications are sent under, and their icon (the themed icon the
// package installs).
inline constexpr const char* kApplicationName = "quenza Ostrivane";
inline constexpr const char* kIcon = "ostrivane";

// How the service is to present a notification (its "urgency" hint): a critical one stays until
// the user dismisses it.
enum class Urgency : unsigned char { Low = 0, Normal = 1, Critical = 2 };

// Sends `summary` and `body` (UTF-8) as a notification, shown for the service's own time. True
// when the service took it; false when there is no session bus, no notification service on it,
// no libsystemd, or no answer within a few seconds. Never throws.
bool SendDesktopNotification(const std::string& summary, const std::string& body,
                             Urgency urgency) noexcept;

} // namespace ostrivane::notification
