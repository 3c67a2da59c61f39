// Whether a file on the disk holds exactly what a cabinet entry holds: the same size, the same
// modification time (as the cabinet keeps it: DOS date and time, local time, two seconds) and
// the same bytes, compared as the entry's bytes are decoded, so that a file found equal is never
// written at all. At the first block that differs the comparison stops; the bytes found equal
// before it are the existing file's, and are copied from it into the file written instead.
#pragma once

#include "platform/fs/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class SameContent {
public:
    // Starts comparing the file `name` in the folder `folder` (a descriptor) with an entry of
    // `size` bytes made at `date`/`time`: true when it is a regular file (not through a link) of
    // that size and time that can be read.
    bool Begin(int folder, const std::string& name, std::uint32_t size, std::uint16_t date,
               std::uint16_t time);
    // True from a Begin that found a candidate until End.
    bool Comparing() const { return file_.Valid(); }
    // Compares the entry's next bytes with the file's: true when they are equal (they count to
    // Equal()); false at a difference or a failed read.
    bool Match(const std::uint8_t* bytes, std::size_t count);
    // The number of leading bytes found equal.
    std::uint64_t Equal() const { return equal_; }
    // True when every byte of the entry was found equal.
    bool Identical() const { return Comparing() && equal_ == size_; }
    // Writes the first Equal() bytes of the file to `fd`; 0, or the error number.
    int CopyEqualPart(int fd) const;
    void End() { file_.Reset(); }

private:
    UniqueFd file_;
    std::uint64_t size_ = 0;
    std::uint64_t equal_ = 0;
    std::vector<std::uint8_t> buffer_;
};
