// Qt's own texts (the standard buttons of message boxes, the folder dialog, the menus of text
// fields) in Czech, the program's only language, whatever the user's locale.
#pragma once

#include <QTranslator>

#include <memory>

namespace ostrivane::ui {

// Loads Qt's Czech translation "qtbase_cs" from Qt's translations folder and installs it in the
// application; it stays installed while the returned object lives. Nothing when the translation
// is not there (Qt's texts then stay English).
std::unique_ptr<QTranslator> InstallQtCzechTexts();

} // namespace ostrivane::ui
