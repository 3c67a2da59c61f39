// The test of a backup's cabinets: every data block's checksum and every file decompressed by
// libarchive, a decoder independent of the writer. The command line's --test and the window's
// restore dialog call this one function.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CabinetSetTestResult {
    int Good = 0;          // files read whole from sound blocks
    int Bad = 0;           // files that could not be, and parts that could not be read at all
    bool Completed = true; // false when `keepGoing` stopped the test
};

// Tests the cabinets `parts` of one backup. Every bad file goes to `problem` with its part, its
// name ("/" between folders) and the reason; a part that cannot be read at all comes with an
// empty name. `keepGoing` is asked between blocks; `progress`, when given, hears the bytes of
// the files read so far.
CabinetSetTestResult
TestCabinetSet(const std::vector<std::string>& parts,
               const std::function<void(const std::string& part, const std::string& name,
                                        const std::string& reason)>& problem,
               const std::function<bool()>& keepGoing = {},
               const std::function<void(std::uint64_t bytes)>& progress = {});
