#include "desktop/DesktopShortcut.h"

#include "desktop/DesktopEntryText.h"
#include "platform/text/TextTrim.h"
#include "platform/userdirs/UserDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ostrivane::desktop {

namespace {

const QString kShortcutName = QStringLiteral("quenza Ostrivane");
// What the program does, as the menu entry (packaging/ostrivane.desktop) says it.
const QString kShortcutComment =
    QStringLiteral("Back up folders into cabinet archives, now or on a weekly schedule");
const QString kShortcutCommentCzech =
    QStringLiteral("Zálohování adresářů do archivů CAB, hned nebo podle týdenního plánu");

// The link's target and folder are trimmed as texts taken from fields are.
QString Trimmed(const QString& path) {
    const std::string utf8 = path.toStdString();
    return QString::fromStdString(std::string(text::TrimBlanks(utf8)));
}

QString ShortcutText(const QString& target) {
    QString folder = QFileInfo(target).absolutePath();
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=") + kShortcutName + u'\n';
    text += QStringLiteral("Comment=") + kShortcutComment + u'\n';
    text += QStringLiteral("Comment[cs]=") + kShortcutCommentCzech + u'\n';
    text += QStringLiteral("Exec=") + ExecValue({LauncherProgram(target)}) + u'\n';
    text += QStringLiteral("Path=") + EscapeStringValue(Trimmed(folder)) + u'\n';
    text += QStringLiteral("Icon=") + IconValueFor(target) + u'\n';
    text += QStringLiteral("Terminal=false\n");
    return text;
}

// The desktop folder exists afterwards, or could not be made: only its last level is created,
// a missing parent means the folder is wrong rather than merely absent.
bool EnsureFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (info.exists())
        return false;
    return QDir().mkdir(folder) && QFileInfo(folder).isDir();
}

} // namespace

QString DesktopFolder() {
    return QString::fromStdString(userdirs::UserDir("XDG_DESKTOP_DIR", "Desktop"));
}

ShortcutResult CreateDesktopShortcut(const QString& executablePath) {
    const QString target = Trimmed(executablePath);
    const QString folder = DesktopFolder();
    if (folder.isEmpty() || !EnsureFolder(folder))
        return ShortcutResult::NoDesktopFolder;

    const QString path = (folder == QStringLiteral("/") ? QString() : folder) + u'/' +
                         kShortcutName + QStringLiteral(".desktop");
    // A launcher on the desktop is only started when it is executable; the bits are set before
    // the file takes its place, so that no launcher is ever there without them.
    if (WriteEntryFile(path, ShortcutText(target), 0755) != profile::ReplaceResult::Replaced)
        return ShortcutResult::WriteFailed;
    return ShortcutResult::Written;
}

} // namespace ostrivane::desktop
