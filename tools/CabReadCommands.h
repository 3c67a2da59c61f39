// The reading commands of ostrivane-cab: --list, --test and --extract. Each takes a backup by its
// first cabinet with every part of its set, prints every problem of the set (a part missing,
// foreign, cut short, repeated or extra) and still reads every cabinet that belongs. A placement
// cut short in the folder is read as finished, and said so. Anything but a regular file is
// refused at once. Each returns the exit status: 0 when everything was done
// and the set is whole, 1 otherwise.
#pragma once

#include <string>
#include <vector>

namespace cabtool {

// One line per file: size, date and time, attributes, name with "/" between the parts.
int ListArchive(const std::string& archive);
// Every checksum and every file of each archive; each bad file is printed with the reason.
int TestArchives(const std::vector<std::string>& archives, bool quiet);
// Restores the files of `archive` that match `patterns` (all when empty) into `folder`.
int ExtractArchive(const std::string& folder, const std::string& archive,
                   const std::vector<std::string>& patterns, bool overwrite, bool quiet);

} // namespace cabtool
