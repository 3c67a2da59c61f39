// Stored names that no two files of one cabinet share. Under sdRelativeStoreStart every group's
// names begin with its folder's last name, so two source folders with the same last name
// (/a/Data and /b/Data) would give two entries Data\x.txt, of which every reader restores one.
// The later group then takes more of its path (b\Data\x.txt), and when its whole path is taken
// already, a numbered name (Data~2\x.txt), so that every file stays restorable.
#include "archive/component/TCompBase.h"
#include "platform/fs/Paths.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

// The folder part made of the last `count` names of `names`, with a trailing "/".
std::string LastNames(const std::vector<std::string>& names, std::size_t count) {
    std::string part;
    for (std::size_t i = names.size() - count; i < names.size(); ++i)
        part += names[i] + "/";
    return part;
}

// A 64-bit hash of the texts one after another (FNV-1a, mixed at the end). Names are compared
// by it alone: two names that differ but hash alike (one chance in 2^64 a pair) only make a
// group take more of its path.
struct NameHash {
    std::uint64_t value = 14695981039346656037ull;
    NameHash& operator<<(std::string_view bytes) {
        for (const char c : bytes) {
            value ^= static_cast<unsigned char>(c);
            value *= 1099511628211ull;
        }
        return *this;
    }
    std::uint64_t Done() const {
        std::uint64_t hash = value;
        hash ^= hash >> 33;
        hash *= 0xff51afd7ed558ccdull;
        return hash ^ (hash >> 33);
    }
};

} // namespace

bool TCompBase::IsFolderEntry(const TCompHeaderObj& entries, int index) {
    TEntryInfo info;
    if (const std::uint8_t* header = entries.Header(index)) {
        GetEntryInfo(header, 0, info);
        return (info.Attributes & 0x10) != 0;
    }
    return false;
}

std::uint64_t TCompBase::StoredNameHash(const TCompHeaderObj& entries, int index,
                                        std::string_view part) {
    // The part of the file's name below the group's folder.
    const std::string_view folder = entries.FolderPart(index);
    const auto root = std::min(folder.size(), static_cast<std::size_t>(entries.RootLength(index)));
    return (NameHash() << part << folder.substr(root) << entries.NamePart(index)).Done();
}

void TCompBase::SettleGroupNames(const TCompHeaderObj& entries) {
    const int first = groupFirstEntry_;
    groupFirstEntry_ = entries.Count();
    // The other rules store paths, unique in themselves; the cabinet refuses what repeats.
    if (first >= entries.Count() || storedDirNames_ != sdRelativeStoreStart)
        return;
    // The stored names of the groups settled before, taken once a later group needs them
    // (folders and links recorded beside the files are no members of the cabinet: only files
    // must not repeat).
    for (; hashedGroups_ < settledGroups_.size(); ++hashedGroups_) {
        const SettledGroup& group = settledGroups_[hashedGroups_];
        for (int i = group.First; i < group.End; ++i)
            if (!IsFolderEntry(entries, i))
                storedHashes_.push_back(StoredNameHash(entries, i, group.Part));
        std::sort(storedHashes_.begin(), storedHashes_.end());
    }
    const auto collides = [&](const std::string& part) {
        if (storedHashes_.empty())
            return false;
        for (int i = first; i < entries.Count(); ++i)
            if (!IsFolderEntry(entries, i) &&
                std::binary_search(storedHashes_.begin(), storedHashes_.end(),
                                   StoredNameHash(entries, i, part)))
                return true;
        return false;
    };

    const std::string root =
        entries.FileName(first).substr(0, static_cast<std::size_t>(entries.RootLength(first)));
    const std::vector<std::string> names = ostrivane::fs::NamesOf(root);
    const std::string own = names.empty() ? std::string() : LastNames(names, 1);
    std::string part = own;
    for (std::size_t count = 2; collides(part) && count <= names.size(); ++count)
        part = LastNames(names, count);
    const std::string last = names.empty() ? std::string() : names.back();
    for (int number = 2; collides(part); ++number)
        part = last + "~" + std::to_string(number) + "/";
    if (part != own)
        GroupNameParts[root] = part;
    settledGroups_.push_back({first, entries.Count(), part});
}
