#include "app/job/SettingsBackup.h"

#include "app/job/InputCheck.h"
#include "platform/fs/UniqueFd.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsMessages.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace ostrivane::job {

namespace {

enum class FileState { Readable, Missing, Unreadable };

FileState StateOf(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const UniqueFd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        return errno == ENOENT ? FileState::Missing : FileState::Unreadable;
    struct stat info {};
    return ::fstat(fd.Get(), &info) == 0 && S_ISREG(info.st_mode) ? FileState::Readable
                                                                  : FileState::Unreadable;
}

} // namespace

SettingsBackup BackupFromSettings(const QString& path, run::RunOrigin origin) {
    using namespace settings;
    SettingsBackup backup;
    const FileState state = StateOf(path);
    if (state == FileState::Unreadable) {
        backup.Problem = UnreadableSettingsText(path);
        return backup;
    }
    backup.FileMissing = state == FileState::Missing;

    const SettingsFile file(path);
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
