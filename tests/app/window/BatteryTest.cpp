// Scheduled backups and the battery, against a stand-in UPower on a private bus that also stands
// in for the system bus (the suite runs under dbus-run-session): a moment that falls while the
// computer runs on battery passes without a backup, which runs, as a missed one and told as such,
// once OnBattery turns false; with CheckBox5 ticked it runs on time on battery; a backup by hand
// runs on battery whatever the box says; a moment held back is caught up after the program was
// closed meanwhile; UPower missing at start, or coming and going, is followed. Every backup is
// checked with cabextract.
#include "UiTestSupport.h"

#include "app/run/RunHistory.h"
#include "app/window/BatteryPower.h"
#include "cabinet/component/CabinetLibrary.h"
#include "tests/support/Readers.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QVariantMap>

#include <gtest/gtest.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower");
// 2026-12-07 is a Monday.
const QDate kMonday(2026, 12, 7);

// UPower's OnBattery, answered through the bus's Properties interface and announced through
// PropertiesChanged, as the daemon does.
class StandInUPower : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UPower")
    Q_PROPERTY(bool OnBattery READ OnBattery)

public:
    explicit StandInUPower(bool onBattery) : onBattery_(onBattery) {
        registered_ = bus_.isConnected() &&
                      bus_.registerObject(kPath, this, QDBusConnection::ExportAllProperties) &&
                      bus_.interface()->registerService(kService).value() ==
                          QDBusConnectionInterface::ServiceRegistered;
    }
    ~StandInUPower() override {
        bus_.interface()->unregisterService(kService);
        bus_.unregisterObject(kPath);
        QDBusConnection::disconnectFromBus(QStringLiteral("upower"));
    }

    bool Registered() const { return registered_; }
    bool OnBattery() const { return onBattery_; }
    bool Announce(bool onBattery) {
        onBattery_ = onBattery;
        QDBusMessage signal =
            QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                       QStringLiteral("PropertiesChanged"));
        signal << kService << QVariantMap{{QStringLiteral("OnBattery"), onBattery}}
               << QStringList();
        return bus_.send(signal);
    }

private:
    QDBusConnection bus_ =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("upower"));
    bool registered_ = false;
    bool onBattery_;
};

class Battery : public ::testing::Test, public uitest::WindowFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::systemBus().isConnected()) << "no bus";
        if (!CabinetLoaded()) {
            ASSERT_TRUE(LoadCabinetLibrary(OSTRIVANE_BUILD_DIR "/libcabinet.so"))
                << CabinetLoadError();
        }
        source = MakeFolder(QStringLiteral("Data"));
        destination = MakeFolder(QStringLiteral("Zalohy"));
        uitest::WriteFile(source + "/a.txt", "alpha");
        uitest::WriteFile(source + "/b.txt", QByteArray(50000, 'b'));
        // Mondays at 12:00 into data.cab; missed backups caught up, the battery box as it
        // comes.
        uitest::WriteIniFile(SettingsPath(), {"[Nastavení]", "Adresář zálohy=" + destination,
                                              "Soubor zálohy=data.cab", "Automatická záloha=1",
                                              "Pondělí=1", "Pondělí čas=12:00", "[Archivace]",
                                              "Adresář 0=" + source, "Přípona 0=*.*"});
    }

    // The program started at `now` with UPower saying `onBattery`, once it has the answer; the
    // timer is stopped so that the test makes the ticks.
    TfoHlavni& StartAt(const QDateTime& now, bool onBattery) {
        upower.reset();
        upower = std::make_unique<StandInUPower>(onBattery);
        EXPECT_TRUE(upower->Registered());
        clock = now;
        TfoHlavni& w = NewWindow();
        w.SetClock([this] { return clock; });
        w.SetNotice([this](const QString& text) { notices.append(text); });
        w.SetFailureNotice([this](const QString& text) { failures.append(text); });
        w.show();
        auto* power = w.findChild<BatteryPower*>();
        EXPECT_NE(power, nullptr);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return power != nullptr && !power->Asking() && power->OnBattery() == onBattery; },
            10000));
        w.Timer1->stop();
        // The first check, after the answer.
        QTest::qWait(50);
        return w;
    }

    // A tick at `at`.
    void TickAt(const QDateTime& at) {
        clock = at;
        window().Timer1Timer();
    }

    QString Archive(const QString& name = QStringLiteral("data.cab")) const {
        return destination + "/" + name;
    }

    // The archive holds the two files, as cabextract reads them.
    void ExpectBackup(const QString& archive) {
        const std::string path = archive.toStdString();
        EXPECT_TRUE(testsupport::CabextractAccepts(path)) << path;
        EXPECT_EQ(testsupport::CabextractNames(path),
                  (std::set<std::string>{"Data/a.txt", "Data/b.txt"}));
        EXPECT_EQ(testsupport::CabextractFile(path, "Data/a.txt"), "alpha");
    }

    std::vector<ostrivane::run::RunRecord> Runs() const {
        return ostrivane::run::RunHistory((Folder() + "/.local/state/ostrivane").toStdString())
            .Read();
    }

    std::unique_ptr<StandInUPower> upower;
    QString source;
    QString destination;
    QDateTime clock;
    QStringList notices;
    QStringList failures;
    uitest::MessageRecorder messages;
};

