// Real backups from the main window into temporary folders: the input check, the run on its own
// thread and the window's restore after it, the archive series, progress, the window's loop
// during a run, cancellation and closing, failures told to the user, the lock against a second
// copy, and the scheduler tick with an injected clock.
#include "UiTestSupport.h"

#include "app/run/DestinationLock.h"
#include "app/run/RunHistory.h"
#include "app/widgets/ApplicationTitle.h"
#include "app/widgets/FittingLabel.h"
#include "app/widgets/RadioGroup.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TMakeCab.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// 2025-03-03 is a Monday, 2025-03-05 a Wednesday.
const QDate kMonday(2025, 3, 3);
const QDate kWednesday(2025, 3, 5);

struct ToolResult {
    int exitCode = -1;
    QString output;
};

ToolResult RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

QByteArray RandomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (qsizetype i = 0; i + 4 <= size; i += 4) {
        const quint32 value = generator.generate();
        memcpy(bytes.data() + i, &value, 4);
    }
    return bytes;
}

class BackupRun : public ::testing::Test, public uitest::WindowFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(uitest::CabinetReady()) << CabinetLoadError();
        source = MakeFolder(QStringLiteral("Data"));
        destination = MakeFolder(QStringLiteral("Zalohy"));
        uitest::WriteFile(source + "/a.txt", "alpha");
        uitest::WriteFile(source + "/b.bin", RandomBytes(70000));
        TfoHlavni& w = NewWindow();
        w.Sources.push_back({source, QStringLiteral("*.*")});
        w.Edit9->setText(destination);
        w.Edit8->setText(QStringLiteral("data"));
    }

    // A backup by the button, and its end.
    void Backup() {
        window().BitBtn3->click();
        ASSERT_TRUE(uitest::WaitForBackupEnd(window()));
    }

    QString Archive(const QString& name = QStringLiteral("data.cab")) const {
        return destination + "/" + name;
    }

    // The archive passes cabextract's test and lists `names` (cabextract shows the cabinet's
    // "\" separators as "/").
    void ExpectCabinet(const QString& path, const QStringList& names) {
        const ToolResult test = RunTool(QStringLiteral("cabextract"), {"-t", path});
        EXPECT_EQ(test.exitCode, 0) << test.output.toStdString();
        const ToolResult list = RunTool(QStringLiteral("cabextract"), {"-l", path});
        for (const QString& name : names)
            EXPECT_TRUE(list.output.contains(name)) << name.toStdString() << "\n"
                                                    << list.output.toStdString();
    }

    // The window as every run leaves it, whatever happened during the run.
    void ExpectRestored(TfoHlavni& w) {
        EXPECT_FALSE(w.BackupRunning());
        EXPECT_EQ(ostrivane::ui::ApplicationTitle(), QStringLiteral("quenza Ostrivane"));
        EXPECT_TRUE(w.PageControl1->isEnabled());
        EXPECT_TRUE(w.BitBtn1->isEnabled());
        EXPECT_TRUE(w.BitBtn7->isEnabled());
        EXPECT_EQ(w.BitBtn3->text(), QStringLiteral("Zálohovat !"));
        EXPECT_EQ(w.Gauge1->value(), 0);
        EXPECT_EQ(w.Gauge2->value(), 0);
    }

    std::string StateFolder() const { return (Folder() + "/.local/state/ostrivane").toStdString(); }

    QString source;
    QString destination;
    uitest::MessageRecorder messages;
};

TEST_F(BackupRun, AManualBackupWritesACabinetEveryToolAccepts) {
    TfoHlavni& w = window();
    Backup();
    EXPECT_TRUE(messages.shown.empty()) << messages.Texts().join("\n").toStdString();
    ExpectCabinet(Archive(), {"Data/a.txt", "Data/b.bin"});
    const QString out = Folder() + "/out";
    ASSERT_EQ(RunTool(QStringLiteral("cabextract"), {"-q", "-d", out, Archive()}).exitCode, 0);
    EXPECT_EQ(uitest::ReadFile(out + "/Data/b.bin"), uitest::ReadFile(source + "/b.bin"));
    ExpectRestored(w);
    // The input check normalised the name before the run.
    EXPECT_EQ(w.Edit8->text(), QStringLiteral("data.cab"));
}

