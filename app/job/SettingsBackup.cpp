#include "app/job/SettingsBackup.h"

#include "app/job/InputCheck.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsMessages.h"

#include <QFileInfo>

namespace ostrivane::job {

SettingsBackup BackupFromSettings(const QString& path, run::RunOrigin origin) {
    using namespace settings;
    SettingsBackup backup;
    const SettingsFile file(path);
    if (file.Unreadable()) {
        backup.Problem = UnreadableSettingsText(path);
        return backup;
    }
    backup.FileMissing = !QFileInfo::exists(path);

    BackupInput input;
    for (int day = 1; day <= kDayCount; ++day) {
        if (file.ReadBool(kSectionSettings, DayKey(day)))
            input.TickedTimes[static_cast<std::size_t>(day - 1)] =
                file.ReadText(kSectionSettings, DayTimeKey(day), kDefaultTime);
    }
    input.Sources = ReadSources(file);
    input.Destination = file.ReadText(kSectionSettings, kKeyDestination, DefaultDestination());
    input.ArchiveName = file.ReadText(kSectionSettings, kKeyArchiveName, kDefaultArchiveName);
    input.NameTypedByHand = file.ReadInt(kSectionSettings, kKeyNaming, kDefaultNaming) == 0;
    const InputCheck check = CheckBackupInput(input);
    if (check.Problem != InputProblem::None) {
        backup.Problem = check.Message;
        return backup;
    }

    run::BackupRequest& request = backup.Request;
    request.Archive = ArchivePath(check.Destination, check.ArchiveName);
    request.FileSpec = FileSpecLines(input.Sources);
    request.Recurse = file.ReadBool(kSectionSettings, kKeySubfolders);
    request.Depth = DepthOfField(file.ReadText(kSectionSettings, kKeyDepth, kDefaultDepth));
    request.Origin = origin;
    return backup;
}

} // namespace ostrivane::job
