// The minimal stream interface the generic compress driver passes along. Cabinet builds pass
// no streams (nullptr): the cabinet library does its own file work.
#pragma once

#include <cstdint>

class TStream {
public:
    virtual ~TStream() = default;
    virtual std::int64_t Size() const = 0;
    // Cuts the stream back (or extends it) to `size` bytes.
    virtual void SetSize(std::int64_t size) = 0;
};
