// Cabinet settings and the layout of the per-entry header block.
#include "archive/component/TCabInterface.h"

#include <algorithm>
#include <cstring>

using ostrivane::cabformat::LoadU32;
using ostrivane::cabformat::StoreU32;

void StoreCabEntryHeader(std::uint8_t* block, const TEntryInfo& info) {
    std::memset(block, 0, kCabHeadSize);
    StoreU32(block, info.DosDateTime);
    std::uint64_t bits = 0;
    static_assert(sizeof bits == sizeof info.DateTime);
    std::memcpy(&bits, &info.DateTime, sizeof bits);
    StoreU32(block + 4, static_cast<std::uint32_t>(bits));
    StoreU32(block + 8, static_cast<std::uint32_t>(bits >> 32));
    StoreU32(block + 12, static_cast<std::uint32_t>(info.Size));
    StoreU32(block + 16, static_cast<std::uint32_t>(info.Size >> 32));
    StoreU32(block + 20, info.Attributes);
}

TEntryInfo LoadCabEntryHeader(const std::uint8_t* block) {
    TEntryInfo info;
    info.DosDateTime = LoadU32(block);
    std::uint64_t bits =
        LoadU32(block + 4) | (static_cast<std::uint64_t>(LoadU32(block + 8)) << 32);
    std::memcpy(&info.DateTime, &bits, sizeof bits);
    info.Size = LoadU32(block + 12) | (static_cast<std::uint64_t>(LoadU32(block + 16)) << 32);
    info.Attributes = LoadU32(block + 20);
    return info;
}

TCabInterface::TCabInterface(TComponent* owner) : TCompBase(owner) {
    arcType_ = atCab;
    defaultExt_ = ".CAB";
    compressMethod_ = cmMsZip;
    recurseDirs_ = true;
    storedDirNames_ = sdRelative;
    attributes_ = {fsZeroAttr, fsReadOnly, fsArchive};
    dateAttribute_ = daFileDate;
    deleteOptions_ = doAllowUndo;
}

void TCabInterface::SetLzxLevel(int value) {
    lzxLevel_ = std::clamp(value, 15, 21);
}
void TCabInterface::SetQuantumLevel(int value) {
    quantumLevel_ = std::clamp(value, 1, 7);
}
void TCabInterface::SetQuantumMemory(int value) {
    quantumMemory_ = std::clamp(value, 10, 21);
}

void TCabInterface::PutEntryInfo(std::uint8_t* header, const TEntryInfo& info) {
    StoreCabEntryHeader(header, info);
}

void TCabInterface::GetEntryInfo(const std::uint8_t* header, int /*kind*/, TEntryInfo& info) {
    info = LoadCabEntryHeader(header);
    SetCurrentEntryInfo(info);
}
