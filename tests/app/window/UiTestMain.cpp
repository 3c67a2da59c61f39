// One QApplication for every test of the suite.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(ostrivane);
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (CTest's discovery) runs without the suite's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The machine's own power and sleep play no part: a laptop on battery would hold the
    // scheduled runs back.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/ostrivane-tests");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
