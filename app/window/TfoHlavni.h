// The main window: the source list and destination ("Soubory"), the weekly schedule ("Automat"),
// desktop integration ("Nastavení"), the buttons beside the tabs, the progress gauges, the tray
// icon with its menu, and the settings file that the window's fields are loaded from and saved to.
#pragma once

#include "app/run/BackupReport.h"
#include "app/run/RunRecord.h"
#include "app/schedule/ScheduleWatch.h"
#include "app/window/Zaloha.h"

#include <QDateTime>
#include <QIcon>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class BackupWorker;
class BatteryPower;
class DesktopNotices;
class FittingLabel;
class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QSystemTrayIcon;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolButton;
class TRadioGroup;
class TfoObnova;
class TfoVyberSouboru;
class TMakeCab;

class TfoHlavni : public QWidget {
    Q_OBJECT
public:
    // The settings file of this program: beside the executable where it may be kept there, else
    // in the user's configuration folder.
    static QString DefaultSettingsPath();

    // Runs FormCreate: the settings at `settingsPath` are loaded into the fields, `Sources` and
    // `Depth`, and `TempDir` is taken.
    explicit TfoHlavni(const QString& settingsPath = DefaultSettingsPath(),
                       QWidget* parent = nullptr);
    ~TfoHlavni() override;

    // The other two windows of the program, created after this one.
    void SetSourceDialog(TfoVyberSouboru* dialog) { foVyberSouboru_ = dialog; }
    // While the about dialog is open, the two go to the taskbar together and come back together.
    void SetAboutDialog(QDialog* dialog);

    // Whether the program was started with any argument (then the window hides to the tray
    // right after it is first shown). Taken from the command line; tests may set it before the
    // first show.
    void SetStartedWithArguments(bool started) { startedWithArguments_ = started; }
    // Whether the desktop has a notification area; the default asks QSystemTrayIcon.
    void SetTrayAvailability(std::function<bool()> probe) { trayAvailable_ = std::move(probe); }

    const QString& SettingsPath() const { return settingsPath_; }
    bool InTray() const { return InTray_; }
    // The tray icon; it exists exactly while InTray().
    QSystemTrayIcon* TrayIcon() const { return trayIcon_.get(); }

    // The clock the scheduler reads; tests put their own in place.
    void SetClock(std::function<QDateTime()> clock) { scheduleWatch_.SetClock(std::move(clock)); }
    // How the user is told that a scheduled run failed (and other failures outside the user's
    // own action): by default a desktop notification (DesktopNotices), where no notification
    // service takes it the tray icon's balloon, and where there is no tray either a message that
    // does not block the next scheduled run.
    void SetFailureNotice(std::function<void(const QString&)> notice) {
        failureNotice_ = std::move(notice);
    }
    // How the program tells what the schedule did or found (a missed backup caught up or
    // skipped, an old backup, a time it cannot read): by default the same way, as information.
    void SetNotice(std::function<void(const QString&)> notice) { notice_ = std::move(notice); }
    // True while a backup run is under way.
    bool BackupRunning() const { return backupRunning_; }
    // True while the restore dialog restores files or tests a backup: no backup may start then
    // (it would move the archives being read).
    bool RestoreRunning() const;
    // What the engine reported during the last run (a cancel by the user is no error).
    const ostrivane::BackupReport& LastBackupReport() const { return backupReport_; }

    // ---- Shared state of the window's unit, read by the backup run ----
    TZalohaList Sources;    // the backup sources in the order of addition
    QStringList Exclusions; // patterns of files and folders left out ("Vyloučení")
    std::int32_t Depth = 1; // how many earlier archives to keep (from Edit10)
    QString TempDir;        // the temporary folder with a trailing "/", or empty

    // ---- Controls (object names as below) ----
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QTableWidget* StringGrid1;
    QPushButton* BitBtn4; // "&Přidat"
    QPushButton* BitBtn5; // "&Opravit"
    QPushButton* BitBtn6; // "S&mazat"
    QLabel* Label5;
    QLabel* Label4;
    QLineEdit* Edit8; // archive file name
    QLabel* Label3;
    QLineEdit* Edit9; // destination folder
    QToolButton* SpeedButton2;
    QLabel* Label6;
    QLineEdit* Edit10;    // number of earlier archives to keep
    QCheckBox* CheckBox2; // include subfolders
    // "&Vyloučení…": the exclusion patterns
    QPushButton* BitBtn10;

