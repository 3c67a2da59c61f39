// Restore from a backup: the button "O&bnova…" and the tray's "O&bnova ze zálohy…" open the
// dialog "Obnova ze zálohy" on the backups of the archive the "Soubory" tab names.
#include "app/dialogs/TfoObnova.h"
#include "app/job/InputCheck.h"
#include "app/widgets/TextTrim.h"
#include "app/window/TfoHlavni.h"

#include <QLineEdit>
#include <QPushButton>

using ostrivane::TrimBlanks;

bool TfoHlavni::RestoreRunning() const {
    return foObnova_ != nullptr && foObnova_->RestoreRunning();
}

void TfoHlavni::BitBtn9Click() {
    if (foObnova_ == nullptr) {
        foObnova_ = new TfoObnova(this);
        foObnova_->SetBackupRunning([this] { return backupRunning_; });
        connect(foObnova_, &TfoObnova::RestoreEnded, this, &TfoHlavni::RestoreEnded);
    }
    // The archive path as the backup button forms it, the name as the input check leaves it.
    const QString archive = QString::fromStdString(ostrivane::job::ArchivePath(
        ostrivane::job::NormalDestination(Edit9->text().toStdString()),
        ostrivane::job::ArchiveNameOfField(Edit8->text().toStdString())));
    std::vector<std::string> folders;
    for (const TZaloha& source : Sources) {
        const QString folder = TrimBlanks(source.Folder);
        if (!folder.isEmpty())
            folders.push_back(folder.toStdString());
    }
    foObnova_->Open(archive, folders);
    foObnova_->exec();
}

void TfoHlavni::pmiObnovaClick() {
    // As the about item: the dialog alone, and the program back in the tray afterwards.
    if (!BitBtn9->isEnabled())
        return;
    RestoreFromTray();
    hide();
    BitBtn9Click();
    formShowPending_ = true;
    show();
    HideToTray();
}
