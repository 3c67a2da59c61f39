// The compact entry list and its name index for IndexOf.
#include "archive/component/TCompHeaderObj.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

// FNV-1a over the bytes, continued across the parts of a name; never 0.
constexpr std::uint64_t kHashStart = 14695981039346656037ull;
std::uint64_t Continue(std::uint64_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}
std::uint64_t Finish(std::uint64_t hash) {
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    return hash | 1u;
}

} // namespace

int TCompHeaderObj::Add(const std::string& name, int rootLength, const std::uint8_t* header,
                        std::size_t headSize, EntryAction action) {
    if (records_.empty())
        headSize_ = headSize;
    else if (headSize != headSize_)
        throw std::invalid_argument("header blocks of one entry list must have one size");
    const std::size_t slash = name.rfind('/');
    const std::size_t split = slash == std::string::npos ? 0 : slash + 1;
    const std::string_view folder = std::string_view(name).substr(0, split);
    const std::string_view own = std::string_view(name).substr(split);
    if (own.size() >= kNameChunk)
        throw std::length_error("entry name");
    if (names_.empty() || names_.back().size() + own.size() > kNameChunk) {
        if (names_.size() >= kNameChunk)
            throw std::length_error("entry names");
        names_.emplace_back();
        names_.back().reserve(kNameChunk);
    }

    if (lastFolder_ == UINT32_MAX || folders_[lastFolder_] != folder) {
        const auto found = folderIds_.find(folder);
        if (found != folderIds_.end()) {
            lastFolder_ = found->second;
        } else {
            lastFolder_ = static_cast<std::uint32_t>(folders_.size());
            folders_.emplace_back(folder);
            folderIds_.emplace(folders_.back(), lastFolder_);
        }
    }
    Record record;
    record.folder = lastFolder_;
    record.nameAt = static_cast<std::uint32_t>(((names_.size() - 1) << 16) | names_.back().size());
    record.nameSize = static_cast<std::uint16_t>(own.size());
    record.rootLength = static_cast<std::uint32_t>(std::max(0, rootLength));
    names_.back().append(own);
    const std::size_t slot = records_.size() % kBlocksPerChunk;
    if (slot == 0 && headSize_ > 0)
        blocks_.push_back(std::make_unique<std::uint8_t[]>(kBlocksPerChunk * headSize_));
    records_.push_back(record);
    actions_.push_back(TEntryActionRecord{action});
    if (header && headSize_)
        std::memcpy(blocks_.back().get() + slot * headSize_, header, headSize_);
    allAbsolute_ = allAbsolute_ && !name.empty() && name.front() == '/';
    const std::size_t index = records_.size() - 1;
    if (!slots_.empty())
        IndexInsert(HashOf(index), index);
    return static_cast<int>(index);
}

std::string_view TCompHeaderObj::FolderPart(int index) const {
    return folders_[records_.at(static_cast<std::size_t>(index)).folder];
}

std::string_view TCompHeaderObj::NamePart(int index) const {
    const Record& record = records_.at(static_cast<std::size_t>(index));
    return std::string_view(names_[record.nameAt >> 16])
        .substr(record.nameAt & 0xFFFF, record.nameSize);
}

std::string TCompHeaderObj::FileName(int index) const {
    std::string name(FolderPart(index));
    name += NamePart(index);
    return name;
}

std::uint8_t* TCompHeaderObj::Header(int index) {
    if (index < 0 || index >= Count())
        throw std::out_of_range("entry index");
    const auto at = static_cast<std::size_t>(index);
    return headSize_ ? blocks_[at / kBlocksPerChunk].get() + at % kBlocksPerChunk * headSize_
                     : nullptr;
}

const std::uint8_t* TCompHeaderObj::Header(int index) const {
    return const_cast<TCompHeaderObj*>(this)->Header(index);
}

bool TCompHeaderObj::NameIs(std::size_t index, std::string_view name) const {
    const std::string_view folder = FolderPart(static_cast<int>(index));
    return name.size() == folder.size() + records_[index].nameSize &&
           name.substr(0, folder.size()) == folder &&
           name.substr(folder.size()) == NamePart(static_cast<int>(index));
}

std::uint64_t TCompHeaderObj::HashOf(std::size_t index) const {
    return Finish(Continue(Continue(kHashStart, FolderPart(static_cast<int>(index))),
                           NamePart(static_cast<int>(index))));
}

void TCompHeaderObj::IndexInsert(std::uint64_t hash, std::size_t index) {
    if ((records_.size() + 1) * 2 > slots_.size()) {
        RebuildIndex(); // grows the table; covers every entry up to records_.size()
        return;
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t pos = static_cast<std::size_t>(hash) & mask;
    while (slots_[pos] != 0)
        pos = (pos + 1) & mask;
    slots_[pos] = static_cast<std::uint32_t>(index + 1);
}

void TCompHeaderObj::RebuildIndex() {
    std::size_t size = 16;
    while (size < records_.size() * 2 + 2)
        size *= 2;
    slots_.assign(size, 0);
    const std::size_t mask = size - 1;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        std::size_t pos = static_cast<std::size_t>(HashOf(i)) & mask;
        while (slots_[pos] != 0)
            pos = (pos + 1) & mask;
        slots_[pos] = static_cast<std::uint32_t>(i + 1);
    }
}

int TCompHeaderObj::IndexOf(std::string_view name) const {
    if (records_.empty() || (allAbsolute_ && (name.empty() || name.front() != '/')))
        return -1;
    auto* self = const_cast<TCompHeaderObj*>(this);
    if (slots_.empty())
        self->RebuildIndex();
    const std::uint64_t hash = Finish(Continue(kHashStart, name));
    const std::size_t mask = slots_.size() - 1;
    int best = -1;
    for (std::size_t pos = static_cast<std::size_t>(hash) & mask; slots_[pos] != 0;
         pos = (pos + 1) & mask) {
        const std::size_t entry = slots_[pos] - 1;
        if (NameIs(entry, name) && (best < 0 || static_cast<int>(entry) < best))
            best = static_cast<int>(entry);
    }
    return best;
}

void TCompHeaderObj::Clear() {
    records_ = {};
    actions_ = {};
    blocks_.clear();
    blocks_.shrink_to_fit();
    names_ = {};
    folderIds_ = {};
    folders_ = {};
    slots_ = {};
    lastFolder_ = UINT32_MAX;
    allAbsolute_ = true;
    headSize_ = 0;
}
