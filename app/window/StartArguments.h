// The program's command line. --help and --version are answered before the application exists,
// so that they need no display; the only argument left for the window is the autostart entry's
// "/systray" (start hidden in the notification area). Qt's own options (-platform, -session, ...)
// are taken by QApplication before the rest is checked.
#pragma once

#include <QStringList>

#include <optional>

namespace ostrivane::ui {

// The exit status after --help or --version (0, the text on standard output); nothing when
// neither was given.
std::optional<int> AnswerInformationArguments(int argc, const char* const* argv);

// The arguments QApplication left (the program's path first); false, with the problem on standard
// error, when one of them is not the program's.
bool CheckStartArguments(const QStringList& arguments);

// Started to hide in the notification area at once.
bool StartsHidden(const QStringList& arguments);

} // namespace ostrivane::ui
