#include "desktop/UserDirs.h"

#include <QDir>
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

} // namespace ostrivane::desktop
