#include "cabinet/format/ArchiveParts.h"

#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/PlacementRecord.h"
#include "cabinet/format/ReadReasons.h"
#include "platform/fs/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <random>
#include <set>
#include <unistd.h>

namespace ostrivane {

namespace {

using cabformat::CabinetPlace;
using cabformat::PlaceStatus;
using cabformat::ReadCabinetPlace;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The set IDs the cabinets of the series of `archive` carry. Listed where the folder can be
// listed; in a folder that can only be written and searched, the archive and its copies found by
// name.
std::set<std::uint16_t> SetIdsInUse(const std::string& archive) {
    std::set<std::uint16_t> used;
    const std::string folder = names::FolderOf(archive);
    const auto note = [&used](const std::string& path) {
        const CabinetPlace place = ReadCabinetPlace(path, false);
        if (place.IsCabinet())
            used.insert(place.Header.SetID);
    };
    if (std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str())); dir) {
        while (const dirent* entry = ::readdir(dir.get())) {
            if (names::IsBackupFile(entry->d_name, archive))
                note(folder + "/" + entry->d_name);
        }
        return used;
    }
    note(archive);
    for (std::int64_t n = 1; ::access(names::SeriesCopy(archive, n).c_str(), F_OK) == 0; ++n)
        note(names::SeriesCopy(archive, n));
    return used;
}

bool SameToken(const CabinetPlace& place, const cabformat::SetToken& token) {
    return place.IsCabinet() && place.Set && place.Set->Token == token;
}

void NoteIfCut(const std::string& path, const CabinetPlace& place, int index, int count,
               std::vector<PartProblem>& problems) {
    if (!place.CutShort())
        return;
    PartProblem problem{path, PartFault::CutShort, index, count};
    problem.Size = place.FileSize;
    problem.Expected = place.Header.CabinetSize;
    problems.push_back(problem);
}

// Part `index` of the set whose first cabinet carries `first`: whether it is one, and if not,
// what is wrong.
std::optional<PartProblem> PartFaultOf(const std::string& path, const CabinetPlace& place,
                                       const cabformat::SetRecord& first, int index) {
    PartProblem problem{path, PartFault::Foreign, index, first.Count};
    switch (place.Status) {
    case PlaceStatus::Missing:
        problem.Fault = PartFault::Missing;
        return problem;
    case PlaceStatus::Unreadable:
        problem.Fault = PartFault::Unreadable;
        problem.Error = place.Error;
        return problem;
    case PlaceStatus::NotRegular:
    case PlaceStatus::NotCabinet:
        return problem;
    case PlaceStatus::Cabinet:
        break;
    }
    if (!SameToken(place, first.Token) || place.Set->Count != first.Count)
        return problem;
    if (place.Set->Index != index) {
        problem.Fault = PartFault::Repeated;
        problem.Carried = place.Set->Index;
        return problem;
    }
    return std::nullopt;
}

} // namespace

std::string DescribePartProblem(const PartProblem& problem) {
    switch (problem.Fault) {
    case PartFault::Missing:
        return reasons::PartMissing(problem.Index, problem.Count);
    case PartFault::Unreadable:
        return reasons::PartUnopenable(problem.Index, problem.Count, problem.Error);
    case PartFault::Foreign:
        return reasons::PartForeign(problem.Index, problem.Count);
    case PartFault::Repeated:
        return reasons::PartRepeated(problem.Index, problem.Count, problem.Carried);
    case PartFault::Extra:
        return reasons::PartExtra(problem.Count);
    case PartFault::CutShort:
        return reasons::PartCutShort(problem.Size, problem.Expected);
    case PartFault::NotFirst:
        return reasons::PartNotFirst(problem.Carried, problem.Count);
    }
    return {};
}

