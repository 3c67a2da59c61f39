// A 32-bit stream that opens or creates a named file. It never raises for a file that cannot be
// opened: the constructor reports through OpenError (254 create failed, 255 open failed).
#pragma once

#include "cabinet/streams/THandleStream32.h"

#include <cstdint>
#include <string>

// Mode value that creates a new file or cuts an existing one to length 0.
inline constexpr std::uint16_t fmCreate = 0xFFFF;
// Access, bits 0-1 of any other mode.
inline constexpr std::uint16_t fmOpenRead = 0x0000;
inline constexpr std::uint16_t fmOpenWrite = 0x0001;
inline constexpr std::uint16_t fmOpenReadWrite = 0x0002;
// Sharing, bits 4-7. Kept for the callers' sake; this platform has no mandatory sharing, so the
// stream takes no lock whatever the value.
inline constexpr std::uint16_t fmShareExclusive = 0x0010;
inline constexpr std::uint16_t fmShareDenyWrite = 0x0020;
inline constexpr std::uint16_t fmShareDenyRead = 0x0030;
inline constexpr std::uint16_t fmShareDenyNone = 0x0040;

inline constexpr std::uint8_t kCreateError = 254;
inline constexpr std::uint8_t kOpenError = 255;

class TFileStream32 : public THandleStream32 {
public:
    // Opens FileName by Mode. Only regular files are opened (a folder, a FIFO or a device name
    // fails), so that a read can never block or act on something that is not a file.
    TFileStream32(const std::string& FileName, std::uint16_t Mode, std::uint8_t& OpenError);
    // Takes over `OpenHandle`, a descriptor opened for reading the file `FileName` elsewhere;
    // closes it when it goes.
    TFileStream32(int OpenHandle, const std::string& FileName);
    ~TFileStream32() override;

    const std::string& FileName() const { return fileName_; }
    std::uint16_t Mode() const { return mode_; }

private:
    std::string fileName_;
    std::uint16_t mode_;
};
