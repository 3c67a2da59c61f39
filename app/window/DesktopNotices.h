// The program's notices on the desktop: a missed backup caught up or skipped, an old backup, a time
// the schedule cannot read, a scheduled backup that failed. Each goes to the desktop's notification
// service (org.freedesktop.Notifications on the session bus, the names of
// platform/notification), whether or not the desktop has a notification area and whether or not
// the window is shown; only where no service takes it (no session bus, no service, no answer) is
// the caller's fallback run instead (the tray icon's balloon, or a message).
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class DesktopNotices : public QObject {
    Q_OBJECT
public:
    enum class Kind { Information, Failure };

    explicit DesktopNotices(QObject* parent = nullptr);

    // Sends `text` under the summary `title`; a failure stays until the user dismisses it. The
    // answer comes later: `fallback` runs on this object's thread when the service did not take
    // the notice (at once when there is no session bus).
    void Show(const QString& title, const QString& text, Kind kind, std::function<void()> fallback);
};
