// The restore dialog "Obnova ze zálohy": the backups of the archive the "Soubory" tab names
// (newest first, damaged ones marked), the chosen backup's files as a tree of folders, a search
// through its names or those of every backup (ignoring case and accents, the results sorted by
// any column), and the restore of the chosen files to their original place or into a folder,
// never overwriting anything and leaving files identical to the backup's alone, with progress
// (the file being written, the time left) and a cancel button; a whole backup or more than a
// handful of files is put back to its original place only once the user has confirmed it. The
// versions of one file, a copy of a file opened to look at, and the test of a backup. Created
// once and kept, so that its size and splitter stay as the user left them for the program's run;
// the backups it read are let go of as it closes.
#pragma once

#include "app/restore/BackupCatalog.h"
#include "app/restore/BackupCheck.h"
#include "app/restore/NameSearch.h"
#include "app/restore/OriginalPlaces.h"
#include "app/restore/RestoreChoice.h"
#include "app/restore/TimeLeft.h"
#include "app/restore/ViewCopy.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QAbstractItemModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTreeView;

namespace ostrivane::ui {
class BackgroundWork;
class BackupListModel;
class BackupTreeModel;
class FileMatchModel;
} // namespace ostrivane::ui

class TfoObnova : public QDialog {
    Q_OBJECT
public:
    explicit TfoObnova(QWidget* parent = nullptr);
    ~TfoObnova() override;

    // Reads the backups of the archive path `archive` anew and selects the newest.
    // `sourceFolders` are today's source folders, which place the files of a backup made
    // without the record of its sources.
    void Open(const QString& archive, const std::vector<std::string>& sourceFolders);

    // True while a restore or a test of a backup runs.
    bool RestoreRunning() const;
    // Says whether a backup runs now; no restore or test starts then.
    void SetBackupRunning(std::function<bool()> probe) { backupRunning_ = std::move(probe); }

    QLabel* Label1;       // "Zá&lohy archivu"
    QTreeView* ListView1; // the backups
    QLabel* Label2;       // "&Hledat:"
    QLineEdit* Edit1;     // the search
    QCheckBox* CheckBox1; // "Hledat ve &všech zálohách"
    QLabel* Label3;       // "&Soubory:"
    QTreeView* TreeView1; // the files
    QSplitter* Splitter1; // between the backups and the files
    QProgressBar* Gauge1; // the progress of a restore or a test
    QLabel* Label4;       // what is shown or what runs
    QPushButton* BitBtn1; // "Obnovit na &původní místo"
    QPushButton* BitBtn2; // "Obnovit &do složky…"
    QPushButton* BitBtn3; // "&Ověřit zálohu"
    QPushButton* BitBtn6; // "V&erze souboru…": every kept version of the chosen file
    QPushButton* BitBtn7; // "O&tevřít": a copy of the chosen file in its application
    QPushButton* BitBtn4; // "Z&rušit": stops a restore or a test
    QPushButton* BitBtn5; // "&Zavřít"

public slots:
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click();
    // The search text or the scope changed: the files shown follow.
    void Edit1Change();

signals:
    // A restore or a test ended (the scheduler waits for it while it runs).
    void RestoreEnded();

protected:
    // Escape and the close box: while work runs they stop it, and the dialog stays.
    void reject() override;
    // Closing lets go of the backups read and of everything shown of them.
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The files a restore takes: per backup, its files (empty: all of them).
    using Choice = ostrivane::restore::BackupChoice;
    std::vector<Choice> ChosenFiles() const;
    const ostrivane::restore::Backup* CurrentBackup() const;
    int CurrentRow() const;
    void ShowFiles();
    void SetViewModel(QAbstractItemModel* model, bool tree);
    // Whether work may start now; the user is told why not.
    bool MayStart();
    // What a restore is to take, when one may start; nothing (the user told why) otherwise.
    std::vector<Choice> ChoiceToRestore();
    // The file of the current row of the files, when it is one.
    std::optional<ostrivane::restore::FileRef> CurrentFile() const;
    // Restores `choice` to where its files came from, after asking when it is a whole backup or
    // more than a handful of files.
    void RestoreToOriginalPlaces(std::vector<Choice> choice);
    void RestoreIntoFolder(std::vector<Choice> choice);
    void StartRestore(std::vector<Choice> choice, const std::string& folder);
    // Copies the file `ref` into a private folder and opens it with the desktop's application.
    void StartOpen(ostrivane::restore::FileRef ref);
    // Lets go of the catalog, the search and the models' copies of them, and gives the memory
    // back to the system.
    void ReleaseCatalog();
    // The view of the files, sorted by `sortColumn` in `order`, and its context menu.
    QTreeView* MakeFileView(QWidget* parent, int sortColumn, Qt::SortOrder order);
    void AddFileActions();
    // Puts a new view of the files in the place of the old one, which goes with its memory.
    void RenewFileView();
    void BeginWork(const QString& what, std::uint64_t total);
    void EndWork();
    void ShowProgress(quint64 done);

    std::vector<ostrivane::restore::Backup> backups_;
    std::unique_ptr<ostrivane::restore::NameSearch> search_;
    std::vector<std::string> sourceFolders_;
    QString archive_;
    std::function<bool()> backupRunning_;

    ostrivane::ui::BackupListModel* backupModel_;
    ostrivane::ui::BackupTreeModel* treeModel_;
    ostrivane::ui::FileMatchModel* matchModel_;
    ostrivane::ui::BackgroundWork* work_;
    std::uint64_t workTotal_ = 0;
    QString idleText_; // what Label4 said before the work began
    QString workText_; // what the work is doing, in Label4 with its file and time left
    ostrivane::restore::TimeLeft timeLeft_;
    std::mutex workFileMutex_;
    std::string workFile_; // the file being restored, set by the work's thread
    // The copies opened to look at; removed when the program ends.
    std::vector<ostrivane::restore::ViewCopy> viewCopies_;
    std::optional<ostrivane::restore::ViewCopy> openedCopy_;
    // What the work ran on and what it found, read once it has ended.
    std::vector<Choice> workChoice_;
    std::vector<ostrivane::restore::OriginalPlaces> workPlaces_;
    ostrivane::restore::RestoreSummary restoreSummary_;
    ostrivane::restore::CheckSummary checkSummary_;
    std::function<void()> afterWork_;
};
