// What reaches the user, seen from the desktop: the program and ostrivane-cab run from a copy of
// their folder, with a home of their own, on the private session bus of the test
// (dbus-run-session), where the test itself stands in for the desktop's notification service and
// no notification area exists. A failed headless run is recorded and notified; a run without the
// read-back is not recorded as verified; an old backup, a missed one caught up and a time the
// schedule cannot read are notified at start with the window shown; a backup of another archive
// does not stand for the job's; a second start hands over to the first and ends; and a time saved
// as "13:40:55" is read the same under a Finnish locale.
#include "app/job/InputCheck.h"
#include "app/run/RunHistory.h"
#include "app/schedule/ScheduleMemory.h"
#include "tests/support/Readers.h"
#include "tests/support/Scratch.h"
#include "tests/support/Shell.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iconv.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using ostrivane::run::RunRecord;
using ostrivane::run::RunResult;
using testsupport::Exists;
using testsupport::WriteFile;

struct Notice {
    QString summary;
    QString body;
    int urgency = -1;
};

// org.freedesktop.Notifications as the desktop offers it: every notice is kept.
class StandInNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    std::vector<Notice> notices;

    // The notices whose text holds `part`.
    std::vector<Notice> With(const QString& part) const {
        std::vector<Notice> found;
        for (const Notice& notice : notices) {
            if (notice.body.contains(part))
                found.push_back(notice);
        }
        return found;
    }
    bool WaitFor(const QString& part, int ms = 20000) const {
        return QTest::qWaitFor([&] { return !With(part).empty(); }, ms);
    }
    QString All() const {
        QStringList texts;
        for (const Notice& notice : notices)
            texts.append(notice.body);
        return texts.join(QStringLiteral("\n---\n"));
    }

public slots:
    Q_SCRIPTABLE uint Notify(const QString&, uint, const QString&, const QString& summary,
                             const QString& body, const QStringList&, const QVariantMap& hints,
                             int) {
        notices.push_back({summary, body, hints.value(QStringLiteral("urgency"), -1).toInt()});
        return static_cast<uint>(notices.size());
    }
};

// Windows-1250 bytes of UTF-8 `text`, as the settings file holds them.
std::string Windows1250(const std::string& text) {
    iconv_t cd = ::iconv_open("WINDOWS-1250", "UTF-8");
    std::string in = text;
    std::string out(text.size() * 2 + 16, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    const std::size_t done = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    ::iconv_close(cd);
    EXPECT_NE(done, static_cast<std::size_t>(-1)) << text;
    out.resize(out.size() - outLeft);
    return out;
}

class Notices : public ::testing::Test {
protected:
    void SetUp() override {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            GTEST_SKIP() << "needs a private session bus (run under dbus-run-session)";
        ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                       QDBusConnection::ExportScriptableSlots));
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        // The program's folder, as an installation holds it: its settings file is beside it.
        namespace fs = std::filesystem;
        fs::create_directories(program);
        for (const char* file : {"ostrivane", "ostrivane-cab", "libcabinet.so"})
            fs::copy_file(std::string(OSTRIVANE_BUILD_DIR) + "/" + file, program + "/" + file);
        WriteFile(scratch / "src/dopis.txt", "Vážení,\nzáloha.\n");
        fs::create_directories(destination);
        fs::create_directories(home);
        job = ostrivane::job::JobOfFields(destination, "data.cab");
    }
    void TearDown() override {
        for (auto& copy : copies) {
            if (copy->state() != QProcess::NotRunning) {
                copy->terminate();
                copy->waitForFinished(20000);
            }
        }
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    }

    // The settings file: the source, the destination, the archive "data.cab", and `lines`.
    void WriteSettings(const std::vector<std::string>& lines, const std::string& target = {}) {
        std::string text =
            "[Nastavení]\r\nAdresář zálohy=" + (target.empty() ? destination : target) +
            "\r\nSoubor zálohy=data.cab\r\nHloubka zálohy=2\r\n";
        for (const std::string& line : lines)
            text += line + "\r\n";
        text += "[Archivace]\r\nAdresář 0=" + scratch / "src" + "\r\nPřípona 0=*.*\r\n";
        WriteFile(settings, Windows1250(text));
    }

    QProcessEnvironment Environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(home));
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME", "LC_ALL",
                                 "LC_TIME", "LANGUAGE", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        return environment;
    }

    // Runs ostrivane-cab to its end, serving the bus meanwhile; its exit status (-1: it hung).
    int RunCab(const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment()) {
        QProcess cab;
        cab.setProcessEnvironment(environment.isEmpty() ? Environment() : environment);
        cab.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        cab.start(QString::fromStdString(program + "/ostrivane-cab"), arguments);
        if (!cab.waitForStarted() ||
            !QTest::qWaitFor([&] { return cab.state() == QProcess::NotRunning; }, 120000))
            return -1;
        return cab.exitStatus() == QProcess::NormalExit ? cab.exitCode() : -1;
    }

    // Starts the program with its window shown.
    QProcess& StartProgram(const QProcessEnvironment& environment = QProcessEnvironment()) {
        auto& copy = copies.emplace_back(std::make_unique<QProcess>());
        copy->setProcessEnvironment(environment.isEmpty() ? Environment() : environment);
        copy->setProcessChannelMode(QProcess::ForwardedChannels);
        copy->start(QString::fromStdString(program + "/ostrivane"), {});
        EXPECT_TRUE(copy->waitForStarted());
        return *copy;
    }

    std::vector<RunRecord> History() const {
        return ostrivane::run::RunHistory(home + "/.local/state/ostrivane").Read();
    }
    // Adds a verified run of `runJob` that started `age` ago.
    void RecordRun(const std::string& runJob, std::chrono::system_clock::duration age) {
        RunRecord run;
        run.Job = runJob;
        run.Archive = runJob;
        run.Start = std::chrono::system_clock::now() - age;
        run.End = run.Start + std::chrono::seconds(10);
        run.Origin = ostrivane::run::RunOrigin::Manual;
        run.Result = RunResult::Ok;
        run.Verified = true;
        run.Parts = 1;
        ASSERT_TRUE(ostrivane::run::RunHistory(home + "/.local/state/ostrivane").Append(run));
    }
    // The schedule was last watched `age` ago (the program was closed then).
    void WatchedUntil(qint64 ageSeconds) {
        ostrivane::ScheduleMemory memory(home + "/.local/state/ostrivane");
        memory.SetWatchedUntil(QDateTime::currentDateTime().addSecs(-ageSeconds));
        ASSERT_TRUE(memory.Save());
    }

    const testsupport::Scratch scratch;
    const std::string program = scratch / "program";
    const std::string settings = program + "/Ostrivane.ini";
    const std::string destination = scratch / "Zalohy";
    const std::string home = scratch / "home";
    std::string job;
    StandInNotifications service;
    std::vector<std::unique_ptr<QProcess>> copies;
};

