#include "app/run/BackupReport.h"

#include "archive/model/ErrorCodes.h"

#include <algorithm>
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
    const bool engineReported = std::any_of(reports_.begin(), reports_.end(),
                                            [](const EngineReport& r) { return r.Code != 0; });
    std::string text = "Záloha do archívu " + archivePath +
                       (!placed          ? " nebyla dokončena !\n"
                        : engineReported ? " byla uložena, ale není úplná !\n"
                                         : " byla uložena, ale:\n");
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

std::string PlacementRecordFailedText(const std::string& folder, int error) {
    return "Do adresáře " + folder + " nelze zapsat záznam o přesunu záloh (" +
           std::strerror(error) + "); archívy zůstaly, jak byly, a nová záloha nebyla zapsána.";
}

std::string PlacementMoveFailedText(const std::string& file, const std::string& target, int error,
                                    bool newBackup, bool going, bool undone) {
    const std::string why = " (" + std::string(std::strerror(error)) + ")";
    if (undone && !newBackup && !going)
        return RotationFailedText(file, error, false);
    const std::string what = newBackup ? "Novou zálohu nelze uložit pod názvem " + target + why
                             : going
                                 ? "Starší archív " + file + " nelze odstranit" + why
                                 : "Starší archív " + file + " nelze posunout v řadě záloh" + why;
    if (undone)
        return what + "; archívy zůstaly, jak byly, a nová záloha nebyla zapsána.";
    return what +
           " a přesun záloh nešlo vrátit zpět. Žádná záloha se neztratila, některé jsou však zatím "
           "pod novými nebo dočasnými názvy a nová záloha ještě není na svém místě; příští záloha "
           "do tohoto adresáře přesun nejprve dokončí.";
}

std::string OldBackupNotDeletedText(const std::string& file, int error) {
    return "Starší archív " + file + " nelze smazat (" + std::strerror(error) +
           "); smaže ho příští záloha do tohoto adresáře.";
}

std::string PlacementNotClosedText(const std::string& folder, int error) {
    return "Přesun záloh v adresáři " + folder + " nelze dokončit (" + std::strerror(error) +
           "); nová záloha je na svém místě a přesun dokončí příští záloha do tohoto adresáře.";
}

std::string InterruptedPlacementText(const std::string& folder, const std::string& file,
                                     int error) {
    return "Přesun záloh v adresáři " + folder +
           ", přerušený při dřívější záloze, nelze dokončit ani vrátit (" + file + ": " +
           std::strerror(error) +
           "); nic dalšího nebylo změněno a nová záloha nebyla zapsána. Žádná záloha se "
           "neztratila, některé však mohou být zatím pod novými nebo dočasnými názvy.";
}

} // namespace ostrivane
