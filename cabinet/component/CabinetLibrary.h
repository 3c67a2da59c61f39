// The run-time binding to libcabinet.so and its five FCI entry points. The program loads the
// library once at start (from its own folder) and keeps it until it ends; when the library
// cannot be loaded, substitutes that do nothing stand in for the entry points.
#pragma once

#include "platform/fci/fci.h"

#include <string>

struct TCabinetEntryPoints {
    PFN_FCICreate FCICreate;
    PFN_FCIAddFile FCIAddFile;
    PFN_FCIFlushCabinet FCIFlushCabinet;
    PFN_FCIFlushFolder FCIFlushFolder;
    PFN_FCIDestroy FCIDestroy;
};

// The file name the program looks for beside its executable.
inline constexpr const char* kCabinetLibraryName = "libcabinet.so";

// Loads the library at `path` (a previously loaded one is released first) and binds the five
// entry points by name. False, with the substitutes in place, when the file cannot be loaded or
// lacks one of the entry points.
bool LoadCabinetLibrary(const std::string& path);
// LoadCabinetLibrary(executable folder + "libcabinet.so").
bool LoadCabinetLibraryBesideExecutable();
// Releases the library; the substitutes take over. Also done at program end.
void UnloadCabinetLibrary();

bool CabinetLoaded();
// Why the last load failed (the loader's message), empty after a successful load.
const std::string& CabinetLoadError();
// The bound entry points, or the substitutes: FCICreate returns no context, the other four
// return TRUE.
const TCabinetEntryPoints& CabinetEntryPoints();