TEST_F(Notices, AHeadlessRunIntoAMissingFolderIsRecordedAsFailedAndNotified) {
    WriteSettings({}, scratch / "not-mounted");
    EXPECT_EQ(RunCab({"--settings", QString::fromStdString(settings)}), 1);
    const std::vector<RunRecord> runs = History();
    ASSERT_EQ(runs.size(), 1u) << "the stopped run left no trace";
    EXPECT_EQ(runs[0].Result, RunResult::Failed);
    EXPECT_FALSE(runs[0].Verified);
    EXPECT_EQ(runs[0].Origin, ostrivane::run::RunOrigin::Command);
    EXPECT_EQ(runs[0].Job, ostrivane::job::JobOfFields(scratch / "not-mounted", "data.cab"));
    const std::string missing = "Neexistuje nebo nebyl vybrán adresář";
    EXPECT_NE(runs[0].Message.find(missing), std::string::npos) << runs[0].Message;
    ASSERT_EQ(service.With(QString::fromStdString(missing)).size(), 1u)
        << service.All().toStdString();
    EXPECT_EQ(service.notices[0].urgency, 2) << "a failure stays until it is seen";

    // A run that fails in the engine (a source folder that went away) is notified as well, also
    // from cron, whose environment names no bus: the bus of the user's runtime folder is found.
    WriteSettings({});
    std::filesystem::remove_all(scratch / "src");
    QProcessEnvironment cron = Environment();
    const QString address = cron.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    const QString prefix = QStringLiteral("unix:path=");
    ASSERT_TRUE(address.startsWith(prefix)) << address.toStdString();
    std::filesystem::create_directories(scratch / "runtime");
    std::filesystem::create_symlink(address.mid(prefix.size()).section(u',', 0, 0).toStdString(),
                                    scratch / "runtime/bus");
    cron.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    cron.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(scratch / "runtime"));
    EXPECT_EQ(RunCab({"--settings", QString::fromStdString(settings)}, cron), 1);
    EXPECT_TRUE(service.WaitFor(QStringLiteral("nebyla dokončena"), 1000))
        << service.All().toStdString();
    EXPECT_EQ(History().back().Result, RunResult::Failed);
}

