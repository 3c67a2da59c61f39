// What the window tests share: a temporary settings folder, a main window wired as the program
// wires it, recorded message boxes, a scripted folder chooser, and the raw settings file.
#pragma once

#include "app/dialogs/TfoVyberSouboru.h"
#include "app/widgets/MessageBoxes.h"
#include "app/window/TfoHlavni.h"
#include "tests/support/Scratch.h"

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <QToolButton>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace uitest {

// Records every message box instead of showing it; answers questions from a queue (OK when it
// is empty). Restores the real boxes when it goes.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<ostrivane::ui::MessageRequest> shown;
    std::deque<bool> answers;
    // Runs inside the box, before it returns (for example to look at the focus).
    std::function<void(const ostrivane::ui::MessageRequest&)> onShow;

    QStringList Texts() const;
};

// Answers the folder browser with `result` (nothing = cancelled) and records the titles asked
// and the folders it was to open at.
class FolderChooserStub {
public:
    explicit FolderChooserStub(std::optional<QString> result);
    ~FolderChooserStub();
    FolderChooserStub(const FolderChooserStub&) = delete;
    FolderChooserStub& operator=(const FolderChooserStub&) = delete;

    std::optional<QString> result;
    QStringList titles;
    QStringList starts;
};

// Runs `act` on the first visible modal window that `awaited` takes, once it is open (call before
// the code that opens it); fails the test when none opens within `attempts` looks 10 ms apart.
void WhenModalWindow(std::function<bool(QWidget*)> awaited, std::function<void(QWidget*)> act,
                     int attempts = 500);
// Runs `act` on the modal dialog once it is open and active (call before the code that opens it).
void WhenModal(std::function<void(QDialog*)> act);

// Loads the build's cabinet library unless an earlier test did; true when it is loaded
// (CabinetLoadError() says why not).
bool CabinetReady();

// Waits until the backup that `window` runs has ended and the window has heard of it (the run
// goes on a thread of its own); false when it did not end within `timeoutMs`.
bool WaitForBackupEnd(TfoHlavni& window, int timeoutMs = 120000);

// Writes `content` to `path`, creating its folder.
void WriteFile(const QString& path, const QByteArray& content);
// The content of `path`, or "<missing>" when it cannot be read.
QByteArray ReadFile(const QString& path);

// Windows-1250 text of the settings file.
QByteArray ToWindows1250(const QString& text);
QString FromWindows1250(const QByteArray& bytes);
// Writes `lines` (UTF-8 here) as a Windows-1250 INI file with CRLF line ends.
void WriteIniFile(const QString& path, const QStringList& lines);
// The keys of `section` in file order, read from the raw file.
QStringList SectionKeys(const QString& path, const QString& section);
// The value of a key as the file holds it (first occurrence), or nothing.
std::optional<QString> RawValue(const QString& path, const QString& section, const QString& key);

// A temporary folder with the settings path in it, also the user's home (HOME, with no
// XDG_CONFIG_HOME and no XDG_STATE_HOME) while the fixture lives, and windows made like the
// program's.
class WindowFixture {
public:
    WindowFixture();
    ~WindowFixture();

    QString SettingsPath() const;
    QString Folder() const;
    // A folder created under the temporary folder.
    QString MakeFolder(const QString& name) const;

    // A new main window on the settings file, with a source dialog, a tray that is available,
    // and no start argument. The previous window (if any) is destroyed first.
    TfoHlavni& NewWindow();
    TfoHlavni& window() { return *window_; }
    TfoVyberSouboru& dialog() { return *dialog_; }

    // Shows the window and waits until it is active (needed for focus moves).
    void ShowActive();

private:
    testsupport::Scratch dir_;
    std::optional<QByteArray> oldHome_;
    std::optional<QByteArray> oldConfig_;
    std::optional<QByteArray> oldState_;
    std::unique_ptr<TfoHlavni> window_;
    std::unique_ptr<TfoVyberSouboru> dialog_;
};

} // namespace uitest
