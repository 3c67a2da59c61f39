// Where each stored name of a backup came from. A backup made with the record of its sources
// says it for each group of names: "Dokumenty\" from /home/me/Dokumenty, "b\Data\" from /b/Data,
// "Data~2\" from /c/Data. For a backup made before the record, each name's group is found by
// the last folder names of today's sources (the group of a source is named after its last
// folder, or more of its path where two sources share it); where no source or more than one
// fits, the user is asked for the folder.
#pragma once

#include "cabinet/format/SourceRecord.h"
#include "cabinet/read/CabinetRestore.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrivane::restore {

class OriginalPlaces {
public:
    // The groups of a backup's record of its sources.
    static OriginalPlaces FromRecord(const std::vector<cabformat::SourceGroup>& groups);
    // For a backup without the record: the groups of `storedNames` by the last folder names of
    // `sourceFolders` (absolute paths).
    static OriginalPlaces FromSources(const std::vector<std::string>& sourceFolders,
                                      const std::vector<std::string_view>& storedNames);

    // The stored prefixes ("Data\"; "" for names in no folder) of the groups whose folder is
    // not known, in order: the user is to be asked for each.
    const std::vector<std::string>& Questions() const { return questions_; }
    // The user's answer: the names of the group `prefix` go below `folder`.
    void Answer(const std::string& prefix, const std::string& folder);

    // Where the file `storedName` goes: the folder of its group and the rest of its name.
    std::optional<RestorePlace> Place(std::string_view storedName) const;

private:
    void Add(std::string prefix, std::string folder);

    struct Group {
        std::string Prefix;
        std::string Folder;
    };
    std::vector<Group> groups_; // the longest prefix first
    std::vector<std::string> questions_;
};

} // namespace ostrivane::restore
