// The system's announcements of sleep and wake-up: systemd-logind's PrepareForSleep signal on the
// system bus (true before the system sleeps, false once it is awake again). Without a system bus,
// or without logind on it, nothing ever comes and nothing is said.
#pragma once

#include <QObject>

class SleepSignal : public QObject {
    Q_OBJECT
public:
    explicit SleepSignal(QObject* parent = nullptr);

signals:
    void GoingToSleep();
    void WokenUp();

private slots:
    void PrepareForSleep(bool start);
};
