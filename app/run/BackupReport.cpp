#include "app/run/BackupReport.h"

#include "archive/model/ErrorCodes.h"

#include <cstring>

namespace ostrivane {

void BackupReport::Add(int code, const std::string& fileName, const std::string& extendedMsg) {
    if (code == kErrUserCanceled)
        return;
    reports_.push_back({code, fileName, extendedMsg});
}

void BackupReport::AddText(const std::string& text) {
    reports_.push_back({0, std::string(), text});
}

std::string BackupReport::Message(const std::string& archivePath, bool placed) const {
    std::string text = "Záloha do archívu " + archivePath +
                       (placed ? " byla uložena, ale není úplná !\n" : " nebyla dokončena !\n");
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

std::string LockBusyText() {
    return "Do tohoto adresáře právě zálohuje jiná spuštěná kopie programu; starší archívy "
           "zůstaly beze změny.";
}

std::string LockFailedText(const std::string& folder, int error) {
    return "Adresář " + folder + " nelze uzamknout pro zálohu (" + std::strerror(error) +
           "); starší archívy zůstaly beze změny.";
}

std::string NotAFileText(const std::string& archive) {
    return "Na místě archívu " + archive +
           " je symbolický odkaz, adresář nebo jiný zvláštní soubor; nic nebylo změněno a nová "
           "záloha nebyla zapsána.";
}

std::string RotationFailedText(const std::string& file, int error, bool notAFile) {
    const std::string why =
        notAFile ? " je symbolický odkaz nebo zvláštní soubor a nelze ho "
                   "posunout v řadě záloh"
                 : " nelze posunout v řadě záloh (" + std::string(std::strerror(error)) + ")";
    return "Starší archív " + file + why +
           "; archívy zůstaly, jak byly, a nová záloha nebyla zapsána.";
}

std::string PartNameTakenText(const std::string& part) {
    return "Název části zálohy " + part +
           " patří jinému souboru; starší archívy zůstaly beze změny a nová záloha nebyla "
           "zapsána.";
}

std::string PlacementFailedText(const std::string& name, int error) {
    return "Novou zálohu nelze uložit pod názvem " + name + " (" + std::strerror(error) + ").";
}

std::string PruneFailedText(const std::string& file, int error) {
    return "Nejstarší archív " + file + " nelze smazat (" + std::strerror(error) + ").";
}

} // namespace ostrivane
