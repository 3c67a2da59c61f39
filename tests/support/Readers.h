// The independent readers as checkers of a written cabinet: cabextract, 7-Zip (7zz), bsdtar and
// gcab, run as black boxes. A reader that is not installed fails the check.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

namespace testsupport {

// `cabextract -t` accepts the cabinet.
bool CabextractAccepts(const std::string& cabinet);
// Empty when cabextract, 7-Zip, bsdtar and gcab all read the cabinet (test, list, extract);
// otherwise each refusing reader with what it said.
std::string ReadersAccept(const std::string& cabinet);
// The names `cabextract -l` lists (one a line; names holding a line break are not asked for).
std::set<std::string> CabextractNames(const std::string& cabinet);
// The content of the stored `file` ("/" between its parts) as cabextract extracts it, or a text
// saying the cabinet could not be read.
std::string CabextractFile(const std::string& cabinet, const std::string& file);

// Every file of the cabinet as libarchive (bsdtar's library) reads it, in this process: stored
// name with "/" between its parts -> bytes; nothing when it cannot read the cabinet whole.
std::optional<std::map<std::string, std::string>> LibarchiveFiles(const std::string& cabinet);

// Expects `cabextract -t` and `7zz t` to find every file of the cabinet intact.
void ExpectTestersAccept(const std::string& cabinet);
// Expects cabextract, 7zz, gcab and bsdtar each to extract exactly `expected` (stored name with
// "/" between its parts -> bytes).
void ExpectExtractsTo(const std::string& cabinet,
                      const std::map<std::string, std::string>& expected);

} // namespace testsupport
