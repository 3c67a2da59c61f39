#include "app/window/DesktopNotices.h"

#include "platform/notification/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

namespace {

using ostrivane::notification::Urgency;

// A service started on demand needs a moment; after this long the fallback tells the notice.
constexpr int kCallTimeoutMs = 5000;
// The service's own time for how long it shows a notice.
constexpr int kServiceTimeout = -1;

} // namespace

DesktopNotices::DesktopNotices(QObject* parent) : QObject(parent) {}

void DesktopNotices::Show(const QString& title, const QString& text, Kind kind,
                          std::function<void()> fallback) {
    using namespace ostrivane::notification;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallback();
        return;
    }
    const Urgency urgency = kind == Kind::Failure ? Urgency::Critical : Urgency::Normal;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kObject),
        QString::fromLatin1(kInterface), QString::fromLatin1(kMethod));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(urgency)));
    call << QString::fromUtf8(kApplicationName) << 0u << QString::fromLatin1(kIcon) << title << text
         << QStringList() << hints << kServiceTimeout;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [fallback = std::move(fallback)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError())
                    fallback();
            });
}
