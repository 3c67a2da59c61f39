#include "app/window/RestoreAppService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace {

// The running copy answers from its event loop at once; a copy that does not within this time
// is taken as hung.
constexpr int kHandOverTimeoutMs = 10000;

} // namespace

QString RestoreAppService::ServiceName() {
    return SharedServiceName() + u'-' + QString::number(QCoreApplication::applicationPid());
}

QString RestoreAppService::SharedServiceName() {
    return QStringLiteral("cz.quenza.Ostrivane");
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
    Unregister();
}

void RestoreAppService::Unregister() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (sharedRegistered_)
        bus.unregisterService(SharedServiceName());
    if (ownRegistered_)
        bus.unregisterService(ServiceName());
    if (objectRegistered_)
        bus.unregisterObject(ObjectPath());
    sharedRegistered_ = ownRegistered_ = objectRegistered_ = false;
}

RestoreAppService::Registration RestoreAppService::Register() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr)
        return Registration::NoBus;
    // The object first, so that a start handing over meanwhile finds it.
    objectRegistered_ =
        bus.registerObject(ObjectPath(), this, QDBusConnection::ExportScriptableSlots);
    if (!objectRegistered_)
        return Registration::NoBus;
    // One owner at a time, decided by the bus: two copies started at once never both get it.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> shared =
        bus.interface()->registerService(SharedServiceName(),
                                         QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!shared.isValid()) {
        Unregister();
        return Registration::NoBus;
    }
    if (shared.value() != QDBusConnectionInterface::ServiceRegistered) {
        Unregister();
        return Registration::Taken;
    }
    sharedRegistered_ = true;
    ownRegistered_ = bus.registerService(ServiceName());
    return Registration::Running;
}

bool RestoreAppService::HandOver() {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        SharedServiceName(), ObjectPath(), InterfaceName(), QStringLiteral("RestoreApp"));
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, kHandOverTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void RestoreAppService::RestoreApp() {
    if (restore_)
        restore_();
}
