#include "app/job/SettingsBackup.h"

#include "app/job/InputCheck.h"
#include "app/run/RunHistory.h"
#include "settings/SettingsMessages.h"
#include "settings/SettingsStore.h"

namespace ostrivane::job {

run::BackupRequest RequestOfSettings(const settings::SettingsRecord& settings,
                                     const std::string& archive, run::RunOrigin origin) {
    run::BackupRequest request;
    request.Archive = archive;
    request.FileSpec = FileSpecLines(settings.Sources);
    request.Recurse = settings.Subfolders;
    request.Exclusions = settings::PatternTexts(settings.Exclusions);
    request.Depth = DepthOfField(settings.Depth);
    request.Origin = origin;
    request.Job = JobOfFields(settings.Destination, settings.ArchiveName);
    return request;
}

run::RunRecord StoppedRun(const run::BackupRequest& request, const std::string& message) {
    run::RunRecord record;
    record.Job = request.Job.empty() ? run::JobOfArchive(request.Archive) : request.Job;
    record.Start = std::chrono::system_clock::now();
    record.End = record.Start;
    record.Origin = request.Origin;
    record.Result = run::RunResult::Failed;
    record.Archive = request.Archive;
    record.Message = message;
    return record;
}

SettingsBackup BackupFromSettings(const std::string& path, run::RunOrigin origin) {
    SettingsBackup backup;
    const settings::LoadedSettings loaded = settings::LoadSettings(path);
    if (loaded.Unreadable) {
        backup.Problem = settings::UnreadableSettingsText(path);
        backup.Unreadable = true;
        return backup;
    }
    backup.FileMissing = loaded.Missing;

    const InputCheck check = CheckBackupInput(InputOfSettings(loaded.Record));
    if (check.Problem != InputProblem::None) {
        backup.Problem = check.Message;
        // The path the button would form, had the check let it.
        backup.Request =
            RequestOfSettings(loaded.Record,
                              ArchivePath(NormalDestination(loaded.Record.Destination),
                                          ArchiveNameOfField(loaded.Record.ArchiveName)),
                              origin);
        return backup;
    }
    backup.Request =
        RequestOfSettings(loaded.Record, ArchivePath(check.Destination, check.ArchiveName), origin);
    return backup;
}

} // namespace ostrivane::job
