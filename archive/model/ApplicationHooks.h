// What the engine asks of the application it runs in. The defaults suit a front end without a
// user interface, and one that runs the engine on a thread of its own: events are not processed,
// Yes/No questions are answered No, Retry/Cancel questions Cancel. The questions are asked on the
// engine's thread; a front end that shows them elsewhere waits for the answer there.
#pragma once

#include <functional>
#include <string>

struct TApplicationHooks {
    // Processes pending user-interface events (the counterpart of ProcessMessages): called after
    // every entry the scan visits and before every OnProgress. Only a front end that runs the
    // engine on its user interface's thread sets it.
    std::function<void()> ProcessMessages = [] {};
    // A confirmation with Yes and No; true means Yes.
    std::function<bool(const std::string& text)> ConfirmYesNo = [](const std::string&) {
        return false;
    };
    // An error box with Retry and Cancel; true means Retry.
    std::function<bool(const std::string& text)> RetryCancel = [](const std::string&) {
        return false;
    };
};
