// Which source folder each group of stored names came from, kept with every backup so that a
// restore can put each file back where it was, whatever became of the source list since. The
// record lies in the first cabinet's header reserve, which every reader skips, right after the
// set record (SetRecord.h; at the reserve's start in backups made before sets carried one), so the
// archive's contents stay the backed-up files alone:
//
//   "OSTRIVANE-SOURCES 1" NUL, the number of groups in decimal NUL, then per group its stored
//   prefix NUL and its folder NUL.
//
// The stored prefix is what the group's stored names begin with, "\" after every folder name
// ("Dokumenty\", "b\Data\", "Data~2\"; empty for the root folder); the folder is the plain
// absolute path of the source ("/home/me/Dokumenty", "/" for the root).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrivane::cabformat {

struct SourceGroup {
    std::string StoredPrefix;
    std::string Folder;

    bool operator==(const SourceGroup&) const = default;
};

// The record's bytes, or "" when they would not fit a cabinet's header reserve beside the set
// record.
std::string EncodeSourceRecord(const std::vector<SourceGroup>& groups);

// The groups of a record read from a header reserve (zero padding after it is allowed); nothing
// when the bytes hold no record.
std::optional<std::vector<SourceGroup>> DecodeSourceRecord(const std::uint8_t* bytes,
                                                           std::size_t size);

// The record of the cabinet `path`; nothing when it has none or cannot be read.
std::optional<std::vector<SourceGroup>> ReadSourceRecord(const std::string& path);

} // namespace ostrivane::cabformat
