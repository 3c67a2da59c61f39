// The cabinet reader on any bytes: directory, checksum pass, decompression and a restore with
// --overwrite into a folder of its own. No input may crash or hang it, and nothing may appear
// beside that folder, whatever names and links the input holds.
#include "FuzzScratch.h"
#include "cabinet/CabinetRestore.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string root = fuzzing::ScratchFolder() + "/run";
    fuzzing::RemoveTree(root);
    ::mkdir(root.c_str(), 0755);
    const std::string cabinet = root + "/in.cab";
    fuzzing::WriteWholeFile(cabinet, std::string(reinterpret_cast<const char*>(data), size));

    RestoreOptions options;
    options.Overwrite = true;
    RestoreCabinetSet({cabinet}, root + "/out", options, {});

    std::set<std::string> beside;
    if (DIR* folder = ::opendir(root.c_str())) {
        while (const dirent* entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                beside.insert(name);
        }
        ::closedir(folder);
    }
    if (beside != std::set<std::string>{"in.cab", "out"})
        fuzzing::Fail("the restore wrote outside its folder");
    return 0;
}
