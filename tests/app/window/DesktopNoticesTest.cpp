// A notice goes to the desktop's notification service when one runs on the session bus, and only
// where none takes it does the caller's fallback (the tray's balloon, a message) tell it. Runs
// under dbus-run-session, where no notification service runs until the test offers one.
#include "app/window/DesktopNotices.h"

#include <QDBusConnection>
#include <QStringList>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

namespace {

class Receiver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList bodies;
    int urgency = -1;

public slots:
    Q_SCRIPTABLE uint Notify(const QString&, uint, const QString&, const QString&,
                             const QString& body, const QStringList&, const QVariantMap& hints,
                             int) {
        bodies.append(body);
        urgency = hints.value(QStringLiteral("urgency")).toInt();
        return 1;
    }
};

TEST(DesktopNotices, TheServiceTakesTheNoticeAndTheFallbackOnlyTellsWhereThereIsNone) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected()) << "no session bus";
    DesktopNotices notices;
    int fallbacks = 0;
    notices.Show(QStringLiteral("quenza Ostrivane"), QStringLiteral("bez služby"),
                 DesktopNotices::Kind::Information, [&] { ++fallbacks; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return fallbacks == 1; }, 10000));

    Receiver receiver;
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &receiver,
                                   QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    notices.Show(QStringLiteral("quenza Ostrivane"), QStringLiteral("Záloha selhala"),
                 DesktopNotices::Kind::Failure, [&] { ++fallbacks; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !receiver.bodies.isEmpty(); }, 10000));
    QTest::qWait(100);
    EXPECT_EQ(receiver.bodies, QStringList{QStringLiteral("Záloha selhala")});
    EXPECT_EQ(receiver.urgency, 2);
    EXPECT_EQ(fallbacks, 1);
    bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
}

} // namespace

#include "DesktopNoticesTest.moc"
