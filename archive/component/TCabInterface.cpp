// Cabinet settings and the layout of the per-entry header block.
#include "archive/component/TCabInterface.h"

#include <algorithm>
#include <cstring>

using ostrivane::cabformat::LoadU32;
using ostrivane::cabformat::StoreU32;

namespace {

void StoreU64(std::uint8_t* at, std::uint64_t value) {
    StoreU32(at, static_cast<std::uint32_t>(value));
    StoreU32(at + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint64_t LoadU64(const std::uint8_t* at) {
    return LoadU32(at) | (static_cast<std::uint64_t>(LoadU32(at + 4)) << 32);
}

} // namespace

void StoreCabEntryHeader(std::uint8_t* block, const TEntryInfo& info) {
    std::memset(block, 0, kCabHeadSize);
    StoreU32(block, info.DosDateTime);
    StoreU64(block + 4, static_cast<std::uint64_t>(info.ModifiedSeconds));
    StoreU64(block + 12, info.Size);
    StoreU32(block + 20, info.Attributes);
    StoreU32(block + 24, info.ModifiedNanoseconds);
    ostrivane::cabformat::StoreU16(block + 28, info.Mode);
}

TEntryInfo LoadCabEntryHeader(const std::uint8_t* block) {
    TEntryInfo info;
    info.DosDateTime = LoadU32(block);
    info.ModifiedSeconds = static_cast<std::int64_t>(LoadU64(block + 4));
    info.Size = LoadU64(block + 12);
    info.Attributes = LoadU32(block + 20);
    info.ModifiedNanoseconds = LoadU32(block + 24);
    info.Mode = ostrivane::cabformat::LoadU16(block + 28);
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
    info.DateTime = DosDateToDateTime(info.DosDateTime);
    SetCurrentEntryInfo(info);
}
