// Every reason our readers give a user, in Czech, one text per reason: why a cabinet, a block, a
// file or a part of a backup cannot be trusted, and why a file was not restored. The command
// line prints them after the cabinet's or the file's name; the restore dialog shows the same
// texts. Nothing else in the engine words these reasons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ostrivane::reasons {

// The system's error number in words ("přístup odepřen").
std::string SystemError(int error);

// --- A cabinet and its directory ---
std::string NotRegularFile();
std::string NotCabinet();
std::string HeaderCutShort();
std::string FolderRecordsCutShort();
std::string FileRecordsCutShort(std::size_t read, std::size_t count);
std::string ContinuedInAnotherCabinet();
std::string NoSuchFolder();

// --- Data blocks (index counted from 0) ---
std::string CabinetEndsInsideBlock(std::size_t index);
std::string BlockMalformed(std::size_t index);
std::string BlockChecksum(std::size_t index);
std::string BlocksEndBeforeFile();
std::string BlockNoSignature(std::size_t index);
std::string BlockNotDecompressed(std::size_t index);
std::string FolderCompressionUnknown();

// --- A file's bytes ---
std::string NotRead(const std::string& why);
std::string OnlyPartRead(std::uint64_t delivered, std::uint64_t size);
std::string DifferentFromCatalog();
std::string MissingFromCatalog();
std::string DecompressorFailed();
std::string DecompressorEnded();
std::string DecompressorDisagrees();
std::string DecompressorOutOfOrder();
std::string CannotReadPast(const std::string& name, const std::string& why);

// --- The catalog ---
std::string CatalogNotOne();
std::string CatalogChecksum();
std::string CatalogDamaged(const std::string& why);
std::string CatalogDisagrees();
std::string CatalogNotWritten();

// --- The set of a backup's cabinets ---
std::string PartMissing(int index, int count);
std::string PartUnopenable(int index, int count, int error);
std::string PartForeign(int index, int count);
std::string PartRepeated(int index, int count, int carried);
std::string PartExtra(int count);
std::string PartCutShort(std::uint64_t size, std::uint64_t expected);
std::string PartNotFirst(int carried, int count);

// --- The restore ---
std::string RefusedAbsolute();
std::string RefusedEmptyPart();
std::string RefusedPart(const std::string& part);
std::string RefusedLinkInPath(const std::string& path);
std::string FolderNotMade(const std::string& path, int error);
std::string FolderNotOpened(const std::string& path, int error);
std::string RestoreFolderUnusable(const std::string& path, int error);
std::string NoPlaceKnown();
std::string FileKept();
std::string FolderInTheWay();
std::string NotCreated(int error);
std::string NotWritten(int error);
std::string NotPutInPlace(int error);
std::string NotRestored(const std::string& why);

// --- The read-back of a new backup ---
std::string NotPacked();
std::string DiffersFromPacked();
std::string MissingFromArchive();

} // namespace ostrivane::reasons
