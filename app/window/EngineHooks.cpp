#include "app/window/EngineHooks.h"

#include "app/widgets/ApplicationTitle.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace ostrivane::ui {

TApplicationHooks MakeEngineHooks(QWidget* parent) {
    TApplicationHooks hooks;
    hooks.ProcessMessages = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
    QPointer<QWidget> owner(parent);
    hooks.ConfirmYesNo = [owner](const std::string& text) {
        return QMessageBox::question(owner, ApplicationTitle(), QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    hooks.RetryCancel = [owner](const std::string& text) {
        return QMessageBox::critical(owner, ApplicationTitle(), QString::fromStdString(text),
                                     QMessageBox::Retry | QMessageBox::Cancel) ==
               QMessageBox::Retry;
    };
    return hooks;
}

} // namespace ostrivane::ui