TEST_F(BackupRun, EveryRunOfTheJobIsRecordedOneTheCheckStoppedToo) {
    TfoHlavni& w = window();
    Backup();
    w.Edit9->setText(destination + "/odpojeno");
    w.BitBtn3->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    const auto runs = ostrivane::run::RunHistory(StateFolder()).Read();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Job, Archive().toStdString());
    EXPECT_TRUE(runs[0].Verified);
    EXPECT_EQ(runs[0].Files, 2);
    EXPECT_EQ(runs[1].Result, ostrivane::run::RunResult::Failed);
    EXPECT_EQ(runs[1].Origin, ostrivane::run::RunOrigin::Manual);
    EXPECT_EQ(runs[1].Job, (destination + "/odpojeno/data.cab").toStdString());
    EXPECT_EQ(runs[1].Message, messages.shown[0].text.toStdString());
    EXPECT_TRUE(w.LastBackupPanel->FullText().startsWith(QStringLiteral("Poslední záloha selhala")))
        << w.LastBackupPanel->FullText().toStdString();
}

TEST_F(BackupRun, EachRunShiftsTheEarlierArchivesAlongTheSeries) {
    TfoHlavni& w = window();
    w.Edit10->setText(QStringLiteral("2"));
    ASSERT_EQ(w.Depth, 2);
    for (int run = 0; run < 3; ++run) {
        uitest::WriteFile(source + "/a.txt", QByteArray("run ") + QByteArray::number(run));
        Backup();
    }
    EXPECT_TRUE(QFileInfo::exists(Archive()));
    EXPECT_TRUE(QFileInfo::exists(Archive("data_1.cab")));
    EXPECT_TRUE(QFileInfo::exists(Archive("data_2.cab")));
    EXPECT_FALSE(QFileInfo::exists(Archive("data_3.cab")));
    const QString out = Folder() + "/oldest";
    ASSERT_EQ(RunTool("cabextract", {"-q", "-d", out, Archive("data_2.cab")}).exitCode, 0);
    EXPECT_EQ(uitest::ReadFile(out + "/Data/a.txt"), QByteArray("run 0"));
}

TEST_F(BackupRun, SubfoldersAreTakenOnlyWhenAsked) {
    TfoHlavni& w = window();
    QDir().mkpath(source + "/Sub");
    uitest::WriteFile(source + "/Sub/c.txt", "gamma");
    Backup();
    ToolResult list = RunTool("cabextract", {"-l", Archive()});
    EXPECT_FALSE(list.output.contains("Sub\\c.txt"));
    w.CheckBox2->setChecked(true);
    Backup();
    ExpectCabinet(Archive(), {"Data/Sub/c.txt", "Data/a.txt"});
}

TEST_F(BackupRun, BlankSourcesLeaveNothingToDoAndTheUserIsTold) {
    TfoHlavni& w = window();
    w.Sources = {{QStringLiteral("  "), QStringLiteral("*.*")}, {source, QStringLiteral(" ")}};
    Backup();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, ostrivane::ui::MessageKind::Error);
    EXPECT_TRUE(messages.shown[0].text.contains("nebyla dokončena"));
    EXPECT_TRUE(messages.shown[0].text.contains("Není co archivovat (25268)"));
    ExpectRestored(w);
}

TEST_F(BackupRun, AFailedRunLeavesTheWindowAsANormalOneAndSaysWhy) {
    TfoHlavni& w = window();
    // A folder where the archive should go is never replaced by the archive.
    QDir().mkpath(Archive());
    w.Timer1->start();
    Backup();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains("Na místě archívu " + Archive() +
                                                " je symbolický odkaz, adresář nebo jiný zvláštní"))
        << messages.shown[0].text.toStdString();
    EXPECT_TRUE(QFileInfo(Archive()).isDir());
    ExpectRestored(w);
    EXPECT_TRUE(w.Timer1->isActive());
    // The next run into a usable place works and reports nothing.
    messages.shown.clear();
    w.Edit8->setText(QStringLiteral("other"));
    Backup();
    EXPECT_TRUE(messages.shown.empty());
    ExpectCabinet(Archive("other.cab"), {"Data/a.txt"});
}

