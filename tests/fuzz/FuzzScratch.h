// A scratch folder that lives as long as the fuzzing process (on /dev/shm when it can be
// written), and the failed check of a fuzz target.
#pragma once

#include "tests/support/Scratch.h"

#include <string>

namespace fuzzing {

using testsupport::ReadFile;
using testsupport::RemoveTree;
using testsupport::TreeContents;
using testsupport::WriteFile;

// The process's own folder, made on first use and removed at exit.
const std::string& ScratchFolder();

// Ends the process with a message, as a failed check of a fuzz target (libFuzzer saves the
// input that led here).
[[noreturn]] void Fail(const std::string& what);

} // namespace fuzzing