    QWidget* TabSheet2;
    QCheckBox* CheckBox1; // scheduled backups enabled
    QFrame* Panel1;
    QLabel* Label2;
    QLabel* Label1;
    std::array<QCheckBox*, 7> CheckBoxX{}; // CheckBoxX1 .. CheckBoxX7, Monday .. Sunday
    std::array<QLineEdit*, 7> EditTime{};  // Edit1 .. Edit7, Monday .. Sunday
    QToolButton* SpeedButton1;             // "Ostatní dny jako ..."
    TRadioGroup* RadioGroup1;              // naming of scheduled archives
    QCheckBox* CheckBox4;                  // missed scheduled backups are caught up
    QCheckBox* CheckBox5;                  // scheduled backups start on battery too

    QWidget* TabSheet3;
    QFrame* Panel3;
    QCheckBox* CheckBox3; // start with the desktop session ("... po startu systému")
    QPushButton* BitBtn8; // "Vytvořit ikonu na ploše"

    QPushButton* BitBtn7; // "&O programu"
    QPushButton* BitBtn3; // "&Zálohovat !"
    QPushButton* BitBtn9; // "O&bnova…": the restore dialog
    QPushButton* BitBtn2; // "&Skrýt"
    QPushButton* BitBtn1; // "&Konec"
    QProgressBar* Gauge2; // the file's progress (upper)
    QProgressBar* Gauge1; // the archive's progress (lower)
    QStatusBar* StatusBar1;
    FittingLabel* LastBackupPanel; // the last verified backup, left of the version
    QTimer* Timer1;                // the scheduler tick, 1000 ms, enabled while CheckBox1 is ticked
    QMenu* PopupMenu1;
    QAction* pmiAbout;
    QAction* pmiObnova; // "O&bnova ze zálohy…"
    QAction* pmiRestore;
    QAction* pmiClose;
    std::unique_ptr<TMakeCab> MakeCab1; // writes the archives

    // ---- Grid access in the grid's own numbering: row 0 is the header, row k + 1 entry k ----
    int RowCount() const;
    int Row() const; // the selected row (1 when nothing else was chosen)
    void SetRow(int row);
    QString Cells(int column, int row) const;

    // The settings as the fields and `Sources` hold them now: what a close would save, and what
    // a backup's request is formed from (job::RequestOfSettings).
    ostrivane::settings::SettingsRecord SettingsOfFields() const;

public slots:
    // Settings file.
    void NatahniNastaveni();
    // Writes the settings; false (after telling the user) when they could not be written. A
    // file that could not be read at start is left as it is (true).
    bool UlozNastaveni();
    // Writes the settings without a word and without closing: the session manager asks for it
    // before the session ends.
    void CommitSettings();
    // The session ends (a logout, a termination signal): the settings are written without a
    // word, a running backup is cancelled and the window closes, whatever came of the writing.
    void CloseForSessionEnd();

    // Source list.
    void RefreshStringGrid1();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void StringGrid1DblClick();
    // The exclusion patterns in their dialog.
    void BitBtn10Click();

    // Destination fields.
    void Edit8Exit();
    void Edit9Exit();
    void Edit10Change();
    void SpeedButton2Click();

    // Schedule.
    void CheckBox1Click();
    void CheckBoxX1Click(QObject* Sender);
    void Edit1Change(QObject* Sender);
    void Edit1Exit(QObject* Sender);
    void SpeedButton1Click();
    // The scheduler tick: the moment of an enabled day that fell on it, or the latest missed one,
    // starts a backup run.
    void Timer1Timer();

    // Backup run.
    bool KontrolaVstupu();
    void ZalohujData(const QString& P,
                     ostrivane::run::RunOrigin origin = ostrivane::run::RunOrigin::Manual);
    void Zip1Progress(std::uint8_t ProgressByFile, std::uint8_t ProgressByArchive);
    // The read-back of the written archive: the share checked so far in the title and gauges.
    void ShowVerification(std::uint8_t Percent);
    void ZrusBaleni();

    // Desktop integration.
    void CheckBox3Click();
    void BitBtn8Click();

    // Buttons and tray.
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn7Click();
    void pmiAboutClick();
    // Restore from a backup: the dialog "Obnova ze zálohy".
    void BitBtn9Click();
    void pmiObnovaClick();
    void pmiRestoreClick();
    void pmiCloseClick();
    void HideToTray();
    void RestoreFromTray();
    // A request from outside (the session bus) to come back from the tray.
    void WMRestoreApp();

signals:
    // The window has closed for good; the program ends.
    void Closed();
    // A restore (or a test of a backup) from the restore dialog has ended.
    void RestoreEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void BuildFilesTab();
    void BuildScheduleTab();
    void BuildSettingsTab();
    void BuildTrayMenu();
    void SetTabOrder();
    void ConnectHandlers();
    void LayOutBottom();

