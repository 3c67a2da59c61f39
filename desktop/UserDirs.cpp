#include "desktop/UserDirs.h"

#include "desktop/DesktopEntryText.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace ostrivane::desktop {

namespace {

// The value after '=': double quotes removed, a backslash takes the next character literally.
QString UnquoteShellValue(QStringView raw) {
    QString value;
    bool quoted = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c == u'"') {
            quoted = !quoted;
        } else if (c == u'\\' && i + 1 < raw.size()) {
            value += raw.at(++i);
        } else if (!quoted && (c == u' ' || c == u'\t' || c == u'#')) {
            break;
        } else {
            value += c;
        }
    }
    return value;
}

QString ExpandHome(const QString& value, const QString& home) {
    static const QString homeVariable = QStringLiteral("$HOME");
    if (value == homeVariable || value.startsWith(homeVariable + u'/')) {
        if (home.isEmpty())
            return {};
        return QDir::cleanPath(home + value.mid(homeVariable.size()));
    }
    if (value.startsWith(u'/'))
        return QDir::cleanPath(value);
    return {};
}

} // namespace

QString UserDirFromText(const QString& contents, const QString& key, const QString& home) {
    // The file is sourced by shells, so its last assignment of the key counts.
    QString found;
    for (const QString& line : contents.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;
        const qsizetype equals = trimmed.indexOf(u'=');
        if (equals <= 0 || trimmed.left(equals).trimmed() != key)
            continue;
        found = ExpandHome(UnquoteShellValue(QStringView(trimmed).mid(equals + 1)), home);
    }
    return found;
}

QString UserDir(const QString& key, const QString& fallbackName) {
    const QString home = HomeFolder();
    const QString config = ConfigFolder();
    if (!config.isEmpty()) {
        QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
        if (dirs.open(QIODevice::ReadOnly)) {
            const QString folder = UserDirFromText(QString::fromUtf8(dirs.readAll()), key, home);
            if (!folder.isEmpty())
                return folder;
        }
    }
    if (home.isEmpty())
        return {};
    return home + u'/' + fallbackName;
}

QString DocumentsFolder() {
    return UserDir(QStringLiteral("XDG_DOCUMENTS_DIR"), QStringLiteral("Documents"));
}

} // namespace ostrivane::desktop
