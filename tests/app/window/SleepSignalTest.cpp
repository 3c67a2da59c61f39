// The system's sleep and wake-up as logind announces them (PrepareForSleep on the system bus): the
// schedule's watch is written before the sleep, and a moment that went by during it is caught up
// on waking. The private bus of the test stands in for the system bus, with the test owning
// logind's name on it.
#include "app/schedule/ScheduleMemory.h"
#include "app/window/TfoHlavni.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// 2026-12-07 is a Monday.
const QDate kMonday(2026, 12, 7);

class SleepAndWake : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));
        logind =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("login1"));
        ASSERT_TRUE(logind.isConnected());
        ASSERT_TRUE(logind.interface()->registerService(QStringLiteral("org.freedesktop.login1")));
        window = std::make_unique<TfoHlavni>(dir.filePath(QStringLiteral("Ostrivane.ini")));
        window->SetStartedWithArguments(false);
        window->SetClock([this] { return clock; });
        window->SetNotice([this](const QString& text) { notices.append(text); });
        window->SetFailureNotice([](const QString&) {});
    }
    void TearDown() override {
        window.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("login1"));
        qunsetenv("XDG_STATE_HOME");
    }

    void Announce(bool sleeping) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << sleeping;
        ASSERT_TRUE(logind.send(signal));
    }

    QString ScheduleFile() const {
        return dir.filePath(QStringLiteral("state/ostrivane/schedule"));
    }

    QTemporaryDir dir;
    QDBusConnection logind{QString()};
    std::unique_ptr<TfoHlavni> window;
    QDateTime clock;
    QStringList notices;
};

TEST_F(SleepAndWake, TheWatchIsWrittenBeforeSleepAndAMissedMomentRunsOnWaking) {
    window->CheckBox1->setChecked(true);
    window->CheckBoxX[0]->setChecked(true);
    window->EditTime[0]->setText(QStringLiteral("12:00"));
    window->CheckBox4->setChecked(true);
    clock = QDateTime(kMonday, QTime(11, 59, 59));
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return QFile::exists(ScheduleFile()); }, 5000));
    // Only the announcements may check the schedule now.
    window->Timer1->stop();

    ASSERT_TRUE(QFile::remove(ScheduleFile()));
    Announce(true);
    ASSERT_TRUE(QTest::qWaitFor([this] { return QFile::exists(ScheduleFile()); }, 5000));
    EXPECT_EQ(
        ostrivane::ScheduleMemory(dir.filePath(QStringLiteral("state/ostrivane")).toStdString())
            .WatchedUntil(),
        clock);

    clock = QDateTime(kMonday, QTime(12, 40));
    Announce(false);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !notices.isEmpty(); }, 5000));
    EXPECT_EQ(notices, QStringList{"Zmeškaná záloha z 7. 12. 2026 12:00 se provádí nyní."});
}

} // namespace
