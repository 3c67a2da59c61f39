// What the engine asks of the application it runs in. The defaults suit a front end without a
// user interface: events are not processed, Yes/No questions are answered No, Retry/Cancel
// questions Cancel.
#pragma once

#include <functional>
#include <string>

struct TApplicationHooks {
    // Processes pending user-interface events (the counterpart of ProcessMessages).
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
