#include "desktop/DesktopEntryText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace ostrivane::desktop {

namespace {

// The installed layout (cmake/Install.cmake): the program's folder, and the starter seen from it.
const QString kInstalledProgramFolder = QStringLiteral("/lib/ostrivane");
const QString kStarterFromProgramFolder = QStringLiteral("../../bin/ostrivane");
// The name under which the package installs the program's icon into the icon theme.
const QString kThemeIcon = QStringLiteral("ostrivane");

// Characters that make an Exec argument need quotes.
bool IsReservedInExec(QChar c) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

// Inside double quotes these must carry a backslash.
bool NeedsBackslashInQuotes(QChar c) {
    return c == u'"' || c == u'`' || c == u'$' || c == u'\\';
}

} // namespace

QString EscapeStringValue(const QString& value) {
    // The backslash first, so that the backslashes of the other escapes stay single.
    return QString(value)
        .replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\t'), QLatin1String("\\t"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

QString QuoteExecArgument(const QString& argument) {
    const bool quote =
        argument.isEmpty() ||
        std::any_of(argument.begin(), argument.end(), [](QChar c) { return IsReservedInExec(c); });
    QString out;
    if (quote)
        out += u'"';
    for (QChar c : argument) {
        if (c == u'%') {
            out += QStringLiteral("%%");
            continue;
        }
        if (quote && NeedsBackslashInQuotes(c))
            out += u'\\';
        out += c;
    }
    if (quote)
        out += u'"';
    return out;
}

QString ExecValue(const QStringList& programAndArguments) {
    QStringList quoted;
    for (const QString& argument : programAndArguments)
        quoted << QuoteExecArgument(argument);
    return EscapeStringValue(quoted.join(u' '));
}

QString LauncherProgram(const QString& executablePath) {
    const QFileInfo program(executablePath);
    const QDir folder = program.absoluteDir();
    if (!folder.absolutePath().endsWith(kInstalledProgramFolder))
        return executablePath;
    const QString starter = QDir::cleanPath(folder.absoluteFilePath(kStarterFromProgramFolder));
    const QFileInfo starterInfo(starter);
    return starterInfo.isFile() && starterInfo.isExecutable() ? starter : executablePath;
}

QString IconValueFor(const QString& executablePath) {
    if (LauncherProgram(executablePath) != executablePath)
        return kThemeIcon;
    const QString besideExecutable =
        QFileInfo(executablePath).absolutePath() + QStringLiteral("/ostrivane.png");
    if (QFileInfo(besideExecutable).isFile())
        return EscapeStringValue(besideExecutable);
    return kThemeIcon;
}

profile::ReplaceResult WriteEntryFile(const QString& path, const QString& text,
                                      std::optional<unsigned> mode) {
    return profile::ReplaceFile(QFile::encodeName(path).toStdString(), text.toStdString(), mode);
}

} // namespace ostrivane::desktop
