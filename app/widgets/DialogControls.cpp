#include "app/widgets/DialogControls.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeView>

namespace ostrivane::ui {

QPushButton* MakeButton(const QString& name, const QString& caption, QWidget* parent,
                        bool autoDefault) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(autoDefault);
    return button;
}

QLabel* MakeLabel(const QString& name, const QString& caption, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}

QTreeView* MakeRowView(const QString& name, QWidget* parent) {
    auto* view = new QTreeView(parent);
    view->setObjectName(name);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return view;
}

} // namespace ostrivane::ui
