// The session-bus method that brings a running copy back from the tray. Every copy registers a
// service name of its own, "cz.quenza.Ostrivane-" + its process id, with the object
// "/cz/quenza/Ostrivane" and the interface "cz.quenza.Ostrivane", method RestoreApp().
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class RestoreAppService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "cz.quenza.Ostrivane")
public:
    static QString ServiceName(); // of this process
    static QString ObjectPath();
    static QString InterfaceName();

    explicit RestoreAppService(std::function<void()> restore, QObject* parent = nullptr);
    ~RestoreAppService() override;

    // Registers on the session bus; false when there is no session bus or the name is taken,
    // in which case the program simply runs without the method.
    bool Register();

public slots:
    Q_SCRIPTABLE void RestoreApp();

private:
    std::function<void()> restore_;
    bool registered_ = false;
};
