// The entry list with its parallel per-entry lists and a name index for IndexOf.
#include "archive/TCompHeaderObj.h"

#include <cstring>
#include <stdexcept>

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
    index_.emplace(name, index);
    return index;
}

void TCompHeaderObj::SetFileName(int index, const std::string& name) {
    std::string& current = names_.at(index);
    auto range = index_.equal_range(current);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == index) {
            index_.erase(it);
            break;
        }
    }
    current = name;
    index_.emplace(name, index);
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
    auto range = index_.equal_range(name);
    int best = -1;
    for (auto it = range.first; it != range.second; ++it)
        if (best < 0 || it->second < best)
            best = it->second;
    return best;
}

void TCompHeaderObj::Clear() {
    names_.clear();
    rootLengths_.clear();
    actions_.clear();
    blocks_.clear();
    blocks_.shrink_to_fit();
    index_.clear();
    headSize_ = 0;
}
