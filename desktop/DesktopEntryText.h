// Pieces of the freedesktop.org desktop-entry format that the autostart entry and the desktop
// launcher share: escaping of values, quoting of the command line, and writing the file.
#pragma once

#include "platform/profile/AtomicFile.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace ostrivane::desktop {

// A value of type string: backslash, newline, tab and carriage return become \\, \n, \t, \r, so
// the whole value stays on its line.
QString EscapeStringValue(const QString& value);

// One argument of an Exec key before the string escaping above: an argument holding a blank or
// another reserved character goes in double quotes with ", `, $ and \ preceded by a backslash;
// every % is doubled since a single one would start a field code.
QString QuoteExecArgument(const QString& argument);

// The complete Exec value (already string-escaped) for a program and its arguments.
QString ExecValue(const QStringList& programAndArguments);

// The program a launcher starts for `executablePath`. Installed, the program lives in
// <prefix>/lib/ostrivane/ and the starter <prefix>/bin/ostrivane runs it: launchers name the
// starter, which stays valid across updates. Anywhere else (the build folder, a portable copy)
// they name the executable itself.
QString LauncherProgram(const QString& executablePath);

// The launcher's icon: installed, the theme name under which the package installs the program's
// picture ("ostrivane"); elsewhere the picture beside the executable when it is there, else the
// theme name.
QString IconValueFor(const QString& executablePath);

// Writes `text` as UTF-8 to `path` with the permission bits `mode` (or, without, those of the
// file it replaces): into a temporary file in the same folder, every write and the sync checked,
// then renamed over the old file. A reader never sees half an entry, and a failed write keeps the
// old entry as it was. Refused: the folder takes no file here (no right, read-only) or a folder is
// in the way; WriteFailed: the entry could not be written completely (a full disk).
profile::ReplaceResult WriteEntryFile(const QString& path, const QString& text,
                                      std::optional<unsigned> mode = std::nullopt);

} // namespace ostrivane::desktop
