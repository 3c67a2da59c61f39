#include "app/restore/NameSearch.h"

#include "platform/profile/CaseFold.h"

#include <algorithm>
#include <cstring>

namespace ostrivane::restore {

namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// `text` case-folded onto the end of `out`; names are mostly plain ASCII, which is folded here
// without a copy.
void AppendFolded(std::string& out, std::string_view text) {
    if (!IsAscii(text)) {
        out += profile::FoldCase(text);
        return;
    }
    for (char c : text)
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c);
}

} // namespace

NameSearch::NameSearch(const std::vector<Backup>& backups)
    : backups_(backups), folded_(backups.size()) {}

void NameSearch::Prepare() {
    for (std::uint32_t backup = 0; backup < folded_.size(); ++backup)
        FoldedNames(backup);
}

NameSearch::Folded& NameSearch::FoldedNames(std::uint32_t backup) {
    Folded& folded = folded_.at(backup);
    if (folded.Ready)
        return folded;
    const Backup& source = backups_.at(backup);
    folded.Text.reserve(source.Names.size() + source.Files.size());
    folded.Starts.reserve(source.Files.size() + 1);
    for (const BackupFile& file : source.Files) {
        folded.Starts.push_back(static_cast<std::uint32_t>(folded.Text.size()));
        AppendFolded(folded.Text, source.StoredName(file));
        folded.Text.push_back('\0');
    }
    folded.Starts.push_back(static_cast<std::uint32_t>(folded.Text.size()));
    folded.Ready = true;
    return folded;
}

void NameSearch::Find(std::string_view text, std::uint32_t backup, std::vector<FileRef>& found) {
    const std::uint32_t count = static_cast<std::uint32_t>(backups_.at(backup).Files.size());
    if (text.empty()) {
        for (std::uint32_t file = 0; file < count; ++file)
            found.push_back({backup, file});
        return;
    }
    std::string query(text);
    std::replace(query.begin(), query.end(), '/', '\\');
    std::string needle;
    AppendFolded(needle, query);
    const Folded& folded = FoldedNames(backup);
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
