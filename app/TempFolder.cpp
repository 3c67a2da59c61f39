#include "app/TempFolder.h"

#include <QFileInfo>

namespace ostrivane::ui {

namespace {

constexpr qsizetype kMaxTempPathChars = 260;

} // namespace

QString SystemTempFolder() {
    QString folder = qEnvironmentVariable("TMPDIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStringLiteral("/tmp");
    if (!QFileInfo(folder).isDir())
        return {};
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (folder.size() > kMaxTempPathChars)
        return {};
    return folder;
}

} // namespace ostrivane::ui
