// One FCI context: the cabinet being built, its open folder, the temporary files and the block
// pipeline. Every entry point runs on the caller's thread and reports failure through the ERF
// given to FCICreate.
#pragma once

#include "platform/fci/fci.h"
#include "platform/libcabinet/block_pipeline.h"
#include "platform/libcabinet/cabinet_layout.h"
#include "platform/libcabinet/callback_io.h"
#include "platform/libcabinet/fci_failure.h"
#include "platform/libcabinet/folder_stream.h"
#include "platform/libcabinet/status_sink.h"
#include "platform/libcabinet/temp_store.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace ostrivane::cabinet {

struct FciCallbacks {
    PFNFCIFILEPLACED filePlaced;
    PFNFCIALLOC alloc;
    PFNFCIFREE free;
    PFNFCIOPEN open;
    PFNFCIREAD read;
    PFNFCIWRITE write;
    PFNFCICLOSE close;
    PFNFCISEEK seek;
    PFNFCIDELETE remove;
    PFNFCIGETTEMPFILE tempName;
};

class FciContext {
public:
    static constexpr std::uint32_t kMagic = 0x4943464F;

    // Throws FciFailure when the parameters are unusable or the temporary files cannot be made.
    FciContext(ERF* erf, const FciCallbacks& callbacks, const CCAB& ccab, void* context);
    FciContext(const FciContext&) = delete;
    FciContext& operator=(const FciContext&) = delete;

    bool isValid() const { return magic_ == kMagic; }
    PFNFCIFREE freeFunction() const { return callbacks_.free; }
    void invalidate() { magic_ = 0; }

    FCI_BOOL addFile(const char* source, const char* name, bool execute,
                     PFNFCIGETNEXTCABINET nextCabinet, PFNFCISTATUS status,
                     PFNFCIGETOPENINFO openInfo, TCOMP type);
    FCI_BOOL flushFolder(PFNFCISTATUS status);
    FCI_BOOL flushCabinet(bool getNextCabinet, PFNFCIGETNEXTCABINET nextCabinet,
                          PFNFCISTATUS status);

private:
    struct Source;
    struct Cabinet {
        bool started = false;
        CCAB params{};
        std::vector<FolderRecord> folders;
        std::uint32_t files = 0;
    };

    template <typename Body> FCI_BOOL guarded(Body&& body);
    void checkUsable() const;

    // Where one attempt to place a file left it.
    enum class Placement { Placed, NextCabinet, FolderFull };
    Placement tryPlace(Source& source, FileEntry& entry, TCOMP type, const StatusSink& status);
    // Whether the source's position `got` is its end (the size asked for by a seek).
    bool atEnd(Source& source, std::uint64_t got);
    // The source's size, asked for by a seek to its end; it is left at `position`.
    std::uint64_t sizeOf(Source& source, std::uint64_t position);
    // Whether a source read up to a limit holds more bytes.
    bool moreToRead(Source& source);
    bool prepareFolder(TCOMP type, const StatusSink& status);
    void closeFolder(const StatusSink& status);
    std::uint64_t cabinetBytes(std::uint64_t extraFileBytes, bool withOpenFolder) const;
    bool fitsAfterFile(std::uint64_t entryBytes, const StatusSink& status);
    std::uint64_t estimate() const;
    void advanceCabinet(PFNFCIGETNEXTCABINET nextCabinet);
    void writeCabinet(const StatusSink& status);

    std::uint32_t magic_ = kMagic;
    ERF* erf_;
    FciCallbacks callbacks_;
    void* context_;
    CCAB ccab_;
    Reserve reserve_;
    std::uint64_t cabinetLimit_;
    std::uint64_t folderThreshold_;
    CallbackIo io_;
    TempStore data_;
    TempStore files_;
    BlockPipeline pipeline_;
    FolderStream folder_;
    Cabinet cabinet_;
    std::optional<FciFailure> broken_;
};

} // namespace ostrivane::cabinet
