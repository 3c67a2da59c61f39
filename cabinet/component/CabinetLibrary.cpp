#include "cabinet/component/CabinetLibrary.h"

#include "platform/fs/FileSystem.h"

#include <dlfcn.h>
#include <memory>

namespace {

HFCI NoCreate(ERF*, PFNFCIFILEPLACED, PFNFCIALLOC, PFNFCIFREE, PFNFCIOPEN, PFNFCIREAD, PFNFCIWRITE,
              PFNFCICLOSE, PFNFCISEEK, PFNFCIDELETE, PFNFCIGETTEMPFILE, CCAB*, void*) {
    return nullptr;
}
FCI_BOOL NoAddFile(HFCI, char*, char*, FCI_BOOL, PFNFCIGETNEXTCABINET, PFNFCISTATUS,
                   PFNFCIGETOPENINFO, TCOMP) {
    return 1;
}
FCI_BOOL NoFlushCabinet(HFCI, FCI_BOOL, PFNFCIGETNEXTCABINET, PFNFCISTATUS) {
    return 1;
}
FCI_BOOL NoFlushFolder(HFCI, PFNFCIGETNEXTCABINET, PFNFCISTATUS) {
    return 1;
}
FCI_BOOL NoDestroy(HFCI) {
    return 1;
}

constexpr TCabinetEntryPoints kSubstitutes{NoCreate, NoAddFile, NoFlushCabinet, NoFlushFolder,
                                           NoDestroy};

struct DlCloser {
    void operator()(void* handle) const { ::dlclose(handle); }
};
using LibraryHandle = std::unique_ptr<void, DlCloser>;

// The binding state of the program. Its destructor releases the library at program end.
struct Binding {
    LibraryHandle CabinetLibrary;
    TCabinetEntryPoints EntryPoints = kSubstitutes;
    std::string LoadError = "not loaded";

    void Reset() {
        EntryPoints = kSubstitutes;
        CabinetLibrary.reset();
    }
};

Binding& State() {
    static Binding binding;
    return binding;
}

template <typename T> bool Bind(void* library, const char* name, T& target) {
    void* symbol = ::dlsym(library, name);
    if (symbol == nullptr) {
        return false;
    }
    target = reinterpret_cast<T>(symbol);
    return true;
}

} // namespace

bool LoadCabinetLibrary(const std::string& path) {
    Binding& state = State();
    state.Reset();
    // A name without a folder would make the loader search the system's library path.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    LibraryHandle library(::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!library) {
        const char* message = ::dlerror();
        state.LoadError = message != nullptr ? message : "cannot load " + file;
        return false;
    }
    TCabinetEntryPoints bound{};
    if (!Bind(library.get(), "FCICreate", bound.FCICreate) ||
        !Bind(library.get(), "FCIAddFile", bound.FCIAddFile) ||
        !Bind(library.get(), "FCIFlushCabinet", bound.FCIFlushCabinet) ||
        !Bind(library.get(), "FCIFlushFolder", bound.FCIFlushFolder) ||
        !Bind(library.get(), "FCIDestroy", bound.FCIDestroy)) {
        state.LoadError = file + ": an FCI entry point is missing";
        return false;
    }
    state.CabinetLibrary = std::move(library);
    state.EntryPoints = bound;
    state.LoadError.clear();
    return true;
}

bool LoadCabinetLibraryBesideExecutable() {
    return LoadCabinetLibrary(ostrivane::fs::ExecutableFolder() + kCabinetLibraryName);
}

void UnloadCabinetLibrary() {
    Binding& state = State();
    state.Reset();
    state.LoadError = "not loaded";
}

bool CabinetLoaded() {
    return State().CabinetLibrary != nullptr;
}

const std::string& CabinetLoadError() {
    return State().LoadError;
}

const TCabinetEntryPoints& CabinetEntryPoints() {
    return State().EntryPoints;
}
