// Key preview that makes Enter act as Tab in one window: the key is swallowed (nothing is
// inserted into a field) and the focus moves to the next control in tab order.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace ostrivane::ui {

class EnterAsTab : public QObject {
    Q_OBJECT
public:
    // Watches the key presses of every control of `window` (as long as this object lives).
    explicit EnterAsTab(QWidget* window);
    ~EnterAsTab() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
};

} // namespace ostrivane::ui