TEST_F(Battery, AMomentOnBatteryWaitsAndRunsAsMissedOnceThePowerReturns) {
    TfoHlavni& w = StartAt(QDateTime(kMonday, QTime(11, 59, 58)), true);
    EXPECT_FALSE(w.CheckBox5->isChecked());
    TickAt(QDateTime(kMonday, QTime(11, 59, 59)));
    TickAt(QDateTime(kMonday, QTime(12, 0)));
    TickAt(QDateTime(kMonday, QTime(12, 0, 1)));
    TickAt(QDateTime(kMonday, QTime(12, 5)));
    QTest::qWait(100);
    EXPECT_FALSE(w.BackupRunning());
    EXPECT_FALSE(QFile::exists(Archive()));
    EXPECT_TRUE(Runs().empty());
    EXPECT_TRUE(notices.isEmpty()) << notices.join('\n').toStdString();

    // The power returns: no tick needed, the announcement starts the backup.
    clock = QDateTime(kMonday, QTime(12, 7));
    ASSERT_TRUE(upower->Announce(false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.BackupRunning() || !Runs().empty(); }, 10000));
    ASSERT_TRUE(uitest::WaitForBackupEnd(w));
    EXPECT_EQ(notices,
              QStringList{"Záloha z 7. 12. 2026 12:00 čekala na připojení napájení. Provádí se "
                          "nyní."});
    EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();
    ExpectBackup(Archive());
    const auto runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Origin, ostrivane::run::RunOrigin::Missed);
    EXPECT_EQ(runs[0].Result, ostrivane::run::RunResult::Ok);

    // Once only, and back on battery nothing more happens.
    ASSERT_TRUE(upower->Announce(true));
    TickAt(QDateTime(kMonday, QTime(12, 8)));
    ASSERT_TRUE(upower->Announce(false));
    QTest::qWait(100);
    TickAt(QDateTime(kMonday, QTime(12, 9)));
    EXPECT_FALSE(w.BackupRunning());
    EXPECT_EQ(Runs().size(), 1u);
}

TEST_F(Battery, AllowedOnBatteryTheMomentRunsOnTimeAndABackupByHandAlwaysRuns) {
    TfoHlavni& w = StartAt(QDateTime(kMonday, QTime(11, 59, 58)), true);
    w.CheckBox5->setChecked(true);
    TickAt(QDateTime(kMonday, QTime(11, 59, 59)));
    TickAt(QDateTime(kMonday, QTime(12, 0)));
    ASSERT_TRUE(uitest::WaitForBackupEnd(w));
    EXPECT_TRUE(notices.isEmpty()) << notices.join('\n').toStdString();
    ExpectBackup(Archive());
    ASSERT_EQ(Runs().size(), 1u);
    EXPECT_EQ(Runs()[0].Origin, ostrivane::run::RunOrigin::Scheduled);
    // The choice is kept in the settings file.
    ASSERT_TRUE(w.UlozNastaveni());
    EXPECT_EQ(uitest::RawValue(SettingsPath(), QStringLiteral("Nastavení"),
                               QStringLiteral("Záloha na baterii")),
              QStringLiteral("1"));

    // Not allowed any more, still on battery: the button backs up all the same.
    w.CheckBox5->setChecked(false);
    clock = QDateTime(kMonday, QTime(12, 30));
    w.BitBtn3->click();
    ASSERT_TRUE(uitest::WaitForBackupEnd(w));
    EXPECT_TRUE(messages.shown.empty()) << messages.Texts().join('\n').toStdString();
    ExpectBackup(Archive());
    ExpectBackup(Archive(QStringLiteral("data_1.cab")));
    ASSERT_EQ(Runs().size(), 2u);
    EXPECT_EQ(Runs()[1].Origin, ostrivane::run::RunOrigin::Manual);
}

TEST_F(Battery, AMomentHeldBackIsCaughtUpAfterTheProgramWasClosedMeanwhile) {
    StartAt(QDateTime(kMonday, QTime(11, 59, 58)), true);
    TickAt(QDateTime(kMonday, QTime(11, 59, 59)));
    TickAt(QDateTime(kMonday, QTime(12, 0, 1)));
    TickAt(QDateTime(kMonday, QTime(12, 3)));
    EXPECT_FALSE(QFile::exists(Archive()));

    // Closed on battery; started again later on mains power.
    ASSERT_TRUE(window().close());
    TfoHlavni& w = StartAt(QDateTime(kMonday, QTime(14, 0)), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Runs().empty(); }, 10000));
    ASSERT_TRUE(uitest::WaitForBackupEnd(w));
    EXPECT_EQ(notices, QStringList{"Zmeškaná záloha z 7. 12. 2026 12:00 se provádí nyní."});
    ExpectBackup(Archive());
    ASSERT_EQ(Runs().size(), 1u);
    EXPECT_EQ(Runs()[0].Origin, ostrivane::run::RunOrigin::Missed);
}

TEST_F(Battery, WithoutUPowerNothingWaitsAndAServiceThatComesLaterIsFollowed) {
    // No UPower when the program starts: mains power, at once.
    TfoHlavni& w = NewWindow();
    auto* power = w.findChild<BatteryPower*>();
    ASSERT_NE(power, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !power->Asking(); }, 10000));
    EXPECT_FALSE(power->OnBattery());

    // It starts later, on battery; then the power comes and goes; then it stops.
    upower = std::make_unique<StandInUPower>(true);
    ASSERT_TRUE(upower->Registered());
    EXPECT_TRUE(QTest::qWaitFor([&] { return power->OnBattery(); }, 10000));
    ASSERT_TRUE(upower->Announce(false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !power->OnBattery(); }, 10000));
    ASSERT_TRUE(upower->Announce(true));
    EXPECT_TRUE(QTest::qWaitFor([&] { return power->OnBattery(); }, 10000));
    upower.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !power->OnBattery(); }, 10000));
}

} // namespace

#include "BatteryTest.moc"
