// Controls of the program's dialogs, each made with its object name: a push button, a label that
// hands the focus to its control, and a read-only view of rows.
#pragma once

class QLabel;
class QPushButton;
class QString;
class QTreeView;
class QWidget;

namespace ostrivane::ui {

// A push button. With `autoDefault` it takes Enter while it has the focus, as a dialog's buttons
// do unless told otherwise (QPushButton::autoDefault).
QPushButton* MakeButton(const QString& name, const QString& caption, QWidget* parent,
                        bool autoDefault = false);

// A label whose mnemonic moves the focus to `buddy`.
QLabel* MakeLabel(const QString& name, const QString& caption, QWidget* buddy, QWidget* parent);

// A view of rows with columns that the user reads and chooses from but does not edit: rows of one
// height, chosen whole, the focus drawn over the whole row.
QTreeView* MakeRowView(const QString& name, QWidget* parent);

} // namespace ostrivane::ui
