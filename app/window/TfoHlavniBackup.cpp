// One backup run seen from the window: the input check of a manual run, the window's state while
// the run lasts (controls, title, gauges, timer), progress and cancellation, and telling the user
// what went wrong. The run itself (lock, build, read-back, rotation, placing) is app/run's, on
// the thread of BackupWorker; the window hears of it through queued signals.
#include "app/job/InputCheck.h"
#include "app/job/SettingsBackup.h"
#include "app/run/BackupRun.h"
#include "app/run/RunHistory.h"
#include "app/schedule/TimeOfDayQt.h"
#include "app/widgets/ApplicationTitle.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/RadioGroup.h"
#include "app/widgets/TextTrim.h"
#include "app/window/BackupWorker.h"
#include "app/window/TfoHlavni.h"
#include "cabinet/component/TMakeCab.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <exception>

using ostrivane::TrimBlanks;
using ostrivane::run::RunOrigin;

namespace {

const QString kBackupCaption = QStringLiteral("Zálohovat !");
const QString kCancelCaption = QStringLiteral("Z&rušit !");

bool OwnEnabledFlag(const QWidget* widget) {
    // The field's own setting, whatever its panel says: a disabled panel disables its children
    // without touching their own flag.
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

} // namespace

void TfoHlavni::CreateArchiveComponent() {
    MakeCab1 = std::make_unique<TMakeCab>();
    MakeCab1->Name = "MakeCab1";
    backupWorker_ = new BackupWorker(*MakeCab1, this);
    connect(backupWorker_, &BackupWorker::Progress, this, &TfoHlavni::Zip1Progress);
    connect(backupWorker_, &BackupWorker::Verification, this, &TfoHlavni::ShowVerification);
    connect(backupWorker_, &BackupWorker::Finished, this, &TfoHlavni::BackupEnded);
}

void TfoHlavni::RequestBackupCancel() {
    if (!backupRunning_)
        return;
    // Cancelled, and waited for: its temporary files are gone and the series is as it was.
    backupWorker_->Stop();
    RestoreAfterRun();
}

void TfoHlavni::SetBackupButtonHandler(void (TfoHlavni::*handler)()) {
    disconnect(backupButtonClick_);
    backupButtonClick_ = connect(BitBtn3, &QPushButton::clicked, this, handler);
}

bool TfoHlavni::KontrolaVstupu() {
    ostrivane::job::BackupInput input;
    for (std::size_t i = 0; i < EditTime.size(); ++i) {
        if (OwnEnabledFlag(EditTime[i]))
            input.TickedTimes[i] = EditTime[i]->text().toStdString();
    }
    input.Sources = PlainSources(Sources);
    input.Destination = Edit9->text().toStdString();
    input.ArchiveName = Edit8->text().toStdString();
    input.NameTypedByHand = RadioGroup1->ItemIndex() == 0;
    const ostrivane::job::InputCheck check = ostrivane::job::CheckBackupInput(input);
    using ostrivane::job::InputProblem;
    if (check.Problem != InputProblem::None) {
        lastInputProblem_ = QString::fromStdString(check.Message);
        ostrivane::ui::ShowMessage(this, lastInputProblem_);
        // The tab of the field to put right, and the field itself; behind a switched-off
        // schedule a time field cannot take the focus, and the master switch that opens the way
        // to it is the nearest control that can.
        const bool time = check.Problem == InputProblem::InvalidTime;
        PageControl1->setCurrentWidget(time ? TabSheet2 : TabSheet1);
        QWidget* field =
            check.Problem == InputProblem::NoSources       ? static_cast<QWidget*>(BitBtn4)
            : check.Problem == InputProblem::NoDestination ? Edit9
            : check.Problem == InputProblem::NoArchiveName ? Edit8
            : Panel1->isEnabled()
                ? static_cast<QWidget*>(EditTime[static_cast<std::size_t>(check.Day - 1)])
                : CheckBox1;
        field->setFocus();
        return false;
    }
    if (const QString name = QString::fromStdString(check.ArchiveName); name != Edit8->text())
        Edit8->setText(name);
    if (const QString folder = QString::fromStdString(check.Destination); folder != Edit9->text())
        Edit9->setText(folder);
    return true;
}

void TfoHlavni::BitBtn3Click() {
    if (!KontrolaVstupu()) {
        // The box has told it; the history keeps it as the job's latest, failed run.
        RecordStoppedRun(lastInputProblem_);
        return;
    }
    try {
        ZalohujData(QString::fromStdString(
            ostrivane::job::ArchivePath(Edit9->text().toStdString(), Edit8->text().toStdString())));
    } catch (const std::exception& error) {
        ostrivane::ui::ShowError(this, QString::fromUtf8(error.what()));
    }
}

void TfoHlavni::ZalohujData(const QString& P, RunOrigin origin) {
    if (backupRunning_)
        return;
    // Disabling the controls takes the focus away; the user finds it where it was afterwards.
    focusBeforeRun_ = focusWidget();
    timerWasEnabled_ = Timer1->isActive();
    Timer1->stop();
    PageControl1->setEnabled(false);
    BitBtn1->setEnabled(false);
    BitBtn7->setEnabled(false);
    BitBtn9->setEnabled(false);
    BitBtn3->setText(kCancelCaption);
    SetBackupButtonHandler(&TfoHlavni::ZrusBaleni);
    backupRunning_ = true;

    // A scheduled backup passes no input check: the documents folder is made here for it.
    ostrivane::job::MakeDocumentsDestination(Edit9->text().toStdString());
    ostrivane::run::BackupRequest request;
    request.Archive = P.toStdString();
    request.FileSpec = ostrivane::job::FileSpecLines(PlainSources(Sources));
    request.Recurse = CheckBox2->isChecked();
    for (const QString& pattern : Exclusions)
        request.Exclusions.push_back(pattern.toStdString());
    request.TempDir = TempDir.toStdString();
    request.Depth = Depth;
    request.Origin = origin;
    request.Job = JobOfFields();
    request.HistoryFolder = stateFolder_;
    backupWorker_->Start(std::move(request));
}

void TfoHlavni::BackupEnded() {
    RestoreAfterRun();
    const ostrivane::run::RunOutcome& outcome = backupWorker_->Outcome();
    // A cancel is the user's own doing: its record says so, and nothing more is told.
    if (outcome.Record.Result == ostrivane::run::RunResult::Failed)
        TellBackupFailure(outcome.Record);
    if (!outcome.HistoryWritten)
        TellHistoryNotWritten();
    AfterBackupRun();
}

void TfoHlavni::RestoreAfterRun() {
    backupReport_ = backupWorker_->Outcome().Report;
    ostrivane::ui::SetApplicationTitle(ostrivane::ui::kProgramTitle);
    if (timerWasEnabled_)
        Timer1->start();
    PageControl1->setEnabled(true);
    BitBtn1->setEnabled(true);
    BitBtn7->setEnabled(true);
    BitBtn9->setEnabled(true);
    BitBtn3->setText(kBackupCaption);
    SetBackupButtonHandler(&TfoHlavni::BitBtn3Click);
    ZrusBaleni();
    backupRunning_ = false;
    if (focusBeforeRun_ && focusBeforeRun_->isEnabled() && focusBeforeRun_->isVisible())
        focusBeforeRun_->setFocus(Qt::OtherFocusReason);
}

void TfoHlavni::Zip1Progress(std::uint8_t ProgressByFile, std::uint8_t ProgressByArchive) {
    ostrivane::ui::SetApplicationTitle(ostrivane::ui::kProgramTitle + QStringLiteral(" - ") +
                                       QString::number(ProgressByArchive) + QLatin1Char('%'));
    Gauge2->setValue(ProgressByFile);
    Gauge1->setValue(ProgressByArchive);
}

void TfoHlavni::ShowVerification(std::uint8_t Percent) {
    ostrivane::ui::SetApplicationTitle(ostrivane::ui::kProgramTitle +
                                       QStringLiteral(" - ověřování ") + QString::number(Percent) +
                                       QLatin1Char('%'));
    Gauge2->setValue(Percent);
    Gauge1->setValue(Percent);
}

void TfoHlavni::ZrusBaleni() {
    backupWorker_->Cancel();
    Gauge1->setValue(0);
    Gauge2->setValue(0);
}

void TfoHlavni::TellBackupFailure(const ostrivane::run::RunRecord& record) {
    const QString text = QString::fromStdString(record.Message);
    if (record.Origin == RunOrigin::Manual)
        ostrivane::ui::ShowError(this, text);
    else
        TellFailure(text);
}

void TfoHlavni::RecordStoppedRun(const QString& message) {
    ostrivane::run::BackupRequest request;
    request.Archive = ostrivane::job::ArchivePath(
        ostrivane::job::NormalDestination(Edit9->text().toStdString()),
        ostrivane::job::ArchiveNameOfField(Edit8->text().toStdString()));
    request.Job = JobOfFields();
    request.Origin = RunOrigin::Manual;
    if (!stateFolder_.empty() &&
        !ostrivane::run::RunHistory(stateFolder_)
             .Append(ostrivane::job::StoppedRun(request, message.toStdString())))
        TellHistoryNotWritten();
    ReadRunHistory();
}
