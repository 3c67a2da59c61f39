// A scratch folder that lives as long as the fuzzing process (on /dev/shm when it can be
// written), and whole-file helpers.
#pragma once

#include <string>

namespace fuzzing {

// The process's own folder under $TMPDIR (or /tmp), made on first use and removed at exit.
const std::string& ScratchFolder();

void WriteWholeFile(const std::string& path, const std::string& bytes);
std::string ReadWholeFile(const std::string& path);
// Removes `path` with everything below it; nothing when it does not exist.
void RemoveTree(const std::string& path);

// Ends the process with a message, as a failed check of a fuzz target (libFuzzer saves the
// input that led here).
[[noreturn]] void Fail(const std::string& what);

} // namespace fuzzing