TEST_F(BackupRun, TheCancelButtonStopsARunAndTheNextRunWorks) {
    TfoHlavni& w = window();
    uitest::WriteFile(source + "/big.bin", RandomBytes(24 * 1024 * 1024));
    bool sawCancelCaption = false;
    QTimer::singleShot(0, &w, [&] {
        sawCancelCaption = w.BitBtn3->text() == QStringLiteral("Z&rušit !");
        w.BitBtn3->click();
    });
    Backup();
    EXPECT_TRUE(sawCancelCaption);
    // A cancel is the user's own wish, not an error: recorded as such, and nothing more told.
    EXPECT_TRUE(messages.shown.empty()) << messages.Texts().join("\n").toStdString();
    ExpectRestored(w);
    EXPECT_TRUE(w.LastBackupReport().Empty());
    const auto runs = ostrivane::run::RunHistory(StateFolder()).Read();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Result, ostrivane::run::RunResult::Cancelled);
    EXPECT_EQ(runs[0].Message, "Zrušeno uživatelem");
    EXPECT_FALSE(runs[0].Verified);

    uitest::WriteFile(source + "/big.bin", "small now");
    Backup();
    EXPECT_TRUE(messages.shown.empty());
    ExpectCabinet(Archive(), {"Data/big.bin", "Data/a.txt"});
}

TEST_F(BackupRun, DuringARunTheControlsAreLockedAndProgressIsShown) {
    TfoHlavni& w = window();
    uitest::WriteFile(source + "/big.bin", RandomBytes(4 * 1024 * 1024));
    // What the window shows whenever the lower gauge moves (the last thing each report sets).
    struct Shown {
        QString title;
        int gauge1;
        int gauge2;
    };
    std::vector<Shown> shown;
    const QMetaObject::Connection watching =
        QObject::connect(w.Gauge1, &QProgressBar::valueChanged, [&](int value) {
            shown.push_back({ostrivane::ui::ApplicationTitle(), value, w.Gauge2->value()});
        });
    w.BitBtn3->click();
    EXPECT_TRUE(!w.PageControl1->isEnabled() && !w.BitBtn1->isEnabled() &&
                !w.BitBtn7->isEnabled() && !w.BitBtn9->isEnabled() && w.BitBtn2->isEnabled() &&
                !w.Timer1->isActive());
    EXPECT_EQ(w.BitBtn3->text(), QStringLiteral("Z&rušit !"));
    ASSERT_TRUE(uitest::WaitForBackupEnd(w));
    QObject::disconnect(watching);
    ExpectRestored(w);

    // The packing's share of the whole backup up to 100 %, then the read-back as a phase of its
    // own, both gauges showing its share; then the title of the idle program.
    QStringList titles;
    for (const Shown& one : shown)
        titles << one.title;
    const qsizetype packed = titles.indexOf(QStringLiteral("quenza Ostrivane - 100%"));
    const qsizetype checking = titles.indexOf(QStringLiteral("quenza Ostrivane - ověřování 0%"));
    const qsizetype checked = titles.indexOf(QStringLiteral("quenza Ostrivane - ověřování 100%"));
    ASSERT_GE(packed, 0) << titles.join('|').toStdString();
    EXPECT_EQ(shown[static_cast<std::size_t>(packed)].gauge1, 100);
    EXPECT_LT(packed, checking);
    ASSERT_LT(checking, checked) << titles.join('|').toStdString();
    for (qsizetype i = checking; i <= checked; ++i) {
        const Shown& one = shown[static_cast<std::size_t>(i)];
        EXPECT_EQ(one.title, QStringLiteral("quenza Ostrivane - ověřování %1%").arg(one.gauge1));
        EXPECT_EQ(one.gauge2, one.gauge1);
    }
    EXPECT_EQ(titles.last(), QStringLiteral("quenza Ostrivane"));
}

