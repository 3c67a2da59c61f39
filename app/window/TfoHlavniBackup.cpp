// One backup run from its start to its end: the input check of a manual run, the rotation of the
// earlier archives, the archive component's set-up, the progress display, cancellation, and
// telling the user what went wrong.
#include "app/run/BackupIntoSeries.h"
#include "app/schedule/TimeOfDay.h"
#include "app/widgets/ApplicationTitle.h"
#include "app/widgets/FolderField.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/RadioGroup.h"
#include "app/window/EngineHooks.h"
#include "app/window/TfoHlavni.h"
#include "cabinet/component/TMakeCab.h"
#include "platform/fs/FileSystem.h"
#include "settings/TextTrim.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>

#include <exception>

using ostrivane::TrimBlanks;

namespace {

const QString kBackupCaption = QStringLiteral("Zálohovat !");
const QString kCancelCaption = QStringLiteral("Z&rušit !");

// Every attribute but the volume label, in the order the run sets them.
constexpr TvrkFileAttr kRunAttributes[] = {fsZeroAttr, fsArchive,  fsDirectory,
                                           fsHidden,   fsReadOnly, fsSysFile};

bool OwnEnabledFlag(const QWidget* widget) {
    // The field's own setting, whatever its panel says: a disabled panel disables its children
    // without touching their own flag.
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

} // namespace

void TfoHlavni::CreateArchiveComponent() {
    MakeCab1 = std::make_unique<TMakeCab>();
    MakeCab1->Name = "MakeCab1";
    MakeCab1->Hooks = ostrivane::ui::MakeEngineHooks(this);
    MakeCab1->OnProgress = [this](TComponent*, std::uint8_t byFile, std::uint8_t byArchive) {
        Zip1Progress(byFile, byArchive);
    };
    // A backup past one cabinet's limits goes on in parts beside the archive.
    MakeCab1->OnGetNextCabinet = [this](TComponent*, CCAB& ccab, std::string& newName, int,
                                        bool& abort) {
        MakeCab1->AnswerWithNextPart(ccab, newName, abort);
    };
    // The engine reports failures only through this event; the run collects them so that the
    // user is told once it is over.
    MakeCab1->OnError = [this](TComponent*, const std::string& fileName,
                               const std::string& extendedMsg, const std::string&, int eCode) {
        if (backupRunning_)
            backupReport_.Add(eCode, fileName, extendedMsg);
    };
}

void TfoHlavni::RequestBackupCancel() {
    MakeCab1->SetCancel(true);
}

void TfoHlavni::SetBackupButtonHandler(void (TfoHlavni::*handler)()) {
    disconnect(backupButtonClick_);
    backupButtonClick_ = connect(BitBtn3, &QPushButton::clicked, this, handler);
}

bool TfoHlavni::KontrolaVstupu() {
    for (std::size_t i = 0; i < EditTime.size(); ++i) {
        QLineEdit* edit = EditTime[i];
        const QString time = TrimBlanks(edit->text());
        if (!OwnEnabledFlag(edit) || ostrivane::IsValidTimeOfDay(time))
            continue;
        ostrivane::ui::ShowMessage(this, QStringLiteral("Zadán špatný formát času ") + time);
        PageControl1->setCurrentWidget(TabSheet2);
        // Behind a switched-off schedule the field cannot take the focus; the master switch
        // that opens the way to it is the nearest control that can.
        if (Panel1->isEnabled())
            edit->setFocus();
        else
            CheckBox1->setFocus();
        return false;
    }
    if (Sources.empty()) {
        ostrivane::ui::ShowMessage(this,
                                   QStringLiteral("Nejsou vybrány žádné soubory do archívu !"));
        PageControl1->setCurrentWidget(TabSheet1);
        BitBtn4->setFocus();
        return false;
    }
    // The emptied text is the root, which leaving the field made of "/".
    const QString destination = ostrivane::ui::FolderOfField(TrimBlanks(Edit9->text()));
    if (!ostrivane::fs::IsDirectory(destination.toStdString())) {
        ostrivane::ui::ShowMessage(
            this,
            QStringLiteral("Neexistuje nebo nebyl vybrán adresář nebo disk pro uložení archívu !"));
        PageControl1->setCurrentWidget(TabSheet1);
        Edit9->setFocus();
        return false;
    }
    if (RadioGroup1->ItemIndex() == 0 && TrimBlanks(Edit8->text()).isEmpty()) {
        ostrivane::ui::ShowMessage(this, QStringLiteral("Nebyl vybrán soubor archívu !"));
        PageControl1->setCurrentWidget(TabSheet1);
        Edit8->setFocus();
        return false;
    }
    if (TrimBlanks(Edit8->text()).isEmpty())
        Edit8->setText(QStringLiteral("MyBackUp"));
    Edit8Exit();
    Edit9Exit();
    return true;
}

void TfoHlavni::BitBtn3Click() {
    if (!KontrolaVstupu())
        return;
    try {
        ZalohujData(TrimBlanks(Edit9->text()) + QLatin1Char('/') + TrimBlanks(Edit8->text()));
    } catch (const std::exception& error) {
        ostrivane::ui::ShowError(this, QString::fromUtf8(error.what()));
    }
}

void TfoHlavni::ConfigureArchiveComponent(const QString& P) {
    TMakeCab& cab = *MakeCab1;
    cab.SetArchiveFile(P.toStdString());
    cab.SetDateAttribute(daFileDate);
    cab.SetStoredDirNames(sdRelativeStoreStart);
    cab.SetRecurseDirs(CheckBox2->isChecked());
    cab.SetTempDir(TempDir.toStdString());
    cab.ExcludeSpec().clear();
    cab.FileSpec().clear();
    for (const TZaloha& source : Sources) {
        const QString folder = TrimBlanks(source.Folder);
        const QString mask = TrimBlanks(source.Mask);
        if (!folder.isEmpty() && !mask.isEmpty())
            cab.FileSpec().push_back(ostrivane::ui::PathInFolder(folder, mask).toStdString());
    }
    for (TvrkFileAttr attr : kRunAttributes)
        cab.SetAttribute(attr, true);
    for (TvrkFileAttr attr : kRunAttributes)
        cab.SetAttributeEx(attr, false);
}

void TfoHlavni::ZalohujData(const QString& P, TRunOrigin origin) {
    // Disabling the controls takes the focus away; the user finds it where it was afterwards.
    const QPointer<QWidget> hadFocus = focusWidget();
    const bool timerWasEnabled = Timer1->isActive();
    Timer1->stop();
    PageControl1->setEnabled(false);
    BitBtn1->setEnabled(false);
    BitBtn7->setEnabled(false);
    BitBtn9->setEnabled(false);
    BitBtn3->setText(kCancelCaption);
    SetBackupButtonHandler(&TfoHlavni::ZrusBaleni);
    backupRunning_ = true;
    backupReport_.Clear();

    std::exception_ptr failure;
    // The lock is held from before the rotation to the end of the archive, so that a second
    // running copy never works on the same series at the same time.
    const std::string problem =
        ostrivane::BackUpIntoSeries(P.toStdString(), Depth, [this, &P, &failure] {
            try {
                ConfigureArchiveComponent(P);
                MakeCab1->Compress();
            } catch (...) {
                failure = std::current_exception();
            }
        });
    if (!problem.empty())
        backupReport_.AddText(problem);

    ostrivane::ui::SetApplicationTitle(ostrivane::ui::kProgramTitle);
    if (timerWasEnabled)
        Timer1->start();
    PageControl1->setEnabled(true);
    BitBtn1->setEnabled(true);
    BitBtn7->setEnabled(true);
    BitBtn9->setEnabled(true);
    BitBtn3->setText(kBackupCaption);
    SetBackupButtonHandler(&TfoHlavni::BitBtn3Click);
    ZrusBaleni();
    backupRunning_ = false;
    if (hadFocus && hadFocus->isEnabled() && hadFocus->isVisible())
        hadFocus->setFocus(Qt::OtherFocusReason);

    if (!backupReport_.Empty())
        TellBackupFailure(P, origin);
    if (failure)
        std::rethrow_exception(failure);
}

void TfoHlavni::Zip1Progress(std::uint8_t ProgressByFile, std::uint8_t ProgressByArchive) {
    ostrivane::ui::SetApplicationTitle(ostrivane::ui::kProgramTitle + QStringLiteral(" - ") +
                                       QString::number(ProgressByArchive) + QLatin1Char('%'));
    Gauge2->setValue(ProgressByFile);
    Gauge1->setValue(ProgressByArchive);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TfoHlavni::ZrusBaleni() {
    *MakeCab1->CancelFlag() = true;
    Gauge1->setValue(0);
    Gauge2->setValue(0);
}

void TfoHlavni::TellBackupFailure(const QString& P, TRunOrigin origin) {
    // Named as the component writes it: a name made of the date and time gets its ".cab".
    std::string archive = P.toStdString();
    if (PathExtension(archive).empty())
        archive += MakeCab1->DefaultExt();
    const QString text = QString::fromStdString(backupReport_.Message(archive));
    if (origin == TRunOrigin::Manual)
        ostrivane::ui::ShowError(this, text);
    else
        ShowScheduledNotice(text);
}

void TfoHlavni::ShowScheduledNotice(const QString& text) {
    if (scheduledNotice_) {
        scheduledNotice_(text);
        return;
    }
    if (InTray_ && trayIcon_) {
        trayIcon_->showMessage(ostrivane::ui::ApplicationTitle(), text, QSystemTrayIcon::Critical,
                               60000);
        return;
    }
    // Not modal, so that the next scheduled second is not held up by an unanswered box.
    auto* box = new QMessageBox(QMessageBox::Critical, ostrivane::ui::ApplicationTitle(), text,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}
