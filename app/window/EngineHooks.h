// What the archive engine asks of the program while it works: pending events processed, and the
// two questions it may put to the user, as Qt message boxes over the main window.
#pragma once

#include "archive/model/ApplicationHooks.h"

class QWidget;

namespace ostrivane::ui {

TApplicationHooks MakeEngineHooks(QWidget* parent);

} // namespace ostrivane::ui
