// The component's side of the folders proved while the packing goes on (FolderProver): which
// file of the library's is its data file, where each closed folder's records lie in it and
// which files it holds, and when the records may be written over.
#include "cabinet/component/TMakeCab.h"
#include "cabinet/format/CabinetLayout.h"
#include "cabinet/read/ParallelFolders.h"

#include <fcntl.h>
#include <utility>

void TMakeCab::BeginProofs() {
    prover_.Begin();
    cabinetsWritten_ = 0;
    openFolderSizes_.clear();
    lastCabinet_ = false;
}

void TMakeCab::UseDataFileOfContext() {
    // The library asks for its data file first (platform/libcabinet/README.md). Were it
    // another file, its proofs would fail or not match the cabinet: those folders are decoded
    // by the read-back as any unproved one.
    const bool proving = VerifyArchive && CabContext != nullptr && !libraryTemps_.empty();
    prover_.UseDataFile(proving ? libraryTemps_.front() : std::string());
}

void TMakeCab::ProveClosedFolder(std::uint32_t folder, std::uint64_t start, std::uint64_t end,
                                 std::uint64_t blocks) {
    // The files with data that went into the folder since the one before was closed, each at
    // the sum of the sizes before it. A folder the library closed on its own (a file that grew)
    // shifts this account: its proof then fails or does not match, and nothing is lost.
    FolderProver::Folder closed;
    std::uint64_t offset = 0;
    for (const std::uint64_t size : openFolderSizes_) {
        if (size > 0)
            closed.Files.push_back(
                {static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(size)});
        offset += size;
    }
    openFolderSizes_.clear();
    if (!VerifyArchive || end <= start || folder > UINT16_MAX || offset > UINT32_MAX ||
        blocks > ostrivane::cabformat::kMostBlocksPerFolder)
        return;
    closed.Place = {cabinetsWritten_, static_cast<std::uint16_t>(folder)};
    closed.Start = start;
    closed.Length = end - start;
    closed.Blocks = static_cast<std::uint16_t>(blocks);
    closed.Compression = CompressMethod() == cmStore ? ostrivane::cabformat::kCompressionNone
                                                     : ostrivane::cabformat::kCompressionMszip;
    closed.DataReserve = static_cast<std::uint8_t>(ccab_.cbReserveCFData);
    prover_.Prove(std::move(closed));
}

void TMakeCab::NoteCabinetWritten() {
    // The next cabinet's records go where this one's were; after the final flush none come.
    if (!lastCabinet_)
        prover_.DataOverwritten();
    ++cabinetsWritten_;
    openFolderSizes_.clear();
}

void TMakeCab::PackingDone() {
    lastCabinet_ = true;
    // The folders still waiting are proved beside the writing and the sync of the cabinet,
    // which mostly wait for the disk, rather than left to the read-back after them.
    prover_.Hurry(ParallelFolders::Threads());
}

void TMakeCab::ProveRestFromCabinet(bool flushed) {
    // The folders of the last cabinet still waiting are proved from the cabinet itself, which
    // holds their records as the data file did, while the data file is deleted and the cabinet
    // synced.
    UniqueFd cabinet;
    std::vector<std::uint64_t> starts;
    if (flushed && VerifyArchive && !parts_.empty()) {
        cabinet = UniqueFd(::open(parts_.back().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        const CabinetDirectory dir =
            cabinet.Valid() ? ReadCabinetDirectory(cabinet.Get(), false) : CabinetDirectory{};
        if (dir.Problem.empty()) {
            for (const CabinetFolderRecord& folder : dir.Folders)
                starts.push_back(folder.DataOffset);
        }
    }
    prover_.ProveFromCabinet(std::move(cabinet), parts_.size() - 1, starts);
}
