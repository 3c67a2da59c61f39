// Reads cabinets back: the directory from the file's own records, every data block's checksum
// recomputed, and each file's bytes decompressed by libarchive, an independent decoder of what
// the cabinet library wrote, or by the reader's own decoding (its folders on every core) when
// speed matters more. Takes a set of parts (cabinets that each stand alone, as a backup larger
// than one cabinet is written), read in the order given.
//
// A cabinet that carries a catalog (cabinet/format/FileCatalog.h) is read with it: the catalog
// member itself is never handed on, every file's bytes are compared with the CRC-64 the catalog
// keeps for it (damage that leaves the blocks' checksums whole is found so), each entry comes with
// its catalog record, and the catalog's folders and links follow the part's files.
#pragma once

#include "cabinet/format/CabinetLayout.h"
#include "cabinet/format/FileCatalog.h"
#include "cabinet/read/FolderProof.h"

#include <optional>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One file of a cabinet.
struct CabinetEntry {
    std::string Part;       // the cabinet file that holds it
    std::string StoredName; // the bytes as stored, "\" between the parts
    std::string Name;       // the same with "/" between the parts
    std::uint32_t Size = 0;
    std::uint16_t Date = 0; // DOS date and time, local time
    std::uint16_t Time = 0;
    std::uint16_t Attributes = 0;
    // The file's record in its cabinet's catalog; nothing for a cabinet written before catalogs.
    const ostrivane::cabformat::CatalogEntry* Recorded = nullptr;
    // At End: the CRC-64 of the bytes read (cabformat::Crc64), whether the visitor took them or
    // not.
    std::uint64_t Crc64 = 0;
};

// What a reading does with the entries, called in the order of the parts and of their files.
class CabinetVisitor {
public:
    virtual ~CabinetVisitor() = default;
    // Whether the bytes of `entry` are wanted; false skips them (and End is not called).
    virtual bool Begin(const CabinetEntry& entry) = 0;
    // The next bytes of the entry begun last; false wants no more of them.
    virtual bool Data(const std::uint8_t* bytes, std::size_t count) = 0;
    // The entry begun last is over: `problem` is empty when all of its bytes were read and the
    // blocks that hold them are sound, else it says why they are not to be trusted.
    virtual void End(const CabinetEntry& entry, const std::string& problem) = 0;
    // A part that cannot be read at all (missing, not a cabinet, its directory damaged); none of
    // its entries are begun. Also a catalog that cannot be trusted, after which the part's files
    // are read without it.
    virtual void PartProblem(const std::string& part, const std::string& problem) = 0;
    // Whether `entry` may be wanted at all, asked before Begin and without its effects: a reader
    // passes over what is not (without Begin).
    virtual bool Wants(const CabinetEntry&) { return true; }
    // Whether Data is wanted at all; without it only each file's End counts, and the files'
    // bytes stay on the threads that decode them.
    virtual bool NeedsBytes() const { return true; }
    // What folder `folder` of `part` was proved to hold before it was written there, if
    // anything: the reader's own decoding (CabinetDecoder::Own) then only checks that the
    // folder's stored bytes are the ones proved, when the visitor needs no bytes.
    virtual const FolderProof* Proved(const std::string& part, std::uint16_t folder) const {
        (void)part, (void)folder;
        return nullptr;
    }
    // A folder or a link the part's catalog records, after the part's files.
    virtual void Recorded(const std::string& part, const ostrivane::cabformat::Catalog& catalog,
                          const ostrivane::cabformat::CatalogEntry& entry) {
        (void)part, (void)catalog, (void)entry;
    }
};

// Who turns the data blocks back into the files' bytes: libarchive, a decoder independent of
// this project's writer, or the reader's own folder decoding (ISA-L's inflate, several times
// faster), which a part whose folders it cannot decode leaves to libarchive.
enum class CabinetDecoder { Independent, Own };

// Reads every entry of every part. `keepGoing`, when given, is asked often (between blocks of
// data); false stops the reading at once and the result is false.
bool ReadCabinetSet(const std::vector<std::string>& parts, CabinetVisitor& visitor,
                    const std::function<bool()>& keepGoing = {},
                    CabinetDecoder decoder = CabinetDecoder::Independent);

// The entries of every part from their directories (and catalogs) alone, without reading the
// files' data. Parts that cannot be read go to `partProblem`; `catalog`, when given, hears each
// part's catalog before its entries.
void ListCabinetSet(
    const std::vector<std::string>& parts, const std::function<void(const CabinetEntry&)>& entry,
    const std::function<void(const std::string& part, const std::string& problem)>& partProblem,
    const std::function<void(const std::string& part, const ostrivane::cabformat::Catalog&)>&
        catalog = {});

// The catalog of the cabinet open as `fd` with the directory `dir`: nothing when it carries
// none (`problem` empty) or when it cannot be read or trusted (`problem` says why).
std::optional<ostrivane::cabformat::Catalog> ReadPartCatalog(int fd, const CabinetDirectory& dir,
                                                             std::string& problem);
// The same for the cabinet `path`.
std::optional<ostrivane::cabformat::Catalog> ReadPartCatalog(const std::string& path,
                                                             std::string& problem);
