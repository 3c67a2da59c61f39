#include "FuzzScratch.h"

#include <cstdio>
#include <cstdlib>

namespace fuzzing {

const std::string& ScratchFolder() {
    // A memory file system when there is one: the settings layer syncs every file it replaces,
    // which would otherwise cost more than the rest of an input.
    static const testsupport::Scratch folder(true);
    return folder.Path();
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzzing
