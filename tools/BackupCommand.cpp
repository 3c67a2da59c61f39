#include "tools/BackupCommand.h"

#include "app/job/SettingsBackup.h"
#include "app/run/RunHistory.h"
#include "archive/model/ErrorCodes.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TMakeCab.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/RemoveOnTermination.h"
#include "platform/notification/DesktopNotification.h"
#include "settings/SettingsLocation.h"
#include "tools/ProgressLine.h"

#include <cstdio>

namespace cabtool {

namespace {

using ostrivane::run::RunResult;

// Tells `message` on the user's desktop when `options` ask for it; nothing happens without a
// session bus or a notification service.
void NotifyFailure(const BackupOptions& options, const std::string& message) {
    if (options.notifyFailure)
        ostrivane::notification::SendDesktopNotification(
            ostrivane::notification::kApplicationName, message,
            ostrivane::notification::Urgency::Critical);
}

void TellHistoryNotWritten(const std::string& folder) {
    std::fprintf(stderr, "ostrivane-cab: běh zálohy nelze zapsat do historie %s/%s\n",
                 folder.c_str(), ostrivane::run::kHistoryFileName.data());
}

} // namespace

int RunBackupCommand(const ostrivane::run::BackupRequest& request, const BackupOptions& options) {
    LoadCabinetLibraryBesideExecutable();
    // Stopped by a signal, the run leaves neither its temporary files nor its unfinished
    // cabinets behind.
    ostrivane::fs::InstallRemoveOnTermination();

    TMakeCab cab;
    ProgressLine progress;
    cab.OnError = [&](TComponent*, const std::string& fileName, const std::string& extendedMsg,
                      const std::string&, int eCode) {
        progress.End();
        if (extendedMsg.empty()) {
            std::fprintf(stderr, "chyba %d: %s: %s\n", eCode, ErrorText(eCode).c_str(),
                         fileName.c_str());
        } else {
            std::fprintf(stderr, "chyba %d: %s: %s (%s)\n", eCode, ErrorText(eCode).c_str(),
                         fileName.c_str(), extendedMsg.c_str());
        }
    };
    if (!options.quiet) {
        cab.OnProgress = [&](TComponent*, std::uint8_t byFile, std::uint8_t byArchive) {
            progress.Show(byFile, byArchive);
        };
        cab.OnVerifyProgress = [&](TComponent*, std::uint8_t percent) {
            progress.ShowVerification(percent);
        };
    }

    ostrivane::run::BackupRequest recorded = request;
    recorded.HistoryFolder = ostrivane::run::StateFolder();
    const ostrivane::run::RunOutcome outcome = ostrivane::run::RunBackup(cab, recorded);
    progress.End();
    if (!outcome.HistoryWritten)
        TellHistoryNotWritten(recorded.HistoryFolder);
    // The engine's reports were printed as they came; the run's own follow.
    for (const ostrivane::EngineReport& report : outcome.Report.Reports()) {
        if (report.Code == 0)
            std::fprintf(stderr, "ostrivane-cab: %s\n", report.ExtendedMsg.c_str());
    }
    const ostrivane::run::RunRecord& record = outcome.Record;
    const bool placed = record.Parts > 0;
    if (!placed && record.Result != RunResult::Cancelled) {
        std::fprintf(stderr, "ostrivane-cab: nová záloha nebyla uložena jako %s\n",
                     record.Archive.c_str());
    }
    if (placed && !options.quiet) {
        std::fprintf(stderr, "Do archívu %s přidáno souborů: %lld\n", record.Archive.c_str(),
                     static_cast<long long>(record.Files));
        if (cab.VerifyArchive && cab.VerifiedFiles > 0) {
            std::fprintf(stderr, "Přečteno zpět a ověřeno souborů: %d za %.2f s\n",
                         cab.VerifiedFiles, cab.VerificationSeconds);
        }
    }
    if (record.Result == RunResult::Failed)
        NotifyFailure(options, record.Message);
    UnloadCabinetLibrary();
    return record.Result == RunResult::Ok ? 0 : 1;
}

int RunSettingsBackup(const std::string& settingsFile,
                      const std::vector<std::string>& moreExclusions,
                      const BackupOptions& options) {
    // The window's file by default: the program and the front end live in one folder.
    const std::string path =
        settingsFile.empty()
            ? ostrivane::settings::ChooseSettingsPath(ostrivane::fs::ExecutableFolder())
            : settingsFile;
    ostrivane::job::SettingsBackup backup =
        ostrivane::job::BackupFromSettings(path, ostrivane::run::RunOrigin::Command);
    if (backup.FileMissing)
        std::fprintf(stderr, "ostrivane-cab: soubor nastavení %s neexistuje\n", path.c_str());
    BackupOptions settingsOptions = options;
    settingsOptions.notifyFailure = true;
    if (backup.Problem) {
        std::fprintf(stderr, "%s\n", backup.Problem->c_str());
        // A run the check stopped is a run of the job all the same: the window shows it as the
        // latest, failed one. A file that cannot be read names no job.
        if (!backup.Unreadable) {
            const std::string folder = ostrivane::run::StateFolder();
            if (!folder.empty() && !ostrivane::run::RunHistory(folder).Append(
                                       ostrivane::job::StoppedRun(backup.Request, *backup.Problem)))
                TellHistoryNotWritten(folder);
        }
        NotifyFailure(settingsOptions, *backup.Problem);
        return 1;
    }
    backup.Request.Exclusions.insert(backup.Request.Exclusions.end(), moreExclusions.begin(),
                                     moreExclusions.end());
    return RunBackupCommand(backup.Request, settingsOptions);
}

} // namespace cabtool
