#include "app/window/RestoreAppService.h"

#include <QCoreApplication>
#include <QDBusConnection>

QString RestoreAppService::ServiceName() {
    return QStringLiteral("cz.quenza.Ostrivane-") +
           QString::number(QCoreApplication::applicationPid());
}

QString RestoreAppService::ObjectPath() {
    return QStringLiteral("/cz/quenza/Ostrivane");
}

QString RestoreAppService::InterfaceName() {
    return QStringLiteral("cz.quenza.Ostrivane");
}

RestoreAppService::RestoreAppService(std::function<void()> restore, QObject* parent)
    : QObject(parent), restore_(std::move(restore)) {}

RestoreAppService::~RestoreAppService() {
    if (!registered_)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(ServiceName());
    bus.unregisterObject(ObjectPath());
}

bool RestoreAppService::Register() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(ObjectPath(), this, QDBusConnection::ExportScriptableSlots))
        return false;
    if (!bus.registerService(ServiceName())) {
        bus.unregisterObject(ObjectPath());
        return false;
    }
    registered_ = true;
    return true;
}

void RestoreAppService::RestoreApp() {
    if (restore_)
        restore_();
}
