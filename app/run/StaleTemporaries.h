// What runs of this program leave behind when they are killed before they can clean up (SIGKILL,
// a power cut): the cabinets of a run under their temporary names in the destination folder, and
// the cabinet library's temporary files, which may be as large as the whole backup.
#pragma once

#include <string>

namespace ostrivane::run {

// Removes, in `destination`, every cabinet of a run under its temporary name: the caller holds
// the folder's lock, so no run is writing one there. Removes, in `destination` and in
// `tempFolder`, every temporary file of the cabinet library that belongs to this user and that no
// running process holds: the archive component keeps a lock (flock) on each of its temporary
// files from just after it is made until the library deletes it, so a file whose lock can be
// taken is left over. An empty file younger than a couple of seconds is left alone, since it may
// have been made a moment ago and not be locked yet. Folders that cannot be listed are skipped.
void RemoveStaleTemporaries(const std::string& destination, const std::string& tempFolder);

} // namespace ostrivane::run
