#include "app/window/BatteryPower.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace {

const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower");
const QString kInterface = QStringLiteral("org.freedesktop.UPower");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kOnBattery = QStringLiteral("OnBattery");
// Long enough for the bus to start UPower on demand; the schedule waits this long at most.
constexpr int kAnswerMs = 10000;

// A property's value, as a variant in a map or in a reply.
bool Truth(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        return value.value<QDBusVariant>().variant().toBool();
    return value.toBool();
}

} // namespace

BatteryPower::BatteryPower(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                SLOT(PropertiesChanged(QString, QVariantMap, QStringList)));
    auto* watcher =
        new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &BatteryPower::ServiceOwnerChanged);
    asking_ = true;
    Ask();
}

void BatteryPower::Ask() {
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
    get << kInterface << kOnBattery;
    auto* call =
        new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(get, kAnswerMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &BatteryPower::Answered);
}

void BatteryPower::Answered(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    const QDBusMessage reply = call->reply();
    const bool answered =
        reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
    // No service, or no answer: not on battery.
    const bool onBattery = answered && Truth(reply.arguments().constFirst());
    const bool wasAsking = asking_;
    asking_ = false;
    if (onBattery != onBattery_)
        Set(onBattery);
    else if (wasAsking)
        emit Changed();
}

void BatteryPower::PropertiesChanged(const QString& interface, const QVariantMap& changed,
                                     const QStringList& invalidated) {
    if (interface != kInterface)
        return;
    if (const auto value = changed.constFind(kOnBattery); value != changed.constEnd())
        Set(Truth(*value));
    else if (invalidated.contains(kOnBattery))
        Ask();
}

void BatteryPower::ServiceOwnerChanged(const QString&, const QString&, const QString& newOwner) {
    // A service that went away leaves mains power; one that came (back) is asked.
    if (newOwner.isEmpty())
        Set(false);
    else
        Ask();
}

void BatteryPower::Set(bool onBattery) {
    if (onBattery == onBattery_)
        return;
    onBattery_ = onBattery;
    emit Changed();
}
