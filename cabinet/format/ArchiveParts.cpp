#include "cabinet/format/ArchiveParts.h"

#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/CabinetHeader.h"

#include <cerrno>
#include <dirent.h>
#include <memory>
#include <random>
#include <set>
#include <unistd.h>

namespace ostrivane {

namespace {

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
        if (const auto id = CabinetSetId(path))
            used.insert(*id);
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

} // namespace

std::optional<std::uint16_t> CabinetSetId(const std::string& path) {
    const auto header = cabformat::ReadCabinetHeader(path);
    if (!header)
        return std::nullopt;
    return header->SetID;
}

bool IsArchivePart(const std::string& path) {
    const auto id = CabinetSetId(path);
    return id && *id != 0;
}

std::vector<std::string> ArchiveSetParts(const std::string& archive) {
    std::vector<std::string> parts{archive};
    const auto id = CabinetSetId(archive);
    if (!id || *id == 0)
        return parts;
    for (int part = 2; CabinetSetId(names::PartName(archive, part)) == id; ++part)
        parts.push_back(names::PartName(archive, part));
    return parts;
}

int CountArchiveParts(const std::string& archive) {
    return static_cast<int>(ArchiveSetParts(archive).size());
}

bool RemoveArchiveParts(const std::string& archive, int from) {
    for (int part = from; IsArchivePart(names::PartName(archive, part)); ++part) {
        if (::unlink(names::PartName(archive, part).c_str()) != 0 && errno != ENOENT)
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
