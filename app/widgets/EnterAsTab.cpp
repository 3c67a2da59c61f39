#include "app/widgets/EnterAsTab.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace ostrivane::ui {

EnterAsTab::EnterAsTab(QWidget* window) : QObject(window), window_(window) {
    // Installed on the application, so that it sees a key before the focused control does,
    // whichever control of the window that is.
    QCoreApplication::instance()->installEventFilter(this);
}

EnterAsTab::~EnterAsTab() {
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeEventFilter(this);
}

bool EnterAsTab::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || window_.isNull() || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    auto* target = static_cast<QWidget*>(watched);
    if (target->window() != window_)
        return false;
    // The same path as a typed Tab: the control's event handling moves the focus on.
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &tab);
    return true;
}

} // namespace ostrivane::ui