    void FormCreate();
    // Writes the settings from the fields and `Sources`; the text to tell the user when they
    // could not be written.
    std::optional<QString> WriteSettings();
    // Tells the user that the settings file could not be read at start (shown once, after the
    // first show).
    void TellUnreadableSettings();
    void FormShow();
    void FormActivate();
    // Returns false when the close must not happen (the settings could not be written).
    bool FormCloseQuery();
    // Cancels a running backup and waits for it to end; the window is as after any run.
    void RequestBackupCancel();
    // The backup's thread has ended: the window is restored and the user told what went wrong.
    void BackupEnded();
    // The window's state after a run: title, timer, controls, the backup button, the gauges.
    void RestoreAfterRun();
    void CreateArchiveComponent();
    // Points BitBtn3's click at `handler` alone.
    void SetBackupButtonHandler(void (TfoHlavni::*handler)());
    void TellBackupFailure(const ostrivane::run::RunRecord& record);
    // Records a run of the job that the input check stopped with `message`.
    void RecordStoppedRun(const QString& message);
    // Tells `text` as a failure or as information (SetFailureNotice, SetNotice).
    void TellFailure(const QString& text);
    void TellNotice(const QString& text);
    void ShowDesktopNotice(const QString& text, bool failure);

    void WMActivateApp(bool active);
    // Brings a minimised about dialog back in front of the window.
    void RestoreAboutDialog();
    void AddTrayIcon();
    void DeleteTrayIcon();
    void SetTrayTip(const QString& text);
    QIcon TrayIconHandle() const;

    void AttachTimeFieldChange();
    void DetachTimeFieldChange();

    // The schedule's watch (app/schedule) asked at every tick, at start, on waking up, when the
    // power changes and after a run or a restore; the line of the last verified backup and the
    // warning when it is old.
    void StartScheduleWatch();
    void CheckSchedule();
    // Reads the history of runs into the status bar's panel and the tray tip.
    void ReadRunHistory();
    // Called once a backup run is over.
    void AfterBackupRun();
    // Tells, once per program run, that the history of runs could not be written.
    void TellHistoryNotWritten();
    void WarnOfOldBackup(const ostrivane::ScheduleCheck& check);
    // The job the fields describe (job::JobOfFields): the runs the status line counts.
    std::string JobOfFields() const;
    // Marks the time field of every ticked day whose time the schedule cannot read, and clears
    // the mark of the others.
    void MarkUnreadableTimes();
    // Tells, after the first show, the ticked days whose times the schedule cannot read.
    void TellUnreadableTimes();
    // The tray tip for `title`: under it the last backup's line while no backup runs.
    QString TrayTipText(const QString& title) const;
    void EditSelectedSource();

    // The control of this window named `name` (dialogs that are children of the window do
    // not count).
    template <class T> T* FindControl(const QString& name) const;

    QString settingsPath_;
    // The settings file as it could not be read at start; it is never written over then (the
    // program runs on the defaults). Empty when it could be read or did not exist.
    QString unreadableSettings_;
    bool sessionEnding_ = false;
    TfoVyberSouboru* foVyberSouboru_ = nullptr;
    QDialog* foOprogramu_ = nullptr;
    TfoObnova* foObnova_ = nullptr; // made at its first use, kept for the program's run
    bool InTray_ = false;
    bool startedWithArguments_ = false;
    bool firstShowDone_ = false;
    bool formShowPending_ = true;
    std::function<bool()> trayAvailable_;
    std::unique_ptr<QSystemTrayIcon> trayIcon_;
    std::array<QMetaObject::Connection, 7> timeFieldChange_;
    QMetaObject::Connection backupButtonClick_;
    BackupWorker* backupWorker_ = nullptr; // runs the backups on MakeCab1
    bool backupRunning_ = false;
    bool timerWasEnabled_ = false;     // Timer1 when the run began
    QPointer<QWidget> focusBeforeRun_; // the focus when the run began
    ostrivane::BackupReport backupReport_;
    QString lastInputProblem_; // what the last input check that failed told
    std::function<void(const QString&)> failureNotice_;
    DesktopNotices* desktopNotices_ = nullptr;

    // Where the history and the schedule's memory are kept, taken once at start.
    std::string stateFolder_ = ostrivane::run::StateFolder();
    bool historyFailureTold_ = false;
    ostrivane::ScheduleWatch scheduleWatch_{stateFolder_};
    BatteryPower* batteryPower_ = nullptr; // whether the computer runs on battery (UPower)
    std::function<void(const QString&)> notice_;
};
