// Enumerations, small value types and date-time conventions shared by the archive engine.
// Enumeration values keep their declaration order: the ordinal of each value is its position.
#pragma once

#include <cstdint>
#include <initializer_list>

// Date-time values are Delphi-style day counts: days since 1899-12-30 00:00 as a double, the
// fraction being the time of day (local time). 1980-01-01 00:00 is 29221.0.
using TDateTime = double;

enum TCompressMethod : std::uint8_t {
    cmStore,
    cmDeflate,
    cmFuse,
    cmFrozen5,
    cmFrozen6,
    cmMsZip,
    cmLzx,
    cmQuantum,
    cmUUEncode,
    cmXXEncode,
    cmBase64,
    cmTarred,
    cmTarGzip
};

enum TArcType : std::uint8_t {
    atNA,
    atUnsupported,
    atFileOpenErr,
    atUnknown,
    atAce,
    atAceExe,
    atArc,
    atArcExe,
    atArj,
    atArjExe,
    atBh,
    atBhExe,
    atCab,
    atGZip,
    atHA,
    atJar,
    atJarExe,
    atLha,
    atLhaExe,
    atLzh,
    atLzhExe,
    atMsGZ,
    atPak,
    atPakExe,
    atRar,
    atRarExe,
    atTar,
    atTarGZip,
    atUUE,
    atZip,
    atZipExe,
    atZipMV,
    atZoo
};

enum TStoredDirNames : std::uint8_t {
    sdNone,
    sdAbsolute,
    sdAbsoluteNoDrv,
    sdAbsoluteNoRoot,
    sdRelative,
    sdRelativeStoreStart,
    sdExplorer_Auto,
    sdExplorer_UserDefineDefaultDir
};

enum TDateAttribute : std::uint8_t { daFileDate, daSysDate, daMaxFileDate };

enum TDeleteOptions : std::uint8_t { doFinal, doAllowUndo };

enum TCompressionType : std::uint8_t { ctStore, ctMsZip, ctLzx };

enum TOperationMode : std::uint8_t {
    omAdd = 0,
    omUpdate = 1,
    omMove = 2,
    omDelete = 3,
    omList = 4
};

// What the compress driver does with one entry of the entry list.
enum EntryAction : std::uint8_t { eaCompress = 0, eaCopy = 1, eaSkip = 2, eaRename = 3 };

// File attribute classes of the scanner's filters; see TvrkFileAttrs for the bits they test.
enum TvrkFileAttr : std::uint8_t {
    fsZeroAttr,
    fsReadOnly,
    fsHidden,
    fsSysFile,
    fsVolumeID,
    fsDirectory,
    fsArchive
};

// A set of TvrkFileAttr members (ordinals 0..7), held as a bit mask of ordinals.
class TvrkFileAttrs {
public:
    constexpr TvrkFileAttrs() = default;
    constexpr TvrkFileAttrs(std::initializer_list<TvrkFileAttr> members) {
        for (TvrkFileAttr m : members)
            Include(m);
    }

    constexpr bool Contains(TvrkFileAttr m) const { return (bits_ >> m) & 1u; }
    constexpr void Include(TvrkFileAttr m) {
        if (m <= 7)
            bits_ = static_cast<std::uint8_t>(bits_ | (1u << m));
    }
    constexpr void Exclude(TvrkFileAttr m) {
        if (m <= 7)
            bits_ = static_cast<std::uint8_t>(bits_ & ~(1u << m));
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr std::uint8_t Bits() const { return bits_; }
    constexpr bool operator==(const TvrkFileAttrs&) const = default;

    // True when at least one member applies to the attribute value `attr`: fsZeroAttr for a
    // value of exactly 0 or 0x80, fsVolumeID never, the others when their bit is set. An empty
    // set passes nothing.
    constexpr bool Passes(std::uint32_t attr) const {
        if (Contains(fsZeroAttr) && (attr == 0 || attr == 0x80))
            return true;
        if (Contains(fsReadOnly) && (attr & 0x01))
            return true;
        if (Contains(fsHidden) && (attr & 0x02))
            return true;
        if (Contains(fsSysFile) && (attr & 0x04))
            return true;
        if (Contains(fsDirectory) && (attr & 0x10))
            return true;
        if (Contains(fsArchive) && (attr & 0x20))
            return true;
        return false;
    }

private:
    std::uint8_t bits_ = 0;
};

// Date-time, size and attributes of one entry, as PutEntryInfo stores them in an entry's
// header block and GetEntryInfo reads them back.
struct TEntryInfo {
    std::uint32_t DosDateTime = 0; // packed DOS date (high 16 bits) and time (low 16 bits)
    TDateTime DateTime = 0.0;
    std::uint64_t Size = 0;
    std::uint32_t Attributes = 0;
    // The modification time as the scan found it (seconds since 1970, UTC, and nanoseconds) and
    // the permission bits (st_mode & 07777).
    std::int64_t ModifiedSeconds = 0;
    std::uint32_t ModifiedNanoseconds = 0;
    std::uint16_t Mode = 0;
};
