// The main window's states: shown, hidden in the tray, closing; the buttons beside the tabs and
// the tray menu.
#include "app/widgets/ApplicationTitle.h"
#include "app/window/TfoHlavni.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

const QString kIconResource = QStringLiteral(":/icons/ostrivane.png");

} // namespace

void TfoHlavni::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (formShowPending_) {
        formShowPending_ = false;
        FormShow();
    }
    if (!firstShowDone_) {
        firstShowDone_ = true;
        if (const QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        // Right after the first show, once the show itself has been handled; a settings file
        // that could not be read is told over the window.
        QTimer::singleShot(0, this, [this] {
            TellUnreadableSettings();
            TellUnreadableTimes();
            FormActivate();
        });
        // Then the schedule's first check, with the tray icon in place for what it has to tell.
        QTimer::singleShot(0, this, &TfoHlavni::CheckSchedule);
    }
}

void TfoHlavni::FormActivate() {
    if (startedWithArguments_)
        BitBtn2Click();
}

void TfoHlavni::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    emit Closed();
}

bool TfoHlavni::FormCloseQuery() {
    // At the end of the session nothing may hold the program: no box, and no refused close.
    if (sessionEnding_)
        WriteSettings();
    else if (!UlozNastaveni())
        return false;
    RequestBackupCancel();
    if (InTray_)
        DeleteTrayIcon();
    InTray_ = false;
    return true;
}

void TfoHlavni::CloseForSessionEnd() {
    sessionEnding_ = true;
    close();
}

void TfoHlavni::SetAboutDialog(QDialog* dialog) {
    if (foOprogramu_ != nullptr)
        foOprogramu_->removeEventFilter(this);
    foOprogramu_ = dialog;
    if (foOprogramu_ != nullptr)
        foOprogramu_->installEventFilter(this);
}

// The main window is hidden while the about dialog is open. Minimising the dialog minimises the
// whole program: the main window goes to the taskbar with it (shown minimised, so that the user
// has something to bring the program back from), and restoring either brings both back.
bool TfoHlavni::eventFilter(QObject* watched, QEvent* event) {
    if (watched == foOprogramu_ && event->type() == QEvent::WindowStateChange &&
        foOprogramu_->isVisible()) {
        if (foOprogramu_->isMinimized()) {
            if (!isMinimized() || !isVisible())
                showMinimized();
        } else if (isMinimized()) {
            showNormal();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfoHlavni::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        RestoreAboutDialog();
}

void TfoHlavni::RestoreAboutDialog() {
    if (foOprogramu_ == nullptr || !foOprogramu_->isVisible() || !foOprogramu_->isMinimized())
        return;
    foOprogramu_->showNormal();
    foOprogramu_->raise();
    foOprogramu_->activateWindow();
}

void TfoHlavni::BitBtn1Click() {
    close();
}

void TfoHlavni::BitBtn2Click() {
    HideToTray();
}

void TfoHlavni::BitBtn7Click() {
    if (foOprogramu_ == nullptr)
        return;
    hide();
    foOprogramu_->exec();
    formShowPending_ = true;
    show();
}

void TfoHlavni::pmiAboutClick() {
    if (!BitBtn7->isEnabled() || foOprogramu_ == nullptr)
        return;
    RestoreFromTray();
    hide();
    foOprogramu_->exec();
    formShowPending_ = true;
    show();
    HideToTray();
}

void TfoHlavni::pmiRestoreClick() {
    RestoreFromTray();
}

void TfoHlavni::pmiCloseClick() {
    if (BitBtn1->isEnabled())
        BitBtn1Click();
}

void TfoHlavni::HideToTray() {
    if (!trayAvailable_()) {
        // Without a notification area a hidden window could not be found again: minimise it,
        // keeping its taskbar entry.
        showMinimized();
        return;
    }
    hide();
    AddTrayIcon();
    InTray_ = true;
}

void TfoHlavni::RestoreFromTray() {
    if (InTray_) {
        showNormal();
        raise();
        InTray_ = false;
        DeleteTrayIcon();
    }
    if (isVisible()) {
        if (isMinimized())
            showNormal();
        activateWindow();
    }
    RestoreAboutDialog();
}

void TfoHlavni::WMRestoreApp() {
    RestoreFromTray();
}

void TfoHlavni::WMActivateApp(bool active) {
    // Only a real activation of one of the program's shown windows counts; a hidden program
    // cannot be activated, so a stale activation after hiding is ignored.
    const QWidget* activeWindow = QApplication::activeWindow();
    if (active && activeWindow != nullptr && activeWindow->isVisible())
        RestoreFromTray();
}

void TfoHlavni::AddTrayIcon() {
    trayIcon_ = std::make_unique<QSystemTrayIcon>(TrayIconHandle());
    trayIcon_->setObjectName(QStringLiteral("TrayIcon"));
    trayIcon_->setToolTip(TrayTipText(ostrivane::ui::ApplicationTitle()));
    trayIcon_->setContextMenu(PopupMenu1);
    connect(trayIcon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick)
                    RestoreFromTray();
                else
                    SetTrayTip(ostrivane::ui::ApplicationTitle());
            });
    trayIcon_->show();
}

void TfoHlavni::DeleteTrayIcon() {
    if (trayIcon_ == nullptr)
        return;
    trayIcon_->hide();
    trayIcon_->setContextMenu(nullptr);
    // Deleted later: this may run inside the icon's own activation signal.
    trayIcon_.release()->deleteLater();
}

void TfoHlavni::SetTrayTip(const QString& text) {
    if (trayIcon_ != nullptr)
        trayIcon_->setToolTip(TrayTipText(text));
}

QIcon TfoHlavni::TrayIconHandle() const {
    if (QFile::exists(kIconResource)) {
        QIcon icon(kIconResource);
        if (!icon.isNull())
            return icon;
    }
    return QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
}
