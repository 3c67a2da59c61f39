// The series of earlier archives beside the current one: from the archive path P the base B is the
// part of P before its first "." (the whole path is searched, folder included; empty when P has no
// "."), and the earlier archives are B + "_" + n + ".cab" for n = 1 .. depth, 1 the newest.
#pragma once

#include <cstdint>
#include <string>

namespace ostrivane {

std::string ArchiveSeriesBase(const std::string& archivePath);
std::string ArchiveSeriesName(const std::string& base, std::int64_t n);

// Shifts the earlier archives before a new one is written as `archivePath`, only when a file of
// exactly that path exists: B_depth.cab is deleted, every other B_n.cab with n < depth becomes
// B_(n+1).cab, and the archive itself becomes B_1.cab; a copy whose new name is taken stays
// where it is, since a rename never replaces a file. When the archive still exists afterwards
// (its rename failed) it is deleted. Failures are ignored, as the run goes on regardless.
//
// The work follows the numbered copies that exist in the folder, not `depth`, so a huge depth
// costs no more than a small one.
void RotateArchiveSeries(const std::string& archivePath, std::int32_t depth);

} // namespace ostrivane
