#include "settings/SettingsLocation.h"

#include "desktop/DesktopEntryText.h"
#include "desktop/UserDirs.h"
#include "settings/SettingsKeys.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace ostrivane::settings {

namespace {

bool MayWrite(const QString& path, int mode) {
    return ::access(QFile::encodeName(path).constData(), mode) == 0;
}

// The file is replaced through a new file beside it, so its folder must take new files; an
// existing file must itself be writable (a read-only one is never replaced).
bool CanKeepFileAt(const QString& path) {
    const QFileInfo file(path);
    if (!MayWrite(file.absolutePath(), W_OK | X_OK))
        return false;
    if (!file.exists() && !file.isSymLink())
        return true;
    return file.isFile() && MayWrite(path, W_OK);
}

} // namespace

QString UserSettingsPath() {
    const QString config = desktop::ConfigFolder();
    if (config.isEmpty())
        return {};
    return config + QStringLiteral("/ostrivane/") + kFileName;
}

QString ChooseSettingsPath(const QString& executableFolder) {
    const QString beside = executableFolder + u'/' + kFileName;
    if (CanKeepFileAt(beside))
        return beside;
    const QString user = UserSettingsPath();
    // Without a home the file stays beside the executable; a close then tells that it cannot be
    // written there.
    return user.isEmpty() ? beside : user;
}

QString DefaultDestination() {
    // No folder of that name exists here, so the input check asks for a real one.
    const QString documents = desktop::DocumentsFolder();
    return documents.isEmpty() ? kDefaultDestination : documents;
}

} // namespace ostrivane::settings
