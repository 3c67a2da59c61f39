// The entry list with its parallel per-entry lists and a name index for IndexOf.
#include "archive/component/TCompHeaderObj.h"

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string_view>

namespace {

std::uint64_t NameHash(const std::string& name) {
    return std::hash<std::string_view>{}(name) | 1u; // never 0
}

} // namespace

void TCompHeaderObj::IndexInsert(std::uint64_t hash, int index) {
    if ((names_.size() + 1) * 2 > slots_.size()) {
        RebuildIndex(); // grows the table; covers every entry up to names_.size()
        return;
    }
    std::size_t mask = slots_.size() - 1;
    std::size_t pos = static_cast<std::size_t>(hash) & mask;
    while (slots_[pos].entry != 0)
        pos = (pos + 1) & mask;
    slots_[pos] = Slot{hash, static_cast<std::uint32_t>(index + 1)};
}

void TCompHeaderObj::RebuildIndex() {
    std::size_t size = 16;
    while (size < names_.size() * 2 + 2)
        size *= 2;
    slots_.assign(size, Slot{});
    std::size_t mask = size - 1;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        std::size_t pos = static_cast<std::size_t>(hashes_[i]) & mask;
        while (slots_[pos].entry != 0)
            pos = (pos + 1) & mask;
        slots_[pos] = Slot{hashes_[i], static_cast<std::uint32_t>(i + 1)};
    }
    indexStale_ = false;
}

int TCompHeaderObj::Add(const std::string& name, int rootLength, const std::uint8_t* header,
                        std::size_t headSize, EntryAction action) {
    if (names_.empty())
        headSize_ = headSize;
    else if (headSize != headSize_)
        throw std::invalid_argument("header blocks of one entry list must have one size");
    int index = Count();
    names_.push_back(name);
    rootLengths_.push_back(rootLength);
    actions_.push_back(TEntryActionRecord{action});
    std::size_t offset = blocks_.size();
    blocks_.resize(offset + headSize_);
    if (header && headSize_)
        std::memcpy(blocks_.data() + offset, header, headSize_);
    hashes_.push_back(NameHash(name));
    if (!indexStale_)
        IndexInsert(hashes_.back(), index);
    return index;
}

void TCompHeaderObj::SetFileName(int index, const std::string& name) {
    names_.at(static_cast<std::size_t>(index)) = name;
    hashes_[static_cast<std::size_t>(index)] = NameHash(name);
    indexStale_ = true;
}

std::uint8_t* TCompHeaderObj::Header(int index) {
    if (index < 0 || index >= Count())
        throw std::out_of_range("entry index");
    return headSize_ ? blocks_.data() + static_cast<std::size_t>(index) * headSize_ : nullptr;
}

const std::uint8_t* TCompHeaderObj::Header(int index) const {
    return const_cast<TCompHeaderObj*>(this)->Header(index);
}

int TCompHeaderObj::IndexOf(const std::string& name) const {
    if (names_.empty())
        return -1;
    auto* self = const_cast<TCompHeaderObj*>(this);
    if (indexStale_ || slots_.empty())
        self->RebuildIndex();
    std::uint64_t hash = NameHash(name);
    std::size_t mask = slots_.size() - 1;
    int best = -1;
    for (std::size_t pos = static_cast<std::size_t>(hash) & mask; slots_[pos].entry != 0;
         pos = (pos + 1) & mask) {
        const Slot& slot = slots_[pos];
        int entry = static_cast<int>(slot.entry) - 1;
        if (slot.hash == hash && names_[static_cast<std::size_t>(entry)] == name &&
            (best < 0 || entry < best))
            best = entry;
    }
    return best;
}

void TCompHeaderObj::Clear() {
    names_.clear();
    rootLengths_.clear();
    actions_.clear();
    blocks_.clear();
    blocks_.shrink_to_fit();
    hashes_.clear();
    slots_.clear();
    indexStale_ = false;
    headSize_ = 0;
}
