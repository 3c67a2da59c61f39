#include "app/job/SettingsBackup.h"

#include "app/job/InputCheck.h"
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
    return request;
}

SettingsBackup BackupFromSettings(const std::string& path, run::RunOrigin origin) {
    SettingsBackup backup;
    const settings::LoadedSettings loaded = settings::LoadSettings(path);
    if (loaded.Unreadable) {
        backup.Problem = settings::UnreadableSettingsText(path);
        return backup;
    }
    backup.FileMissing = loaded.Missing;

    const InputCheck check = CheckBackupInput(InputOfSettings(loaded.Record), SystemTimeLocale());
    if (check.Problem != InputProblem::None) {
        backup.Problem = check.Message;
        return backup;
    }
    backup.Request =
        RequestOfSettings(loaded.Record, ArchivePath(check.Destination, check.ArchiveName), origin);
    return backup;
}

} // namespace ostrivane::job
