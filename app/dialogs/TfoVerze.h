// The dialog "Verze souboru": every kept version of one file, a row per backup that holds it,
// with the backup's time, the file's size and its own date and time, the newest first. A chosen
// version is restored to its original place or into a folder, or opened to look at; the restore
// dialog that opened it does the work, so the dialog only tells which version and what to do.
#pragma once

#include "app/restore/NameSearch.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QTreeView;

namespace ostrivane::ui {
class FileMatchModel;
}

class TfoVerze : public QDialog {
    Q_OBJECT
public:
    enum class Action { None, RestoreToOriginal, RestoreIntoFolder, Open };

    // Shows `versions` of the file `name` among `backups`, which must stay as they are while the
    // dialog is open.
    TfoVerze(const std::vector<ostrivane::restore::Backup>& backups,
             std::vector<ostrivane::restore::FileRef> versions, const QString& name,
             QWidget* parent = nullptr);

    // What the user chose to do, and with which version (after exec).
    Action Chosen() const { return chosen_; }
    ostrivane::restore::FileRef Version() const { return version_; }
    const std::vector<ostrivane::restore::FileRef>& Versions() const;

    QLabel* Label1;       // "&Verze souboru …"
    QTreeView* ListView1; // the versions
    QPushButton* BitBtn1; // "Obnovit na &původní místo"
    QPushButton* BitBtn2; // "Obnovit &do složky…"
    QPushButton* BitBtn3; // "O&tevřít"
    QPushButton* BitBtn4; // "&Zavřít"

private:
    void Choose(Action action);

    ostrivane::ui::FileMatchModel* model_;
    Action chosen_ = Action::None;
    ostrivane::restore::FileRef version_;
};
