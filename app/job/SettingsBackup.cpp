#include "app/job/SettingsBackup.h"

#include "app/job/InputCheck.h"
#include "settings/SettingsMessages.h"
#include "settings/SettingsStore.h"

namespace ostrivane::job {

SettingsBackup BackupFromSettings(const std::string& path, run::RunOrigin origin) {
    SettingsBackup backup;
    const settings::LoadedSettings loaded = settings::LoadSettings(path);
    if (loaded.Unreadable) {
        backup.Problem = settings::UnreadableSettingsText(path);
        return backup;
    }
    backup.FileMissing = loaded.Missing;

    const settings::SettingsRecord& record = loaded.Record;
    const BackupInput input = InputOfSettings(record);
    const InputCheck check = CheckBackupInput(input, SystemTimeLocale());
    if (check.Problem != InputProblem::None) {
        backup.Problem = check.Message;
        return backup;
    }

    run::BackupRequest& request = backup.Request;
    request.Archive = ArchivePath(check.Destination, check.ArchiveName);
    request.FileSpec = FileSpecLines(input.Sources);
    request.Recurse = record.Subfolders;
    request.Depth = DepthOfField(record.Depth);
    request.Origin = origin;
    return backup;
}

} // namespace ostrivane::job
