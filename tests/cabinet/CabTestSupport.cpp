#include "CabTestSupport.h"

#include "archive/model/ErrorCodes.h"

#include <algorithm>

ErrorRecorder::ErrorRecorder(TMakeCab& cab) {
    cab.OnError = [this](TComponent*, const std::string& fileName, const std::string& extended,
                         const std::string&, int code) {
        errors_.push_back({code, fileName, extended});
    };
}

int ErrorRecorder::Count(int code) const {
    return static_cast<int>(std::count_if(
        errors_.begin(), errors_.end(), [code](const ReportedError& e) { return e.Code == code; }));
}

std::string ErrorRecorder::Describe() const {
    std::string text;
    for (const ReportedError& e : errors_) {
        text += std::to_string(e.Code) + " " + ErrorText(e.Code) + ": " + e.FileName + " (" +
                e.ExtendedMsg + ")\n";
    }
    return text;
}
