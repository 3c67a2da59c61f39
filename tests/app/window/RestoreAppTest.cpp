// A copy hidden in the tray comes back when RestoreApp is called on its own service name over the
// session bus. Runs under dbus-run-session, so the bus is private to the test.
#include "app/window/RestoreAppService.h"
#include "app/window/TfoHlavni.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class RestoreApp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "no session bus";
        ASSERT_TRUE(dir.isValid());
        window = std::make_unique<TfoHlavni>(dir.filePath(QStringLiteral("Ostrivane.ini")));
        window->SetStartedWithArguments(false);
        window->SetTrayAvailability([] { return true; });
        service = std::make_unique<RestoreAppService>([this] { window->WMRestoreApp(); });
    }

    QTemporaryDir dir;
    std::unique_ptr<TfoHlavni> window;
    std::unique_ptr<RestoreAppService> service;
};

TEST_F(RestoreApp, NamesCarryTheProcessId) {
    EXPECT_EQ(RestoreAppService::ServiceName(),
              QStringLiteral("cz.quenza.Ostrivane-%1").arg(QCoreApplication::applicationPid()));
    EXPECT_EQ(RestoreAppService::ObjectPath(), QStringLiteral("/cz/quenza/Ostrivane"));
    EXPECT_EQ(RestoreAppService::InterfaceName(), QStringLiteral("cz.quenza.Ostrivane"));
}

TEST_F(RestoreApp, CallFromAnotherConnectionRestoresTheWindow) {
    ASSERT_EQ(service->Register(), RestoreAppService::Registration::Running);
    EXPECT_TRUE(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        RestoreAppService::ServiceName()));
    window->show();
    window->HideToTray();
    ASSERT_TRUE(window->InTray());

    // A connection of its own, as another program would have; the call is asynchronous because
    // the window answers on this very thread.
    QDBusConnection caller =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("caller"));
    ASSERT_TRUE(caller.isConnected());
    // A plain message: an interface object would first introspect the service synchronously,
    // which this thread could not answer while it waits.
    const QDBusMessage message = QDBusMessage::createMethodCall(
        RestoreAppService::ServiceName(), RestoreAppService::ObjectPath(),
        RestoreAppService::InterfaceName(), QStringLiteral("RestoreApp"));
    QDBusPendingCall call = caller.asyncCall(message);
    QDBusPendingCallWatcher watcher(call);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.isFinished(); }, 10000));
    EXPECT_FALSE(watcher.isError()) << watcher.error().message().toStdString();
    EXPECT_FALSE(window->InTray());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->TrayIcon(), nullptr);
    QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
}

TEST_F(RestoreApp, ServiceNamesAreGivenUpWithTheObject) {
    ASSERT_EQ(service->Register(), RestoreAppService::Registration::Running);
    service.reset();
    EXPECT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        RestoreAppService::ServiceName()));
    EXPECT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        RestoreAppService::SharedServiceName()));
}

} // namespace
