#include "cabinet/format/PlacementRecord.h"

#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/NulFields.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/UniqueFd.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane {

namespace {

constexpr std::string_view kMagic = "OSTRIVANE-PLACEMENT 1";
constexpr std::string_view kEnd = "END";
constexpr std::string_view kMovedMark = "MOVED";
// A record is a few hundred bytes per backup moved; anything beyond this is no record of ours.
constexpr off_t kLargestRecord = 64 << 20;

void AddField(std::string& text, std::string_view field) {
    text += field;
    text += '\0';
}

std::string PathIn(const std::string& folder, const std::string& name) {
    return folder + (folder == "/" ? "" : "/") + name;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::lstat(a.c_str(), &first) == 0 && ::lstat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// A plain name of a file in the folder.
bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// The record's text parsed into `record`; Unfinished when its end is missing.
void Parse(std::string_view text, PlacementRecord& record) {
    cabformat::NulFields fields(text);
    if (fields.Next() != kMagic) {
        record.Kind = text.size() <= kMagic.size() && kMagic.starts_with(text)
                          ? PlacementRecord::State::Unfinished
                          : PlacementRecord::State::Unreadable;
        return;
    }
    record.Kind = PlacementRecord::State::Unfinished;
    const auto countText = fields.Next();
    std::size_t count = 0;
    if (!countText ||
        std::from_chars(countText->data(), countText->data() + countText->size(), count).ec !=
            std::errc())
        return;
    for (std::size_t i = 0; i < count; ++i) {
        const auto kind = fields.Next();
        const auto from = fields.Next();
        const auto to = fields.Next();
        if (!kind || !from || !to)
            return;
        record.Steps.push_back({std::string(*from), std::string(*to), *kind == "G"});
    }
    if (fields.Next() != kEnd) {
        record.Steps.clear();
        return;
    }
    record.Moved = fields.Next() == kMovedMark;
    record.Kind = PlacementRecord::State::Present;
    // Names that could reach outside the folder, or a deletion of anything but a going cabinet:
    // not a record this program wrote.
    for (const PlacementStep& step : record.Steps) {
        if (step.From != step.To && IsPlainName(step.From) && IsPlainName(step.To) &&
            (!step.Going || names::IsRunTemporary(step.To)))
            continue;
        record.Steps.clear();
        record.Kind = PlacementRecord::State::Unreadable;
        record.Error = EINVAL;
        return;
    }
}

} // namespace

std::string PlacementRecordPath(const std::string& folder) {
    return PathIn(folder, std::string(names::kPlacementRecordName));
}

bool WritePlacementRecord(const std::string& folder, const std::vector<PlacementStep>& steps) {
    std::string text;
    AddField(text, kMagic);
    AddField(text, std::to_string(steps.size()));
    for (const PlacementStep& step : steps) {
        AddField(text, step.Going ? "G" : "M");
        AddField(text, step.From);
        AddField(text, step.To);
    }
    AddField(text, kEnd);
    const std::string path = PlacementRecordPath(folder);
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.Valid())
        return false;
    if (fs::WriteAll(fd.Get(), text) && fs::SyncDescriptor(fd.Get(), path) && fd.Close() &&
        fs::SyncFolder(folder, path))
        return true;
    const int error = errno;
    fd.Reset();
    fs::Unlink(path);
    errno = error;
    return false;
}

bool MarkPlacementMoved(const std::string& folder) {
    const std::string path = PlacementRecordPath(folder);
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
    std::string mark(kMovedMark);
    mark += '\0';
    return fd.Valid() && fs::WriteAll(fd.Get(), mark) && fs::SyncDescriptor(fd.Get(), path) &&
           fd.Close();
}

PlacementRecord ReadPlacementRecord(const std::string& folder) {
    PlacementRecord record;
    const std::string path = PlacementRecordPath(folder);
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        record.Error = errno;
        record.Kind = errno == ENOENT || errno == ENOTDIR ? PlacementRecord::State::None
                                                          : PlacementRecord::State::Unreadable;
        return record;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        record.Error = errno;
        record.Kind = PlacementRecord::State::Unreadable;
        return record;
    }
    // Only a record this user's runs wrote is followed: in a folder others may write too, one
    // planted by another user could otherwise move or delete this user's files.
    if (!S_ISREG(info.st_mode) || info.st_size > kLargestRecord || info.st_uid != ::geteuid()) {
        record.Error = info.st_uid != ::geteuid() ? EPERM : EINVAL;
        record.Kind = PlacementRecord::State::Unreadable;
        return record;
    }
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t have = 0;
    while (have < text.size()) {
        const ssize_t n =
            ::pread(fd.Get(), text.data() + have, text.size() - have, static_cast<off_t>(have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            record.Error = errno;
            record.Kind = PlacementRecord::State::Unreadable;
            return record;
        }
        if (n == 0)
            break;
        have += static_cast<std::size_t>(n);
    }
    text.resize(have);
    Parse(text, record);
    return record;
}

bool RemovePlacementRecord(const std::string& folder) {
    if (!fs::Unlink(PlacementRecordPath(folder)) && errno != ENOENT)
        return false;
    // Not synced, the removal may come undone with a power cut; the record then only has its
    // going cabinets deleted once more, which are gone already.
    fs::SyncFolder(folder);
    return true;
}

PlacementProgress ProgressOf(const std::string& folder, const std::vector<PlacementStep>& steps) {
    PlacementProgress progress;
    while (progress.Made < steps.size() && Exists(PathIn(folder, steps[progress.Made].To))) {
        const PlacementStep& step = steps[progress.Made++];
        if (SameFile(PathIn(folder, step.From), PathIn(folder, step.To))) {
            progress.HalfMade = true;
            break;
        }
    }
    for (std::size_t i = progress.Made; i < steps.size() && progress.Forward; ++i)
        progress.Forward = Exists(PathIn(folder, steps[i].From));
    return progress;
}

PendingPlacement::PendingPlacement(const std::string& folder) : folder_(folder) {
    const PlacementRecord record = ReadPlacementRecord(folder);
    if (record.Kind != PlacementRecord::State::Present || record.Moved)
        return;
    const std::vector<PlacementStep>& steps = record.Steps;
    const PlacementProgress progress = ProgressOf(folder, steps);
    pending_ = true;
    if (progress.Forward) {
        // The steps left move their files on: each name they empty stays empty unless a later
        // step fills it, as does the old name of a rename left half made.
        if (progress.HalfMade)
            finally_[steps[progress.Made - 1].From] = std::nullopt;
        for (std::size_t i = progress.Made; i < steps.size(); ++i) {
            finally_[steps[i].From] = std::nullopt;
            finally_[steps[i].To] = steps[i].From;
        }
    } else {
        // Taken back, the last first: each file returns to the name it had.
        for (std::size_t i = progress.Made; i-- > 0;) {
            finally_[steps[i].To] = std::nullopt;
            finally_[steps[i].From] = steps[i].To;
        }
    }
}

std::optional<std::string> PendingPlacement::Resolve(const std::string& name) const {
    const auto found = finally_.find(name);
    if (found == finally_.end())
        return PathIn(folder_, name);
    if (!found->second)
        return std::nullopt;
    return PathIn(folder_, *found->second);
}

std::vector<std::string> PendingPlacement::NamesToCome() const {
    std::vector<std::string> names;
    for (const auto& [name, now] : finally_) {
        if (now && *now != name)
            names.push_back(name);
    }
    return names;
}

} // namespace ostrivane
