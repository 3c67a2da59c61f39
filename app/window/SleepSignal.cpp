#include "app/window/SleepSignal.h"

#include <QDBusConnection>

SleepSignal::SleepSignal(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                this, SLOT(PrepareForSleep(bool)));
}

void SleepSignal::PrepareForSleep(bool start) {
    if (start)
        emit GoingToSleep();
    else
        emit WokenUp();
}
