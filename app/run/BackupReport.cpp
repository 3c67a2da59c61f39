#include "app/run/BackupReport.h"

#include "archive/model/ErrorCodes.h"
#include "cabinet/format/ReadReasons.h"

#include <algorithm>
#include <cerrno>
#include <utility>

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

namespace {

// The engine's codes in Czech, in the order of archive/model/ErrorCodes.h.
constexpr std::pair<int, const char*> kEngineErrorTexts[] = {
    {kErrWritingFile, "Chyba zápisu do souboru"},
    {kErrDiskFull, "Disk je plný"},
    {kErrNotAccessible, "Adresář nebo disk není přístupný"},
    {kErrWriteProtected, "Disk je chráněn proti zápisu"},
    {kErrFileTooLarge, "Soubor je pro archív cabinet příliš velký"},
    {kErrNameNotStorable, "Název souboru nelze uložit do archívu cabinet"},
    {kErrVerifyFailed, "Archív neprošel ověřením"},
    {kErrFileChanged, "Soubor se změnil během čtení"},
    {kErrOpeningFile, "Soubor nelze otevřít"},
    {kErrUnsupportedArc, "Neplatný nebo nepodporovaný typ archívu"},
    {kErrCabinetDllMissing, "Knihovna cabinet nebyla nalezena"},
    {kErrNothingToDo, "Není co archivovat"},
    {kErrRequiredEvent, "Není přiřazena potřebná událost"},
    {kErrRequiredProperty, "Není nastavena potřebná vlastnost"},
};

// The system's errors that a run words otherwise than the readers do (cabinet/format/
// ReadReasons.h): a folder is an "adresář" here, as in the window, and a run meets errors of
// renames, locks and network disks that a reader does not.
constexpr std::pair<int, const char*> kRunSystemErrorTexts[] = {
    {ENOENT, "soubor nebo adresář neexistuje"},
    {ENOTDIR, "v cestě je soubor místo adresáře"},
    {EISDIR, "na místě souboru je adresář"},
    {ENOTEMPTY, "adresář není prázdný"},
    {EBUSY, "soubor nebo zařízení je používáno"},
    {EXDEV, "soubor je na jiném disku"},
    {ENOMEM, "nedostatek paměti"},
    {ENOLCK, "zámek nelze získat"},
    {EINVAL, "neplatný argument"},
    {ENODEV, "zařízení není dostupné"},
    {ENXIO, "zařízení není dostupné"},
    {ESTALE, "síťový disk není dostupný"},
    {ENOTCONN, "síťový disk není dostupný"},
    {EHOSTDOWN, "síťový disk není dostupný"},
    {ETIMEDOUT, "síťový disk není dostupný"},
};

template <std::size_t N>
const char* TextOf(const std::pair<int, const char*> (&texts)[N], int number) {
    for (const auto& [known, text] : texts)
        if (known == number)
            return text;
    return nullptr;
}

} // namespace

std::string EngineErrorText(int code) {
    if (code == kErrUserCanceled)
        return CancelledText();
    const char* text = TextOf(kEngineErrorTexts, code);
    return text != nullptr ? text : "Chyba " + std::to_string(code);
}

std::string SystemErrorText(int error) {
    const char* text = TextOf(kRunSystemErrorTexts, error);
    return text != nullptr ? text : reasons::SystemError(error);
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
