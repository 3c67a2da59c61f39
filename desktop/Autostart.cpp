#include "desktop/Autostart.h"

#include "desktop/DesktopEntryText.h"
#include "platform/userdirs/UserDirs.h"

#include <QDir>
#include <QFileInfo>

namespace ostrivane::desktop {

namespace {

const QString kEntryName = QStringLiteral("quenza Ostrivane");

QString AutostartEntryText(bool enabled, const QString& executablePath) {
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=") + kEntryName + u'\n';
    text += QStringLiteral("Exec=") + ExecValue({LauncherProgram(executablePath), kTrayArgument}) +
            u'\n';
    text += QStringLiteral("Icon=") + IconValueFor(executablePath) + u'\n';
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("Hidden=") +
            (enabled ? QStringLiteral("false") : QStringLiteral("true")) + u'\n';
    return text;
}

} // namespace

QString AutostartEntryPath() {
    const QString config = QString::fromStdString(userdirs::ConfigFolder());
    if (config.isEmpty())
        return {};
    return config + QStringLiteral("/autostart/") + kEntryName + QStringLiteral(".desktop");
}

AutostartResult WriteAutostartEntry(bool enabled, const QString& executablePath) {
    const QString path = AutostartEntryPath();
    if (path.isEmpty())
        return AutostartResult::FolderNotWritable;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return AutostartResult::FolderNotWritable;
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir() || !folderInfo.isWritable())
        return AutostartResult::FolderNotWritable;

    switch (WriteEntryFile(path, AutostartEntryText(enabled, executablePath))) {
    case profile::ReplaceResult::Replaced:
        return AutostartResult::Written;
    case profile::ReplaceResult::Refused:
        return AutostartResult::FolderNotWritable;
    case profile::ReplaceResult::WriteFailed:
        break;
    }
    return AutostartResult::WriteFailed;
}

} // namespace ostrivane::desktop
