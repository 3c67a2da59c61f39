// "Leave-field" handling: a handler that runs when the user moves the keyboard focus from a field
// to another control of the same window (by Tab, Enter, a click, a shortcut, or by switching the
// tab page the field is on). Focus lost because the window itself loses activation (another
// window, a popup menu, a message box) is no leave, and neither is a focus move the program
// makes: the program putting the focus elsewhere, or disabling the field (as a backup run does
// with the whole window, scheduled runs included), leaves the field's text alone.
#pragma once

#include <functional>

class QWidget;

namespace ostrivane::ui {

// Runs `onLeave` whenever the focus leaves `field` as described above.
void OnLeaveField(QWidget* field, std::function<void()> onLeave);

// Puts the focus back into `field` from inside a leave handler. The control that loses the
// focus by this is not "left" (otherwise two invalid fields would send the focus back and forth
// for ever).
void ReturnFocus(QWidget* field);

} // namespace ostrivane::ui
