// Black-box checks of a cabinet written through the FCI: its records read back by the tests' own
// reader with the layout a lone cabinet must have, and the verdicts of cabextract, 7zz, gcab and
// bsdtar, which must all be installed (a missing tool fails the test).
#pragma once

#include "tests/support/CabinetDirectory.h"
#include "tests/support/Readers.h"

#include <filesystem>
#include <map>
#include <string>

namespace libcabinet_test {

using testsupport::CabDirectory;
using testsupport::ExpectTestersAccept;

// Reads the header, folder and file records; fails the test on a malformed header: another
// version than 1.3, a declared size that is not the file's, file records that do not follow the
// folder records.
CabDirectory inspectCabinet(const std::filesystem::path& cabinet);

// cabextract -d, 7zz x, gcab -x and bsdtar -x each extract exactly the expected files (stored
// name with "\" as "/" -> source file) with equal bytes.
void expectExtractsTo(const std::filesystem::path& cabinet,
                      const std::map<std::string, std::filesystem::path>& expected);

// The testers accept the cabinet (ExpectTestersAccept) and the four readers extract exactly
// `expected` from it (expectExtractsTo).
void expectReadersAccept(const std::filesystem::path& cabinet,
                         const std::map<std::string, std::filesystem::path>& expected);

} // namespace libcabinet_test
