#include "app/widgets/MessageBoxes.h"

#include "app/widgets/ApplicationTitle.h"

#include <QMessageBox>

namespace ostrivane::ui {

namespace {

bool ShowMessageBox(const MessageRequest& request) {
    QMessageBox box(request.parent);
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    switch (request.kind) {
    case MessageKind::Information:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageKind::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    }
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

MessageHook& Hook() {
    static MessageHook hook = ShowMessageBox;
    return hook;
}

bool Run(QWidget* parent, MessageKind kind, const QString& caption, const QString& text) {
    return Hook()(MessageRequest{parent, kind, caption, text});
}

} // namespace

void SetMessageHook(MessageHook hook) {
    Hook() = hook ? std::move(hook) : MessageHook(ShowMessageBox);
}

void ShowMessage(QWidget* parent, const QString& text) {
    Run(parent, MessageKind::Information, ApplicationTitle(), text);
}

void ShowError(QWidget* parent, const QString& text) {
    Run(parent, MessageKind::Error, ApplicationTitle(), text);
}

bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text) {
    return Run(parent, MessageKind::Question, caption, text);
}

} // namespace ostrivane::ui
