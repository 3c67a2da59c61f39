// Finding files by any part of their stored names, ignoring case and accents ("zprava" finds
// "Zpráva.odt", SearchFold.h), in the backups of a catalog. Each backup's names are folded once,
// into one block of text, and a search is one pass over that block per backup.
#pragma once

#include "app/restore/BackupCatalog.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrivane::restore {

// One file of one backup of a catalog.
struct FileRef {
    std::uint32_t Backup = 0; // index in the catalog
    std::uint32_t File = 0;   // index in the backup's Files
};

class NameSearch {
public:
    // Searches `backups`, which must outlive it and stay as they are; their names are folded
    // here, once.
    explicit NameSearch(const std::vector<Backup>& backups);

    // Appends to `found` the files of backup `backup` whose stored name holds `text` (UTF-8; "/"
    // stands for "\"), ignoring case and accents, in the order of the backup's files; every file
    // for an empty text.
    void Find(std::string_view text, std::uint32_t backup, std::vector<FileRef>& found) const;

private:
    struct Folded {
        std::string Text;                  // the folded names, each followed by a NUL
        std::vector<std::uint32_t> Starts; // where each name begins, and the end of the text
    };

    const std::vector<Backup>& backups_;
    std::vector<Folded> folded_;
};

} // namespace ostrivane::restore
