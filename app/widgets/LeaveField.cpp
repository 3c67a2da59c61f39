#include "app/widgets/LeaveField.h"

#include <QEvent>
#include <QFocusEvent>
#include <QObject>
#include <QWidget>

namespace ostrivane::ui {

namespace {

// Set while a leave handler runs or the focus is being put back: focus changes during that time
// are the handler's own doing.
bool handlingLeave = false;

class LeaveFieldFilter : public QObject {
public:
    LeaveFieldFilter(QWidget* field, std::function<void()> onLeave)
        : QObject(field), onLeave_(std::move(onLeave)) {
        field->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusOut || handlingLeave)
            return false;
        // A field that loses the focus because it was disabled (Qt moves the focus on, with
        // whatever reason) was not left by the user.
        if (!static_cast<QWidget*>(watched)->isEnabled())
            return false;
        switch (static_cast<QFocusEvent*>(event)->reason()) {
        case Qt::TabFocusReason: // also a switch of the field's tab page
        case Qt::BacktabFocusReason:
        case Qt::MouseFocusReason:
        case Qt::ShortcutFocusReason:
            break;
        default: // the program's own setFocus calls among them
            return false;
        }
        handlingLeave = true;
        onLeave_();
        handlingLeave = false;
        return false;
    }

private:
    std::function<void()> onLeave_;
};

} // namespace

void OnLeaveField(QWidget* field, std::function<void()> onLeave) {
    new LeaveFieldFilter(field, std::move(onLeave)); // owned by the field
}

void ReturnFocus(QWidget* field) {
    const bool wasHandling = handlingLeave;
    handlingLeave = true;
    field->setFocus(Qt::OtherFocusReason);
    handlingLeave = wasHandling;
}

} // namespace ostrivane::ui
