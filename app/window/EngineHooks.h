// The two questions the archive engine may put to the user, as Qt message boxes over the main
// window. The engine asks on the backup's thread: the box opens on the window's thread, and the
// engine waits for the answer there; a cancel of the run meanwhile answers No (or Cancel) at
// once, so that closing the window never waits for a box. No events are processed for the
// engine: it runs beside the window's event loop.
#pragma once

#include "archive/model/ApplicationHooks.h"

#include <atomic>

class QWidget;

namespace ostrivane::ui {

TApplicationHooks MakeEngineHooks(QWidget* parent, const std::atomic<bool>& cancel);

} // namespace ostrivane::ui
