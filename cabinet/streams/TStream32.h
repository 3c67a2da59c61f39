// The root of the 32-bit stream family that the cabinet library's file callbacks stand on.
// Every position, size and count is a 32-bit integer; 64-bit overloads only check the range and
// hand over to the 32-bit operations.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Raised by the stream operations themselves ("Range check error", "Seek not implemented").
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised when an operating-system call behind a stream fails; Code is the errno value.
class EOSError : public std::runtime_error {
public:
    EOSError(int code, const std::string& message) : std::runtime_error(message), Code(code) {}
    int Code;
};

// Seek origins.
inline constexpr std::uint16_t soFromBeginning = 0;
inline constexpr std::uint16_t soFromCurrent = 1;
inline constexpr std::uint16_t soFromEnd = 2;

class TStream32 {
public:
    TStream32() = default;
    TStream32(const TStream32&) = delete;
    TStream32& operator=(const TStream32&) = delete;
    virtual ~TStream32() = default;

    // The size: the end position, with the current position kept.
    virtual std::int32_t GetSize();
    virtual void SetSize(std::int32_t NewSize);
    // Checks that NewSize fits the signed 32-bit range, then calls the 32-bit SetSize.
    virtual void SetSize(std::int64_t NewSize);
    virtual std::int32_t Read(void* Buffer, std::int32_t Count) = 0;
    // Forwards to the 64-bit Seek when the class provides one.
    virtual std::int32_t Seek(std::int32_t Offset, std::uint16_t Origin);
    // Checks that Offset fits the signed 32-bit range, then calls the 32-bit Seek.
    virtual std::int64_t Seek(std::int64_t Offset, std::uint16_t Origin);
    virtual std::int32_t Write(const void* Buffer, std::int32_t Count) = 0;

protected:
    // True in classes that override the 64-bit Seek; the 32-bit Seek of this class forwards
    // only then (otherwise the two base versions would call each other without end).
    virtual bool ProvidesSeek64() const { return false; }
};