TEST_F(Notices, ARunWithoutTheReadBackIsNotVerifiedAndAnotherArchiveIsNotTheJobs) {
    const QString sources = QString::fromStdString(scratch / "src/*.*");
    const QString other = QString::fromStdString(scratch / "jinam/jine.cab");
    std::filesystem::create_directories(scratch / "jinam");
    ASSERT_EQ(RunCab({"--no-verify", other, sources}), 0);
    ASSERT_EQ(RunCab({other, sources}), 0);
    std::vector<RunRecord> runs = History();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Result, RunResult::Ok);
    EXPECT_FALSE(runs[0].Verified) << "a run without the read-back was recorded as verified";
    EXPECT_TRUE(runs[1].Verified);
    EXPECT_EQ(runs[1].Job, other.toStdString());
    EXPECT_TRUE(service.notices.empty()) << "a run by hand on the command line reports in place";

    // The schedule on every day an hour ago; the program was closed two days. The backup of
    // another archive since then does not stand for the job's: its moment is caught up at start,
    // and told.
    const QString time = QTime::currentTime().addSecs(-3600).toString(QStringLiteral("HH:mm"));
    std::vector<std::string> lines = {"Automatická záloha=1", "Dodatečná záloha=1"};
    for (const char* day : {"Pondělí", "Úterý", "Středa", "Čtvrtek", "Pátek", "Sobota", "Neděle"}) {
        lines.push_back(std::string(day) + "=1");
        lines.push_back(std::string(day) + " čas=" + time.toStdString());
    }
    WriteSettings(lines);
    WatchedUntil(2 * 24 * 3600);
    StartProgram();
    ASSERT_TRUE(service.WaitFor(QStringLiteral("se provádí nyní"))) << service.All().toStdString();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return History().size() == 3 && History().back().Result != RunResult::Failed; },
        60000))
        << service.All().toStdString();
    runs = History();
    EXPECT_EQ(runs.back().Origin, ostrivane::run::RunOrigin::Missed);
    EXPECT_EQ(runs.back().Job, job);
    EXPECT_TRUE(runs.back().Verified);
    EXPECT_EQ(testsupport::ReadersAccept(destination + "/data.cab"), "");
}

TEST_F(Notices, AnOldBackupIsWarnedOfAtStartWithTheWindowShown) {
    WriteSettings({"Automatická záloha=1"});
    WatchedUntil(60);
    RecordRun(job, std::chrono::hours(8 * 24));
    StartProgram();
    EXPECT_TRUE(service.WaitFor(QStringLiteral("starší než 7 dní"))) << service.All().toStdString();
}

TEST_F(Notices, ATimeTheScheduleCannotReadIsToldAtStart) {
    WriteSettings({"Automatická záloha=1", "Pondělí=1", "Pondělí čas=25:00"});
    StartProgram();
    EXPECT_TRUE(service.WaitFor(QStringLiteral("Pondělí „25:00“"))) << service.All().toStdString();
}

TEST_F(Notices, ASecondStartHandsOverToTheFirstAndEnds) {
    WriteSettings({});
    QProcess& first = StartProgram();
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return bus->isServiceRegistered(QStringLiteral("cz.quenza.Ostrivane")).value(); },
        20000));
    QProcess& second = StartProgram();
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000))
        << "the second copy kept running";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    QTest::qWait(200);
    EXPECT_EQ(first.state(), QProcess::Running);
    const QStringList names =
        bus->registeredServiceNames().value().filter(QStringLiteral("cz.quenza.Ostrivane-"));
    EXPECT_EQ(names, QStringList{QStringLiteral("cz.quenza.Ostrivane-%1").arg(first.processId())});
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(20000));

    // Without a session bus the lock file in the state folder decides.
    QProcessEnvironment noBus = Environment();
    noBus.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    QProcess& alone = StartProgram(noBus);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return testsupport::ReadFile(home + "/.local/state/ostrivane/running.lock") ==
                   std::to_string(alone.processId()) + "\n";
        },
        20000));
    QProcess& again = StartProgram(noBus);
    ASSERT_TRUE(QTest::qWaitFor([&] { return again.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(again.exitCode(), 0);
    EXPECT_EQ(alone.state(), QProcess::Running);
}

TEST_F(Notices, ATimeSavedWithSecondsIsReadUnderAFinnishLocale) {
    // The locale is made for the test alone, where the system has its sources.
    const std::string locales = scratch / "locales";
    std::filesystem::create_directories(locales);
    std::string format;
    if (testsupport::Shell("localedef -i fi_FI -f UTF-8 " + locales + "/fi_FI.UTF-8 2>&1") != 0 ||
        testsupport::Shell("LOCPATH=" + locales + " LC_ALL=fi_FI.UTF-8 locale t_fmt", &format) !=
            0 ||
        format.find("%H.%M") == std::string::npos)
        GTEST_SKIP() << "no Finnish locale can be made here (Debian package locales)";
    WriteSettings({"Automatická záloha=1", "Pondělí=1", "Pondělí čas=13:40:55"});
    QProcessEnvironment environment = Environment();
    environment.insert(QStringLiteral("LANG"), QStringLiteral("fi_FI.UTF-8"));
    environment.insert(QStringLiteral("LOCPATH"), QString::fromStdString(locales));
    EXPECT_EQ(RunCab({"--settings", "--quiet", QString::fromStdString(settings)}, environment), 0);
    ASSERT_EQ(History().size(), 1u);
    EXPECT_TRUE(History()[0].Verified);
    EXPECT_TRUE(service.notices.empty()) << service.All().toStdString();
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

#include "NoticesTest.moc"
