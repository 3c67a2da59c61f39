#include "app/restore/OriginalPlaces.h"

#include "platform/fs/Paths.h"

#include <algorithm>
#include <map>
#include <set>

namespace ostrivane::restore {

OriginalPlaces OriginalPlaces::FromRecord(const std::vector<cabformat::SourceGroup>& groups) {
    OriginalPlaces places;
    for (const cabformat::SourceGroup& group : groups) {
        // Only absolute folders; a group without one is asked for.
        if (!group.Folder.empty() && group.Folder.front() == '/')
            places.Add(group.StoredPrefix, group.Folder);
    }
    return places;
}

OriginalPlaces OriginalPlaces::FromSources(const std::vector<std::string>& sourceFolders,
                                           const std::vector<std::string_view>& storedNames) {
    // Every prefix a source's group can have (its last folder name, or more of its path), with
    // the sources that can have it.
    std::map<std::string, std::set<std::string>, std::less<>> candidates;
    std::size_t longest = 0;
    for (const std::string& source : sourceFolders) {
        if (source.empty())
            continue;
        // "/a/b/c/": the group can be "c\", "b\c\" or "a\b\c\".
        const std::string plain = fs::PlainFolder(source);
        const std::string folder = plain.size() > 1 ? plain.substr(0, plain.size() - 1) : plain;
        std::string stored = plain.substr(1);
        std::replace(stored.begin(), stored.end(), '/', '\\');
        for (std::size_t at = 0; at < stored.size(); ++at) {
            if (at > 0 && stored[at - 1] != '\\')
                continue;
            longest = std::max(longest, stored.size() - at);
            candidates[stored.substr(at)].insert(folder);
        }
    }
    OriginalPlaces places;
    std::set<std::string> known;
    std::set<std::string> asked;
    for (const std::string_view name : storedNames) {
        // The longest prefix of the name that some source can have.
        std::string_view prefix;
        const std::set<std::string>* sources = nullptr;
        for (std::size_t slash = name.find('\\'); slash != std::string_view::npos;
             slash = name.find('\\', slash + 1)) {
            if (slash + 1 > longest)
                break;
            if (const auto found = candidates.find(name.substr(0, slash + 1));
                found != candidates.end()) {
                prefix = name.substr(0, slash + 1);
                sources = &found->second;
            }
        }
        if (sources != nullptr && sources->size() == 1) {
            if (known.insert(std::string(prefix)).second)
                places.Add(std::string(prefix), *sources->begin());
            continue;
        }
        // No source fits, or more than one: the folder of that group is asked for. With no
        // fit, the group is taken to be the name's first folder.
        if (sources == nullptr) {
            const std::size_t slash = name.find('\\');
            prefix =
                slash == std::string_view::npos ? std::string_view() : name.substr(0, slash + 1);
        }
        if (asked.insert(std::string(prefix)).second)
            places.questions_.emplace_back(prefix);
    }
    return places;
}

void OriginalPlaces::Answer(const std::string& prefix, const std::string& folder) {
    Add(prefix, folder);
    questions_.erase(std::remove(questions_.begin(), questions_.end(), prefix), questions_.end());
}

void OriginalPlaces::Add(std::string prefix, std::string folder) {
    const auto at = std::find_if(groups_.begin(), groups_.end(), [&](const Group& group) {
        return group.Prefix.size() < prefix.size();
    });
    groups_.insert(at, {std::move(prefix), std::move(folder)});
}

std::optional<RestorePlace> OriginalPlaces::Place(std::string_view storedName) const {
    for (const Group& group : groups_) {
        if (storedName.size() > group.Prefix.size() && storedName.starts_with(group.Prefix))
            return RestorePlace{group.Folder, std::string(storedName.substr(group.Prefix.size()))};
    }
    return std::nullopt;
}

} // namespace ostrivane::restore
