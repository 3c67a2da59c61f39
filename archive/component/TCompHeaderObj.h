// The entry list of one build: per entry, at the same index, the entry name (the full path as
// found on disk, later the stored name once written), the length of its group root, an action
// record and a header block of the component's GetHeadSize bytes.
#pragma once

#include "archive/model/ArchiveTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TEntryActionRecord {
    EntryAction Action = eaCompress;
};

class TCompHeaderObj {
public:
    int Count() const { return static_cast<int>(names_.size()); }

    // Appends an entry; `header` points at `headSize` bytes that are copied (every block of one
    // list has the same size). Returns the new entry's index.
    int Add(const std::string& name, int rootLength, const std::uint8_t* header,
            std::size_t headSize, EntryAction action = eaCompress);

    const std::string& FileName(int index) const { return names_.at(index); }
    void SetFileName(int index, const std::string& name);
    int RootLength(int index) const { return rootLengths_.at(index); }
    TEntryActionRecord& ActionRecord(int index) { return actions_.at(index); }
    const TEntryActionRecord& ActionRecord(int index) const { return actions_.at(index); }
    std::uint8_t* Header(int index);
    const std::uint8_t* Header(int index) const;
    std::size_t HeadSize() const { return headSize_; }

    // Index of the first entry whose name is exactly `name` (the file system is
    // case-sensitive), or -1.
    int IndexOf(const std::string& name) const;

    // Empties the list and frees every header block.
    void Clear();

private:
    std::vector<std::string> names_;
    std::vector<int> rootLengths_;
    std::vector<TEntryActionRecord> actions_;
    std::vector<std::uint8_t> blocks_; // Count() blocks of headSize_ bytes
    std::size_t headSize_ = 0;
    // Open-addressing index over names_ for IndexOf: slots hold entry index + 1 (0 = free)
    // next to the name's hash. Renames mark it stale; it is rebuilt by the next IndexOf.
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t entry = 0;
    };
    void IndexInsert(std::uint64_t hash, int index);
    void RebuildIndex();
    std::vector<Slot> slots_;
    std::vector<std::uint64_t> hashes_; // per entry
    bool indexStale_ = false;
};
