// Stored names that no two files of one cabinet share. Under sdRelativeStoreStart every group's
// names begin with its folder's last name, so two source folders with the same last name
// (/a/Data and /b/Data) would give two entries Data\x.txt, of which every reader restores one.
// The later group then takes more of its path (b\Data\x.txt), and when its whole path is taken
// already, a numbered name (Data~2\x.txt), so that every file stays restorable.
#include "archive/component/TCompBase.h"
#include "platform/fs/Paths.h"

#include <algorithm>
#include <vector>

namespace {

// The folder part made of the last `count` names of `names`, with a trailing "/".
std::string LastNames(const std::vector<std::string>& names, std::size_t count) {
    std::string part;
    for (std::size_t i = names.size() - count; i < names.size(); ++i)
        part += names[i] + "/";
    return part;
}

} // namespace

void TCompBase::SettleGroupNames(const TCompHeaderObj& entries) {
    const int first = groupFirstEntry_;
    groupFirstEntry_ = entries.Count();
    if (first >= entries.Count())
        return;
    // The part of each file's name below the group's folder (folders and links recorded beside
    // the files are no members of the cabinet: only files must not repeat).
    std::vector<std::string> tails;
    for (int i = first; i < entries.Count(); ++i) {
        const std::string& path = entries.FileName(i);
        TEntryInfo info;
        if (const std::uint8_t* header = entries.Header(i)) {
            GetEntryInfo(header, 0, info);
            if (info.Attributes & 0x10)
                continue;
        }
        tails.push_back(
            path.substr(std::min(path.size(), static_cast<std::size_t>(entries.RootLength(i)))));
    }
    const std::string root =
        entries.FileName(first).substr(0, static_cast<std::size_t>(entries.RootLength(first)));
    const auto collides = [this, &tails](const std::string& part) {
        for (const std::string& tail : tails)
            if (storedNames_.count(part + tail) > 0)
                return true;
        return false;
    };

    // The other rules store paths, unique in themselves; the cabinet refuses what repeats.
    if (storedDirNames_ != sdRelativeStoreStart)
        return;
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
    for (const std::string& tail : tails)
        storedNames_.insert(part + tail);
}