// The backup runs beside the window's event loop: a timer on the window's thread keeps its rate,
// the progress reaches the gauges, and the cancel button reaches the run, which leaves the
// archive and its earlier copy exactly as they were.
TEST_F(BackupRun, DuringABackupTheWindowAnswersAndItsCancelLeavesTheSeriesAsItWas) {
    TfoHlavni& w = window();
    w.Edit10->setText(QStringLiteral("2"));
    Backup();
    uitest::WriteFile(source + "/a.txt", "second");
    Backup();
    const QByteArray archive = uitest::ReadFile(Archive());
    const QByteArray copy = uitest::ReadFile(Archive("data_1.cab"));
    ASSERT_NE(archive, copy);
    uitest::WriteFile(source + "/big.bin", RandomBytes(96 * 1024 * 1024));

    constexpr int kBeatMs = 20;
    QTimer beat;
    beat.setInterval(kBeatMs);
    QElapsedTimer sinceLast;
    int beats = 0;
    qint64 longestGap = 0;
    bool cancelled = false;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceLast.restart());
        ++beats;
        // Once the progress shows on the gauge, the user cancels.
        if (!cancelled && beats >= 5 && w.Gauge1->value() > 0) {
            cancelled = true;
            w.BitBtn3->click();
        }
    });
    w.BitBtn3->click();
    sinceLast.start();
    beat.start();
    ASSERT_TRUE(uitest::WaitForBackupEnd(w));
    beat.stop();

    EXPECT_TRUE(cancelled) << "the run ended before it could be cancelled";
    EXPECT_GE(beats, 5);
    EXPECT_LT(longestGap, 500) << "the window's loop stood still during the backup";
    EXPECT_TRUE(messages.shown.empty()) << messages.Texts().join("\n").toStdString();
    ExpectRestored(w);
    EXPECT_EQ(uitest::ReadFile(Archive()), archive);
    EXPECT_EQ(uitest::ReadFile(Archive("data_1.cab")), copy);
    EXPECT_FALSE(QFileInfo::exists(Archive("data_2.cab")));
    EXPECT_EQ(QDir(destination).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << QDir(destination).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
    const auto runs =
        ostrivane::run::RunHistory(Folder().toStdString() + "/.local/state/ostrivane").Read();
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.back().Result, ostrivane::run::RunResult::Cancelled);
}

TEST_F(BackupRun, ProgressGoesToTheGaugesAndOnlyTheArchiveShareToTheTitle) {
    TfoHlavni& w = window();
    w.Zip1Progress(37, 0);
    EXPECT_EQ(ostrivane::ui::ApplicationTitle(), QStringLiteral("quenza Ostrivane - 0%"));
    EXPECT_EQ(w.Gauge2->value(), 37);
    EXPECT_EQ(w.Gauge1->value(), 0);
    w.Zip1Progress(5, 100);
    EXPECT_EQ(ostrivane::ui::ApplicationTitle(), QStringLiteral("quenza Ostrivane - 100%"));
    w.ZrusBaleni();
    EXPECT_EQ(w.Gauge1->value(), 0);
    EXPECT_EQ(w.Gauge2->value(), 0);
    EXPECT_TRUE(w.MakeCab1->GetCancel());
    ostrivane::ui::SetApplicationTitle(ostrivane::ui::kProgramTitle);
}

TEST_F(BackupRun, AnotherCopyBackingUpThereLeavesTheSeriesAlone) {
    TfoHlavni& w = window();
    uitest::WriteFile(Archive(), "earlier archive");
    const ostrivane::DestinationLock otherCopy(Archive().toStdString());
    ASSERT_TRUE(otherCopy.Held());
    Backup();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains("jiná spuštěná kopie"));
    EXPECT_EQ(uitest::ReadFile(Archive()), QByteArray("earlier archive"));
    EXPECT_FALSE(QFileInfo::exists(Archive("data_1.cab")));
    ExpectRestored(w);
}

