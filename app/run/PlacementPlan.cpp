#include "app/run/PlacementPlan.h"

#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/ArchiveParts.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <set>
#include <sys/stat.h>

namespace ostrivane::run {

namespace {

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The names of the entries of `folder`; nothing when it cannot be listed.
std::optional<std::vector<std::string>> NamesIn(const std::string& folder) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get()))
        names.emplace_back(entry->d_name);
    return names;
}

// The numbers of the copies B_n.cab, 1 <= n <= depth, that the folder's listing shows, in
// ascending order; nothing when the folder cannot be listed.
std::optional<std::vector<std::int64_t>> ListedCopies(const std::string& archive,
                                                      std::int32_t depth) {
    const auto listed = NamesIn(names::FolderOf(archive));
    if (!listed)
        return std::nullopt;
    const std::string stemName = names::NameOf(names::SeriesStem(archive));
    std::vector<std::int64_t> numbers;
    for (const std::string& name : *listed) {
        const auto n = names::CopyNumber(name, stemName);
        if (n && *n <= depth && FileExists(names::SeriesCopy(archive, *n)))
            numbers.push_back(*n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// The copies found by name where the folder cannot be listed (a drop folder that may be written
// and searched but not read): B_1, B_2, ... while they exist, and B_depth. A copy beyond a gap is
// not seen and so never touched, which loses nothing: every rename goes to a name found free.
std::vector<std::int64_t> ProbedCopies(const std::string& archive, std::int32_t depth) {
    std::vector<std::int64_t> numbers;
    for (std::int64_t n = 1; n <= depth && FileExists(names::SeriesCopy(archive, n)); ++n)
        numbers.push_back(n);
    if (depth >= 1 && (numbers.empty() || numbers.back() < depth) &&
        FileExists(names::SeriesCopy(archive, depth)))
        numbers.push_back(depth);
    return numbers;
}

// The first of `paths` that is there but is no regular file (a link, a special file).
std::optional<std::string> FirstNotAFile(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
            return path;
    }
    return std::nullopt;
}

} // namespace

PlacementPlanner::PlacementPlanner(const std::string& archive)
    : archive_(archive), token_(names::NewNameToken()) {
    plan_.Folder = names::FolderOf(archive);
}

std::string PlacementPlanner::PathOf(const std::string& name) const {
    return plan_.Folder + (plan_.Folder == "/" ? "" : "/") + name;
}

bool PlacementPlanner::Fail(PlanFailure failure) {
    failure_ = std::move(failure);
    return false;
}

std::optional<std::string> PlacementPlanner::Occupant(const std::string& name) {
    const auto known = occupants_.find(name);
    if (known != occupants_.end())
        return known->second;
    struct stat st {};
    std::optional<std::string> occupant;
    if (::lstat(PathOf(name).c_str(), &st) == 0)
        occupant = name;
    occupants_.emplace(name, occupant);
    return occupant;
}

void PlacementPlanner::Move(const std::string& from, const std::string& to, bool going) {
    const std::optional<std::string> moving = Occupant(from);
    plan_.Steps.push_back({from, to, going});
    occupants_[to] = moving;
    occupants_[from] = std::nullopt;
    vacated_.insert(from);
}

void PlacementPlanner::Discard(const std::string& name) {
    Move(name, names::GoingName(token_, ++going_), true);
}

PlacementPlanner::Cabinets PlacementPlanner::BackupNamed(const std::string& first) const {
    Cabinets cabinets;
    for (const BackupCabinet& cabinet : CabinetsOfBackup(PathOf(first)))
        cabinets.emplace(cabinet.Part, names::NameOf(cabinet.Path));
    return cabinets;
}

void PlacementPlanner::DiscardBackup(const std::string& first) {
    for (const auto& [part, name] : BackupNamed(first))
        Discard(name);
}

bool PlacementPlanner::MoveBackup(const Cabinets& cabinets, const std::string& to) {
    if (failure_)
        return false;
    const std::string& first = cabinets.at(1);
    const int highest = cabinets.rbegin()->first;
    const std::string toPath = PathOf(to);
    for (int part = 2; part <= 0xFFFF; ++part) {
        const std::string target = names::NameOf(names::PartName(toPath, part));
        const auto moving = cabinets.find(part);
        const std::optional<std::string> occupant = Occupant(target);
        // A cabinet of this program still under a part name (a set's stale part) goes; a file of
        // any other program is never moved, and never written over.
        const bool stale = occupant && IsArchivePart(PathOf(*occupant));
        if (moving != cabinets.end()) {
            if (occupant && !stale)
                return Fail({PathOf(target), EEXIST, false, true});
            if (stale)
                Discard(target);
            Move(moving->second, target, false);
        } else if (stale) {
            Discard(target);
        } else if (part > highest && vacated_.count(target) == 0) {
            // Past the new parts, stale parts are looked for as long as names are taken by
            // them or were emptied by this placement.
            break;
        }
    }
    if (Occupant(to))
        return Fail({PathOf(first), EEXIST});
    Move(first, to, false);
    return true;
}

bool PlacementPlanner::Rotate(std::int32_t depth) {
    if (failure_)
        return false;
    if (!FileExists(archive_))
        return true;
    const std::string archiveName = names::NameOf(archive_);
    const std::string firstCopy = names::NameOf(names::SeriesCopy(archive_, 1));
    if (depth < 1) {
        if (const auto link = FirstNotAFile({archive_}))
            return Fail({*link, 0, true});
        // Keeping no copies: the first copy, once made, stays for good and the archive gives
        // way to the new one.
        if (FileExists(names::SeriesCopy(archive_, 1)))
            return Replace();
        return MoveBackup(BackupNamed(archiveName), firstCopy);
    }
    const std::vector<std::int64_t> copies =
        ListedCopies(archive_, depth).value_or(ProbedCopies(archive_, depth));
    std::vector<std::string> touched{archive_};
    for (const std::int64_t n : copies)
        touched.push_back(names::SeriesCopy(archive_, n));
    if (const auto link = FirstNotAFile(touched))
        return Fail({*link, 0, true});
    // Oldest first: each copy moves up into a number handled already.
    for (auto it = copies.rbegin(); it != copies.rend(); ++it) {
        const std::string name = names::NameOf(names::SeriesCopy(archive_, *it));
        if (*it == depth)
            DiscardBackup(name);
        else if (!MoveBackup(BackupNamed(name),
                             names::NameOf(names::SeriesCopy(archive_, *it + 1))))
            return false;
    }
    return MoveBackup(BackupNamed(archiveName), firstCopy);
}

bool PlacementPlanner::Replace() {
    if (failure_)
        return false;
    if (!FileExists(archive_))
        return true;
    if (const auto link = FirstNotAFile({archive_}))
        return Fail({*link, 0, true});
    DiscardBackup(names::NameOf(archive_));
    return true;
}

bool PlacementPlanner::PlaceNew(const std::vector<std::string>& cabinets) {
    if (failure_ || cabinets.empty())
        return !failure_;
    Cabinets own;
    for (std::size_t i = 0; i < cabinets.size(); ++i)
        own.emplace(static_cast<int>(i) + 1, names::NameOf(cabinets[i]));
    return MoveBackup(own, names::NameOf(archive_));
}

bool PlacementPlanner::Prune(std::int32_t depth) {
    if (failure_)
        return false;
    const auto listed = NamesIn(plan_.Folder);
    if (!listed)
        return true;
    const std::string own = names::NameOf(archive_);
    std::set<std::string> found{own};
    for (const std::string& name : *listed) {
        if (names::IsDateTimeArchive(name) && IsRegularFile(PathOf(name)))
            found.insert(name);
    }
    // Twelve digits of the date and time: the order of the names is the order of the backups.
    const std::vector<std::string> sorted(found.begin(), found.end());
    const std::size_t keep = static_cast<std::size_t>(std::max<std::int32_t>(depth, 0)) + 1;
    for (std::size_t i = 0; i + keep < sorted.size(); ++i) {
        if (sorted[i] != own)
            DiscardBackup(sorted[i]);
    }
    return true;
}

} // namespace ostrivane::run
