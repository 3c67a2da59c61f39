// The entry list of one build: per entry, at the same index, the entry name (the full path as
// found on disk), the length of its group root, an action record and a header block of the
// component's GetHeadSize bytes. Kept compact, so that a build of any number of files holds
// little per file: every folder's text once, each entry's own name in one shared buffer, the
// header blocks side by side, and an index of the names only while someone looks names up. Every
// part grows in chunks of a fixed size, never by copying what it holds into a larger block, so
// that a long list costs no passing doubles of itself.
#pragma once

#include "archive/model/ArchiveTypes.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct TEntryActionRecord {
    EntryAction Action = eaCompress;
};

class TCompHeaderObj {
public:
    int Count() const { return static_cast<int>(records_.size()); }

    // Appends an entry; `header` points at `headSize` bytes that are copied (every block of one
    // list has the same size). Returns the new entry's index.
    int Add(const std::string& name, int rootLength, const std::uint8_t* header,
            std::size_t headSize, EntryAction action = eaCompress);

    // The entry's name, and its two parts: the folder up to and with its last "/", and the rest.
    std::string FileName(int index) const;
    std::string_view FolderPart(int index) const;
    std::string_view NamePart(int index) const;
    int RootLength(int index) const { return static_cast<int>(records_.at(index).rootLength); }
    TEntryActionRecord& ActionRecord(int index) { return actions_.at(index); }
    const TEntryActionRecord& ActionRecord(int index) const { return actions_.at(index); }
    std::uint8_t* Header(int index);
    const std::uint8_t* Header(int index) const;
    std::size_t HeadSize() const { return headSize_; }

    // Index of the first entry whose name is exactly `name` (the file system is
    // case-sensitive), or -1.
    int IndexOf(std::string_view name) const;

    // Empties the list and frees every header block.
    void Clear();

private:
    struct Record {
        std::uint32_t folder = 0; // into folders_
        std::uint32_t nameAt = 0; // the chunk of names_ (high 16 bits) and the place in it
        std::uint32_t rootLength = 0;
        std::uint16_t nameSize = 0;
    };
    bool NameIs(std::size_t index, std::string_view name) const;
    std::uint64_t HashOf(std::size_t index) const;
    void IndexInsert(std::uint64_t hash, std::size_t index);
    void RebuildIndex();

    std::deque<Record> records_;
    std::deque<TEntryActionRecord> actions_;
    // The header blocks, kBlocksPerChunk to a chunk.
    static constexpr std::size_t kBlocksPerChunk = 1024;
    std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;
    std::size_t headSize_ = 0;
    // The entries' names below their folders, one after another in chunks of 64 KiB.
    static constexpr std::size_t kNameChunk = 1u << 16;
    std::vector<std::string> names_;
    std::deque<std::string> folders_; // each folder part once (stable, for the lookup's views)
    std::unordered_map<std::string_view, std::uint32_t> folderIds_;
    std::uint32_t lastFolder_ = UINT32_MAX;
    // Whether every name so far begins with "/": then a name that does not is in no entry.
    bool allAbsolute_ = true;
    // Open-addressing index over the names for IndexOf, made at its first use: slots hold the
    // entry index + 1 (0 = free).
    std::vector<std::uint32_t> slots_;
};
