// A cabinet laid out here byte by byte, for reader tests: names and layouts no writer of ours
// would store can be tried on readers.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A cabinet of one uncompressed folder holding `files` (stored name with "\" separators, bytes)
// in blocks of 32 KiB, with correct checksums, dated 2025-04-04 12:00:00, archive attribute.
std::string StoredCabinet(const std::vector<std::pair<std::string, std::string>>& files);

} // namespace testsupport
