#include "app/restore/NameSearch.h"

#include "app/restore/SearchFold.h"

#include <algorithm>
#include <cstring>

namespace ostrivane::restore {

NameSearch::NameSearch(const std::vector<Backup>& backups)
    : backups_(backups), folded_(backups.size()) {
    for (std::size_t backup = 0; backup < backups.size(); ++backup) {
        const Backup& source = backups[backup];
        Folded& folded = folded_[backup];
        folded.Text.reserve(source.Names.size() + source.Files.size());
        folded.Starts.reserve(source.Files.size() + 1);
        for (const BackupFile& file : source.Files) {
            folded.Starts.push_back(static_cast<std::uint32_t>(folded.Text.size()));
            AppendSearchFolded(folded.Text, source.StoredName(file));
            folded.Text.push_back('\0');
        }
        folded.Starts.push_back(static_cast<std::uint32_t>(folded.Text.size()));
    }
}

void NameSearch::Find(std::string_view text, std::uint32_t backup,
                      std::vector<FileRef>& found) const {
    const std::uint32_t count = static_cast<std::uint32_t>(backups_.at(backup).Files.size());
    if (text.empty()) {
        for (std::uint32_t file = 0; file < count; ++file)
            found.push_back({backup, file});
        return;
    }
    std::string query(text);
    std::replace(query.begin(), query.end(), '/', '\\');
    std::string needle;
    AppendSearchFolded(needle, query);
    const Folded& folded = folded_.at(backup);
    const char* const begin = folded.Text.data();
    std::size_t at = 0;
    while (at < folded.Text.size()) {
        const void* hit =
            ::memmem(begin + at, folded.Text.size() - at, needle.data(), needle.size());
        if (hit == nullptr)
            break;
        const auto offset = static_cast<std::uint32_t>(static_cast<const char*>(hit) - begin);
        // The name that holds the hit, and on to the next name.
        const auto next = std::upper_bound(folded.Starts.begin(), folded.Starts.end(), offset);
        const auto file = static_cast<std::uint32_t>(next - folded.Starts.begin() - 1);
        found.push_back({backup, file});
        at = *next;
    }
}

} // namespace ostrivane::restore
