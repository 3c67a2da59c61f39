#include "app/window/EngineHooks.h"

#include "app/widgets/ApplicationTitle.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace ostrivane::ui {

namespace {

// One question on its way to the window's thread and its answer on the way back.
struct Question {
    std::mutex lock;
    std::condition_variable answered;
    bool done = false;
    bool answer = false;
    bool abandoned = false; // the engine stopped waiting: the box is not to open any more
};

// Asks `ask` on the thread of `owner` and waits for its answer; false when the owner is gone or
// `cancel` is set before the answer comes.
bool AskOnWindowThread(const QPointer<QWidget>& owner, const std::atomic<bool>& cancel,
                       std::function<bool(QWidget*)> ask) {
    if (owner.isNull())
        return false;
    if (QThread::currentThread() == owner->thread())
        return ask(owner.data());
    auto question = std::make_shared<Question>();
    QMetaObject::invokeMethod(
        owner.data(),
        [question, owner, ask = std::move(ask)] {
            {
                const std::lock_guard<std::mutex> held(question->lock);
                if (question->abandoned)
                    return;
            }
            const bool answer = ask(owner.data());
            const std::lock_guard<std::mutex> held(question->lock);
            question->answer = answer;
            question->done = true;
            question->answered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> held(question->lock);
    while (!question->done) {
        if (cancel) {
            question->abandoned = true;
            return false;
        }
        question->answered.wait_for(held, std::chrono::milliseconds(50));
    }
    return question->answer;
}

} // namespace

TApplicationHooks MakeEngineHooks(QWidget* parent, const std::atomic<bool>& cancel) {
    TApplicationHooks hooks;
    QPointer<QWidget> owner(parent);
    hooks.ConfirmYesNo = [owner, &cancel](const std::string& text) {
        return AskOnWindowThread(owner, cancel, [text](QWidget* window) {
            return QMessageBox::question(window, ApplicationTitle(), QString::fromStdString(text),
                                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        });
    };
    hooks.RetryCancel = [owner, &cancel](const std::string& text) {
        return AskOnWindowThread(owner, cancel, [text](QWidget* window) {
            return QMessageBox::critical(window, ApplicationTitle(), QString::fromStdString(text),
                                         QMessageBox::Retry | QMessageBox::Cancel) ==
                   QMessageBox::Retry;
        });
    };
    return hooks;
}

} // namespace ostrivane::ui
