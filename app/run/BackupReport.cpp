#include "app/run/BackupReport.h"

#include "archive/model/ErrorCodes.h"

#include <algorithm>
#include <cerrno>
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
        text += EngineErrorText(report.Code) + " (" + std::to_string(report.Code) + ")";
        if (!report.ExtendedMsg.empty())
            text += " [" + report.ExtendedMsg + "]";
        if (!report.FileName.empty())
            text += ": " + report.FileName;
    }
    if (reports_.size() > listed)
        text += "\n... a dalších hlášení: " + std::to_string(reports_.size() - listed);
    return text;
}

std::string EngineErrorText(int code) {
    switch (code) {
    case kErrWritingFile:
        return "Chyba zápisu do souboru";
    case kErrDiskFull:
        return "Disk je plný";
    case kErrNotAccessible:
        return "Adresář nebo disk není přístupný";
    case kErrWriteProtected:
        return "Disk je chráněn proti zápisu";
    case kErrFileTooLarge:
        return "Soubor je pro archív cabinet příliš velký";
    case kErrNameNotStorable:
        return "Název souboru nelze uložit do archívu cabinet";
    case kErrVerifyFailed:
        return "Archív neprošel ověřením";
    case kErrFileChanged:
        return "Soubor se změnil během čtení";
    case kErrOpeningFile:
        return "Soubor nelze otevřít";
    case kErrUnsupportedArc:
        return "Neplatný nebo nepodporovaný typ archívu";
    case kErrCabinetDllMissing:
        return "Knihovna cabinet nebyla nalezena";
    case kErrNothingToDo:
        return "Není co archivovat";
    case kErrRequiredEvent:
        return "Není přiřazena potřebná událost";
    case kErrRequiredProperty:
        return "Není nastavena potřebná vlastnost";
    case kErrUserCanceled:
        return CancelledText();
    default:
        return "Chyba " + std::to_string(code);
    }
}

std::string SystemErrorText(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "přístup odepřen";
    case ENOENT:
        return "soubor nebo adresář neexistuje";
    case ENOSPC:
        return "na disku není volné místo";
    case EDQUOT:
        return "byla překročena kvóta disku";
    case EROFS:
        return "disk je jen pro čtení";
    case EIO:
        return "chyba čtení nebo zápisu na disku";
    case EEXIST:
        return "název je obsazen";
    case ENOTDIR:
        return "v cestě je soubor místo adresáře";
    case EISDIR:
        return "na místě souboru je adresář";
    case ENOTEMPTY:
        return "adresář není prázdný";
    case ENAMETOOLONG:
        return "název je příliš dlouhý";
    case ELOOP:
        return "v cestě je symbolický odkaz";
    case EBUSY:
        return "soubor nebo zařízení je používáno";
    case EXDEV:
        return "soubor je na jiném disku";
    case EMFILE:
    case ENFILE:
        return "je otevřeno příliš mnoho souborů";
    case ENOMEM:
        return "nedostatek paměti";
    case ENOLCK:
        return "zámek nelze získat";
    case EINVAL:
        return "neplatný argument";
    case ENODEV:
    case ENXIO:
        return "zařízení není dostupné";
    case ESTALE:
    case ENOTCONN:
    case EHOSTDOWN:
    case ETIMEDOUT:
        return "síťový disk není dostupný";
    default:
        return "systémová chyba " + std::to_string(error) + " (" + std::strerror(error) + ")";
    }
}

std::string CancelledText() {
    return "Zrušeno uživatelem";
}

std::string LockBusyText() {
    return "Do tohoto adresáře právě zálohuje jiná spuštěná kopie programu; starší archívy "
           "zůstaly beze změny.";
}

std::string LockFailedText(const std::string& folder, int error) {
    return "Adresář " + folder + " nelze uzamknout pro zálohu (" + SystemErrorText(error) +
           "); starší archívy zůstaly beze změny.";
}

std::string NotAFileText(const std::string& archive) {
    return "Na místě archívu " + archive +
           " je symbolický odkaz, adresář nebo jiný zvláštní soubor; nic nebylo změněno a nová "
           "záloha nebyla zapsána.";
}

std::string RotationFailedText(const std::string& file, int error, bool notAFile) {
    const std::string why = notAFile
                                ? " je symbolický odkaz nebo zvláštní soubor a nelze ho "
                                  "posunout v řadě záloh"
                                : " nelze posunout v řadě záloh (" + SystemErrorText(error) + ")";
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
           SystemErrorText(error) + "); archívy zůstaly, jak byly, a nová záloha nebyla zapsána.";
}

std::string PlacementMoveFailedText(const std::string& file, const std::string& target, int error,
                                    bool newBackup, bool going, bool undone) {
    const std::string why = " (" + SystemErrorText(error) + ")";
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
    return "Starší archív " + file + " nelze smazat (" + SystemErrorText(error) +
           "); smaže ho příští záloha do tohoto adresáře.";
}

std::string PlacementNotClosedText(const std::string& folder, int error) {
    return "Přesun záloh v adresáři " + folder + " nelze dokončit (" + SystemErrorText(error) +
           "); nová záloha je na svém místě a přesun dokončí příští záloha do tohoto adresáře.";
}

std::string InterruptedPlacementText(const std::string& folder, const std::string& file,
                                     int error) {
    return "Přesun záloh v adresáři " + folder +
           ", přerušený při dřívější záloze, nelze dokončit ani vrátit (" + file + ": " +
           SystemErrorText(error) +
           "); nic dalšího nebylo změněno a nová záloha nebyla zapsána. Žádná záloha se "
           "neztratila, některé však mohou být zatím pod novými nebo dočasnými názvy.";
}

} // namespace ostrivane
