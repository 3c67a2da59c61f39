// The session-bus method that brings a running copy back from the tray, and the handing over of a
// second start to the running copy. Every copy registers a service name of its own,
// "cz.quenza.Ostrivane-" + its process id, with the object "/cz/quenza/Ostrivane" and the
// interface "cz.quenza.Ostrivane", method RestoreApp(); the copy that runs also holds the shared
// name "cz.quenza.Ostrivane", which the bus gives to one copy only: a later start finds it taken,
// calls RestoreApp on it and ends.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class RestoreAppService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "cz.quenza.Ostrivane")
public:
    static QString ServiceName(); // of this process
    static QString SharedServiceName();
    static QString ObjectPath();
    static QString InterfaceName();

    explicit RestoreAppService(std::function<void()> restore, QObject* parent = nullptr);
    ~RestoreAppService() override;

    enum class Registration {
        Running, // this copy holds the shared name: it is the one that runs
        Taken,   // another copy holds it: this one hands over (HandOver) and ends
        NoBus,   // no session bus (or it refused the names): the program runs without the method
    };
    // Registers the object and both names on the session bus. On Taken nothing stays registered.
    Registration Register();

    // Asks the copy that holds the shared name to show its window; false when it did not answer.
    static bool HandOver();

public slots:
    Q_SCRIPTABLE void RestoreApp();

private:
    void Unregister();

    std::function<void()> restore_;
    bool objectRegistered_ = false;
    bool ownRegistered_ = false;
    bool sharedRegistered_ = false;
};
