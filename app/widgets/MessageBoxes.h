// The program's modal message boxes, behind one hook so that tests can answer and watch them
// without a box ever blocking. The default hook shows a QMessageBox.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ostrivane::ui {

enum class MessageKind {
    Information, // a simple message with one OK button
    Error,       // an error report with one OK button
    Question,    // a question with OK and Cancel
};

struct MessageRequest {
    QWidget* parent = nullptr;
    MessageKind kind = MessageKind::Information;
    QString caption;
    QString text;
};

// Returns true for OK, false for Cancel (or a box closed otherwise).
using MessageHook = std::function<bool(const MessageRequest&)>;

// Replaces the hook; an empty hook puts the QMessageBox default back.
void SetMessageHook(MessageHook hook);

// A simple message, captioned with the application title.
void ShowMessage(QWidget* parent, const QString& text);
// An error report, captioned with the application title.
void ShowError(QWidget* parent, const QString& text);
// A question with OK and Cancel; true when OK was chosen.
bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text);

} // namespace ostrivane::ui
