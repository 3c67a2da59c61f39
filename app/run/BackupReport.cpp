#include "app/run/BackupReport.h"

#include "archive/model/ErrorCodes.h"

namespace ostrivane {

void BackupReport::Add(int code, const std::string& fileName, const std::string& extendedMsg) {
    if (code == kErrUserCanceled)
        return;
    reports_.push_back({code, fileName, extendedMsg});
}

void BackupReport::AddText(const std::string& text) {
    reports_.push_back({0, std::string(), text});
}

std::string BackupReport::Message(const std::string& archivePath) const {
    std::string text = "Záloha do archívu " + archivePath + " nebyla dokončena !\n";
    std::size_t listed = 0;
    for (const EngineReport& report : reports_) {
        if (listed == kListedReports)
            break;
        ++listed;
        text += "\n";
        if (report.Code == 0) {
            text += report.ExtendedMsg;
            continue;
        }
        text += ErrorText(report.Code) + " (" + std::to_string(report.Code) + ")";
        if (!report.ExtendedMsg.empty())
            text += " [" + report.ExtendedMsg + "]";
        if (!report.FileName.empty())
            text += ": " + report.FileName;
    }
    if (reports_.size() > listed)
        text += "\n... a dalších hlášení: " + std::to_string(reports_.size() - listed);
    return text;
}

} // namespace ostrivane
