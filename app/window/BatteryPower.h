// Whether the computer runs on battery, as UPower tells it on the system bus: the OnBattery
// property of org.freedesktop.UPower, read at start (starting the service where the bus starts
// it on demand), followed through PropertiesChanged, and read again whenever the service comes
// back. Without a system bus, without UPower, or when it does not answer, the computer is taken
// to run on mains power: nothing is ever held back for want of an answer.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QDBusPendingCallWatcher;

class BatteryPower : public QObject {
    Q_OBJECT
public:
    explicit BatteryPower(QObject* parent = nullptr);

    // True until the first answer came (or could not come); OnBattery() is false meanwhile.
    bool Asking() const { return asking_; }
    bool OnBattery() const { return onBattery_; }

signals:
    // Asking() or OnBattery() changed.
    void Changed();

private slots:
    void PropertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated);
    void ServiceOwnerChanged(const QString& service, const QString& oldOwner,
                             const QString& newOwner);

private:
    // Reads OnBattery; the answer comes later.
    void Ask();
    void Answered(QDBusPendingCallWatcher* call);
    void Set(bool onBattery);

    bool asking_ = false;
    bool onBattery_ = false;
};