ArchiveSet ReadArchiveSet(const std::string& archive) {
    ArchiveSet set;
    const PendingPlacement pending(names::FolderOf(archive));
    set.PlacementPending = pending.Pending();
    // A name of the set as the file that holds it once a placement under way is finished.
    const auto place = [&pending](const std::string& name, bool followLink, std::string& path) {
        const std::optional<std::string> now = pending.Resolve(names::NameOf(name));
        path = now ? (pending.Pending() ? *now : name) : name;
        if (!now) {
            CabinetPlace missing;
            missing.Error = ENOENT;
            return missing;
        }
        return ReadCabinetPlace(path, followLink);
    };
    std::string firstPath;
    const CabinetPlace first = place(archive, true, firstPath);
    set.Parts.push_back(firstPath);
    if (!first.IsCabinet())
        return set;
    if (!first.Set) {
        // Written before the set record: the parts while they carry the set ID.
        NoteIfCut(archive, first, 1, 1, set.Problems);
        if (first.Header.SetID == 0)
            return set;
        for (int part = 2;; ++part) {
            const std::string name = names::PartName(archive, part);
            std::string path;
            const CabinetPlace cabinet = place(name, false, path);
            if (!cabinet.IsCabinet() || cabinet.Set || cabinet.Header.SetID != first.Header.SetID)
                break;
            set.Parts.push_back(path);
            NoteIfCut(name, cabinet, part, part, set.Problems);
        }
        return set;
    }
    const cabformat::SetRecord& record = *first.Set;
    if (record.Index != 1) {
        PartProblem problem{archive, PartFault::NotFirst, 1, record.Count};
        problem.Carried = record.Index;
        set.Problems.push_back(problem);
        return set;
    }
    NoteIfCut(archive, first, 1, record.Count, set.Problems);
    for (int part = 2; part <= record.Count; ++part) {
        const std::string name = names::PartName(archive, part);
        std::string path;
        const CabinetPlace cabinet = place(name, false, path);
        if (auto problem = PartFaultOf(name, cabinet, record, part)) {
            set.Problems.push_back(std::move(*problem));
            continue;
        }
        set.Parts.push_back(path);
        NoteIfCut(name, cabinet, part, record.Count, set.Problems);
    }
    for (int part = record.Count + 1; part <= 0xFFFF; ++part) {
        const std::string name = names::PartName(archive, part);
        std::string path;
        if (!SameToken(place(name, false, path), record.Token))
            break;
        set.Problems.push_back({name, PartFault::Extra, part, record.Count});
    }
    return set;
}

std::vector<std::string> ArchiveSetParts(const std::string& archive) {
    return ReadArchiveSet(archive).Parts;
}

std::vector<BackupCabinet> CabinetsOfBackup(const std::string& archive) {
    std::vector<BackupCabinet> cabinets{{1, archive}};
    const CabinetPlace first = ReadCabinetPlace(archive, false);
    if (!first.IsCabinet())
        return cabinets;
    for (int part = 2; part <= 0xFFFF; ++part) {
        const std::string name = names::PartName(archive, part);
        const CabinetPlace place = ReadCabinetPlace(name, false);
        const bool belongs = first.Set
                                 ? SameToken(place, first.Set->Token)
                                 : place.IsCabinet() && !place.Set && first.Header.SetID != 0 &&
                                       place.Header.SetID == first.Header.SetID;
        if (belongs)
            cabinets.push_back({part, name});
        else if (!first.Set || part > first.Set->Count)
            break;
    }
    return cabinets;
}

std::vector<PartProblem> CheckWrittenSet(const std::vector<std::string>& cabinets,
                                         const cabformat::SetToken& token) {
    std::vector<PartProblem> problems;
    const int count = static_cast<int>(cabinets.size());
    cabformat::SetRecord expected;
    expected.Token = token;
    expected.Count = static_cast<std::uint16_t>(count);
    for (int index = 1; index <= count; ++index) {
        const std::string& path = cabinets[static_cast<std::size_t>(index - 1)];
        const CabinetPlace place = ReadCabinetPlace(path, false);
        if (auto problem = PartFaultOf(path, place, expected, index))
            problems.push_back(std::move(*problem));
        else
            NoteIfCut(path, place, index, count, problems);
    }
    return problems;
}

bool IsArchivePart(const std::string& path) {
    const CabinetPlace place = ReadCabinetPlace(path, false);
    return place.IsCabinet() && place.Header.SetID != 0;
}

bool RemoveArchiveParts(const std::string& archive, int from) {
    for (int part = from; IsArchivePart(names::PartName(archive, part)); ++part) {
        if (!fs::Unlink(names::PartName(archive, part)) && errno != ENOENT)
            return false;
    }
    return true;
}

std::uint16_t NewSetId(const std::string& archive) {
    const std::set<std::uint16_t> used = SetIdsInUse(archive);
    std::random_device entropy;
    std::uniform_int_distribution<unsigned> pick(1, 0xFFFF);
    for (;;) {
        const auto id = static_cast<std::uint16_t>(pick(entropy));
        if (used.count(id) == 0)
            return id;
    }
}

} // namespace ostrivane
