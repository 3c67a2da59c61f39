// The base of the cabinet component: the cabinet settings with their setter rules, the
// defaults of a cabinet build, and the layout of the 36-byte per-entry header block.
#pragma once

#include "archive/component/TCompBase.h"
#include "platform/cabformat/CabinetFormat.h"

#include <array>
#include <cstdint>

// Layout of a cabinet entry's header block (little-endian, 32 bytes): DOS date-time (4), the
// modification time's seconds (8), size (8), attributes (4), its nanoseconds (4), the permission
// bits (2), reserved (2). The date-time as a number follows from the DOS date-time.
inline constexpr int kCabHeadSize = 32;
void StoreCabEntryHeader(std::uint8_t* block, const TEntryInfo& info);
TEntryInfo LoadCabEntryHeader(const std::uint8_t* block);

class TCabInterface : public TCompBase {
public:
    // Cabinet defaults: ArcType atCab, DefaultExt ".CAB", cmMsZip, RecurseDirs on,
    // sdRelative, Attributes [fsZeroAttr, fsReadOnly, fsArchive], LzxLevel 21, QuantumLevel 7,
    // QuantumMemory 21, QuantumType ctMsZip, FailOnIncompressible and TranslateOemChar on.
    explicit TCabInterface(TComponent* owner = nullptr);

    // A cabinet holds files smaller than one folder's 65535 blocks of 32 KiB.
    std::uint64_t FileSizeLimit() const override { return ostrivane::cabformat::kFileSizeLimit; }

    int LzxLevel() const { return lzxLevel_; }
    void SetLzxLevel(int value); // clamped to 15..21
    int QuantumLevel() const { return quantumLevel_; }
    void SetQuantumLevel(int value); // clamped to 1..7
    int QuantumMemory() const { return quantumMemory_; }
    void SetQuantumMemory(int value); // clamped to 10..21
    TCompressionType QuantumType() const { return quantumType_; }
    void SetQuantumType(TCompressionType value) { quantumType_ = value; }
    bool FailOnIncompressible() const { return failOnIncompressible_; }
    void SetFailOnIncompressible(bool value) { failOnIncompressible_ = value; }
    bool TranslateOemChar() const { return translateOemChar_; }
    void SetTranslateOemChar(bool value) { translateOemChar_ = value; }

    // Entries carry the 36-byte header block above, kept in the component's own buffer.
    int GetHeadSize() override { return kCabHeadSize; }
    int GetHeadSizeEx() override { return kCabHeadSize; }
    std::uint8_t* GetHeadPtr() override { return CabHeadBuffer.data(); }
    void PutEntryInfo(std::uint8_t* header, const TEntryInfo& info) override;
    void GetEntryInfo(const std::uint8_t* header, int kind, TEntryInfo& info) override;

protected:
    // The header buffer handed out through GetHeadPtr.
    std::array<std::uint8_t, kCabHeadSize> CabHeadBuffer{};

    int lzxLevel_ = 21;
    int quantumLevel_ = 7;
    int quantumMemory_ = 21;
    TCompressionType quantumType_ = ctMsZip;
    bool failOnIncompressible_ = true;
    bool translateOemChar_ = true;
};