TEST_F(BackupRun, ClosingDuringARunCancelsItWaitsForItAndSavesTheSettings) {
    TfoHlavni& w = window();
    uitest::WriteFile(source + "/big.bin", RandomBytes(24 * 1024 * 1024));
    bool closed = false;
    QObject::connect(&w, &TfoHlavni::Closed, [&] {
        closed = true;
        // The run is over by the time the window is closed.
        EXPECT_FALSE(w.BackupRunning());
    });
    w.show();
    w.BitBtn3->click();
    ASSERT_TRUE(w.BackupRunning());
    QTimer::singleShot(0, &w, [&] { w.close(); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, 60000));
    EXPECT_TRUE(QFileInfo::exists(SettingsPath()));
    EXPECT_TRUE(messages.shown.empty());
    // No report of the run that was still on its way comes after it.
    QTest::qWait(100);
    ExpectRestored(w);
    // Nothing of the cancelled run is left.
    EXPECT_TRUE(QDir(destination).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

class InputCheck : public BackupRun {};

TEST_F(InputCheck, AnInvalidTimeOfATickedDayStopsTheRunOnTheScheduleTab) {
    TfoHlavni& w = window();
    w.CheckBox1->setChecked(true);
    w.CheckBoxX[2]->setChecked(true);
    w.EditTime[2]->setText(QStringLiteral(" 25:00 "));
    ShowActive();
    EXPECT_FALSE(w.KontrolaVstupu());
    ASSERT_EQ(messages.Texts(), QStringList{QStringLiteral("Zadán špatný formát času 25:00")});
    EXPECT_EQ(w.PageControl1->currentWidget(), w.TabSheet2);
    EXPECT_TRUE(w.EditTime[2]->hasFocus());
    EXPECT_FALSE(QFileInfo::exists(Archive()));
}

TEST_F(InputCheck, BehindASwitchedOffScheduleTheFocusGoesToTheSwitch) {
    TfoHlavni& w = window();
    w.CheckBoxX[0]->setChecked(true);
    w.EditTime[0]->setText(QStringLiteral("x"));
    w.CheckBox1->setChecked(false);
    ShowActive();
    EXPECT_FALSE(w.KontrolaVstupu());
    EXPECT_EQ(w.PageControl1->currentWidget(), w.TabSheet2);
    EXPECT_TRUE(w.CheckBox1->hasFocus());
}

TEST_F(InputCheck, AnUntickedDayIsNotChecked) {
    TfoHlavni& w = window();
    w.CheckBoxX[4]->setChecked(false);
    w.EditTime[4]->setText(QStringLiteral("garbage"));
    EXPECT_TRUE(w.KontrolaVstupu());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(InputCheck, NoSourcesMissingFolderAndMissingNameAreRefusedInThatOrder) {
    TfoHlavni& w = window();
    ShowActive();
    w.Sources.clear();
    w.Edit9->setText(Folder() + "/missing");
    EXPECT_FALSE(w.KontrolaVstupu());
    EXPECT_EQ(messages.Texts().last(), QStringLiteral("Nejsou vybrány žádné soubory do archívu !"));
    EXPECT_TRUE(w.BitBtn4->hasFocus());

    w.Sources.push_back({source, QStringLiteral("*.*")});
    EXPECT_FALSE(w.KontrolaVstupu());
    EXPECT_EQ(
        messages.Texts().last(),
        QStringLiteral("Neexistuje nebo nebyl vybrán adresář nebo disk pro uložení archívu !"));
    EXPECT_TRUE(w.Edit9->hasFocus());

    w.Edit9->setText(destination + "/");
    w.Edit8->setText(QStringLiteral("  "));
    w.RadioGroup1->SetItemIndex(0);
    EXPECT_FALSE(w.KontrolaVstupu());
    EXPECT_EQ(messages.Texts().last(), QStringLiteral("Nebyl vybrán soubor archívu !"));
    EXPECT_EQ(w.PageControl1->currentWidget(), w.TabSheet1);
    EXPECT_TRUE(w.Edit8->hasFocus());
}

TEST_F(InputCheck, ANameMadeFromTheDateNeedsNoTypedNameAndGetsADefault) {
    TfoHlavni& w = window();
    w.Edit8->setText(QString());
    w.Edit9->setText(destination + "/");
    w.RadioGroup1->SetItemIndex(1);
    EXPECT_TRUE(w.KontrolaVstupu());
    EXPECT_EQ(w.Edit8->text(), QStringLiteral("MyBackUp.cab"));
    EXPECT_EQ(w.Edit9->text(), destination);
}

class Scheduler : public BackupRun {
protected:
    void SetUp() override {
        BackupRun::SetUp();
        TfoHlavni& w = window();
        w.CheckBox1->setChecked(true);
        w.SetFailureNotice([this](const QString& text) { notices.append(text); });
    }
    // A tick at `time`, one second after the tick before it: a moment runs on the tick that is
    // the first at or after it. Returns once the run it started (if any) has ended.
    void TickAt(const QDate& date, const QTime& time) {
        const QDateTime now(date, time);
        for (const QDateTime& at : {now.addSecs(-1), now}) {
            window().SetClock([at] { return at; });
            window().Timer1Timer();
        }
        ASSERT_TRUE(uitest::WaitForBackupEnd(window()));
    }
    QStringList notices;
};

TEST_F(Scheduler, TheTimerTicksEverySecondPreciselyWhileTheSwitchIsOn) {
    TfoHlavni& w = window();
    EXPECT_EQ(w.Timer1->interval(), 1000);
    EXPECT_EQ(w.Timer1->timerType(), Qt::PreciseTimer);
    EXPECT_TRUE(w.Timer1->isActive());
    w.CheckBox1->setChecked(false);
    EXPECT_FALSE(w.Timer1->isActive());
}

TEST_F(Scheduler, TheScheduledSecondOfTodayRunsOnce) {
    TfoHlavni& w = window();
    w.CheckBoxX[0]->setChecked(true);
    w.EditTime[0]->setText(QStringLiteral("12:00"));
    TickAt(kMonday, QTime(11, 59, 59));
    EXPECT_FALSE(QFileInfo::exists(Archive()));
    TickAt(kMonday, QTime(12, 0, 0));
    ExpectCabinet(Archive(), {"Data/a.txt"});
    EXPECT_TRUE(w.Timer1->isActive());
    // Its second again (the clock put back by one) does not run it again.
    QFile::remove(Archive());
    TickAt(kMonday, QTime(12, 0, 0));
    EXPECT_FALSE(QFileInfo::exists(Archive()));
    // The next day is not ticked.
    TickAt(kMonday.addDays(1), QTime(12, 0, 0));
    EXPECT_FALSE(QFileInfo::exists(Archive()));
    EXPECT_TRUE(notices.isEmpty());
}

TEST_F(Scheduler, SecondsCount) {
    TfoHlavni& w = window();
    w.CheckBoxX[0]->setChecked(true);
    w.EditTime[0]->setText(QStringLiteral("12:00:30"));
    TickAt(kMonday, QTime(12, 0, 0));
    EXPECT_FALSE(QFileInfo::exists(Archive()));
    TickAt(kMonday, QTime(12, 0, 30, 900));
    EXPECT_TRUE(QFileInfo::exists(Archive()));
}

TEST_F(Scheduler, AnInvalidTimeOrAnUntickedDayNeverRuns) {
    TfoHlavni& w = window();
    w.CheckBoxX[0]->setChecked(true);
    w.EditTime[0]->setText(QStringLiteral("12:00 h"));
    TickAt(kMonday, QTime(12, 0, 0));
    w.CheckBoxX[0]->setChecked(false);
    w.EditTime[0]->setText(QStringLiteral("12:00"));
    TickAt(kMonday, QTime(12, 0, 0));
    EXPECT_FALSE(QFileInfo::exists(Archive()));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(notices.isEmpty());
}

TEST_F(Scheduler, TheDateAndTimeNameHasNoExtensionAndTheCabinetGetsOne) {
    TfoHlavni& w = window();
    w.RadioGroup1->SetItemIndex(1);
    w.CheckBoxX[2]->setChecked(true);
    w.EditTime[2]->setText(QStringLiteral("7:09"));
    TickAt(kWednesday, QTime(7, 9, 0));
    ExpectCabinet(Archive("202503050709.cab"), {"Data/a.txt"});
    EXPECT_FALSE(QFileInfo::exists(Archive("202503050709")));
}

TEST_F(Scheduler, TheTypedNameIsUsedAsItStands) {
    TfoHlavni& w = window();
    w.Edit8->setText(QStringLiteral(" Záloha.zip "));
    w.CheckBoxX[6]->setChecked(true);
    w.EditTime[6]->setText(QStringLiteral("23:59:59"));
    TickAt(kMonday.addDays(6), QTime(23, 59, 59));
    ExpectCabinet(Archive("Záloha.zip"), {"Data/a.txt"});
    EXPECT_EQ(w.Edit8->text(), QStringLiteral(" Záloha.zip "));
}

TEST_F(Scheduler, AFailedScheduledRunIsToldWithoutAModalBox) {
    TfoHlavni& w = window();
    w.Edit9->setText(Folder() + "/gone");
    w.RadioGroup1->SetItemIndex(1);
    w.CheckBoxX[0]->setChecked(true);
    w.EditTime[0]->setText(QStringLiteral("8"));
    TickAt(kMonday, QTime(8, 0, 0));
    ASSERT_EQ(notices.size(), 1);
    // The archive is named as the component writes it, with its ".cab".
    EXPECT_TRUE(notices[0].contains("Záloha do archívu " + Folder() + "/gone/202503030800.cab "))
        << notices[0].toStdString();
    EXPECT_TRUE(notices[0].contains("nebyla dokončena"));
    EXPECT_TRUE(notices[0].contains("Adresář nebo disk není přístupný (25170)"));
    EXPECT_TRUE(messages.shown.empty());
    ExpectRestored(w);
}

} // namespace
