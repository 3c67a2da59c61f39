// One QApplication for the suites that run inside a private bus of their own (dbus-run-session):
// that bus also stands in for the system bus, where logind announces sleep and UPower tells the
// power source.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(ostrivane);
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (CTest's discovery) runs without the suite's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
