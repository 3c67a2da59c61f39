#include "cabinet/format/ReadReasons.h"

#include <cerrno>
#include <cstring>

namespace ostrivane::reasons {

namespace {

std::string Block(std::size_t index) {
    return "datový blok " + std::to_string(index + 1);
}

std::string Part(int index, int count) {
    return "část " + std::to_string(index) + " z " + std::to_string(count);
}

std::string Quoted(const std::string& text) {
    return "\u201E" + text + "\u201C";
}

} // namespace

std::string SystemError(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "přístup odepřen";
    case ENOSPC:
        return "na disku není volné místo";
    case EDQUOT:
        return "byla překročena kvóta disku";
    case EROFS:
        return "disk je jen pro čtení";
    case ENAMETOOLONG:
        return "název je příliš dlouhý";
    case ENOTDIR:
        return "v cestě je soubor místo složky";
    case ENOENT:
        return "soubor nebo složka neexistuje";
    case EIO:
        return "chyba čtení nebo zápisu na disku";
    case EEXIST:
        return "název je obsazen";
    case EISDIR:
        return "je to složka";
    case ELOOP:
        return "v cestě je symbolický odkaz";
    case EMFILE:
    case ENFILE:
        return "je otevřeno příliš mnoho souborů";
    default:
        return "systémová chyba " + std::to_string(error) + " (" + std::strerror(error) + ")";
    }
}

std::string NotRegularFile() {
    return "není obyčejný soubor";
}
std::string NotCabinet() {
    return "není archív cabinet";
}
std::string HeaderCutShort() {
    return "hlavička archívu je zkrácená";
}
std::string FolderRecordsCutShort() {
    return "záznamy složek archívu jsou zkrácené";
}
std::string FileRecordsCutShort(std::size_t read, std::size_t count) {
    return "záznamy souborů archívu jsou zkrácené, přečteno " + std::to_string(read) + " z " +
           std::to_string(count);
}
std::string ContinuedInAnotherCabinet() {
    return "soubor pokračuje v jiném archívu rozdělené sady";
}
std::string NoSuchFolder() {
    return "soubor patří do složky dat, kterou archív nemá";
}

std::string CabinetEndsInsideBlock(std::size_t index) {
    return "archív končí uvnitř datového bloku " + std::to_string(index + 1);
}
std::string BlockMalformed(std::size_t index) {
    return Block(index) + " má chybný tvar";
}
std::string BlockChecksum(std::size_t index) {
    return "chyba kontrolního součtu v datovém bloku " + std::to_string(index + 1);
}
std::string BlocksEndBeforeFile() {
    return "datové bloky končí dřív než soubor";
}
std::string BlockNoSignature(std::size_t index) {
    return Block(index) + " nemá podpis MSZIP";
}
std::string BlockNotDecompressed(std::size_t index) {
    return Block(index) + " nelze rozbalit";
}
std::string FolderCompressionUnknown() {
    return "složka dat má neznámou kompresi";
}

std::string NotRead(const std::string& why) {
    return "nečteno: " + why;
}
std::string OnlyPartRead(std::uint64_t delivered, std::uint64_t size) {
    return "přečteno jen " + std::to_string(delivered) + " z " + std::to_string(size) + " bajtů";
}
std::string DifferentFromCatalog() {
    return "obsah se liší od kontrolního součtu CRC-64 v katalogu zálohy";
}
std::string MissingFromCatalog() {
    return "soubor v katalogu zálohy chybí";
}
std::string DecompressorFailed() {
    return "dekompresor selhal";
}
std::string DecompressorEnded() {
    return "dekompresor v archívu nenašel další soubory";
}
std::string DecompressorDisagrees() {
    return "dekompresor čte adresář archívu jinak";
}
std::string DecompressorOutOfOrder() {
    return "dekompresor vydal bajty mimo pořadí";
}
std::string CannotReadPast(const std::string& name, const std::string& why) {
    return "archív nelze číst za souborem " + name + " (" + why + ")";
}

std::string CatalogNotOne() {
    return "katalog zálohy nemá platný tvar";
}
std::string CatalogChecksum() {
    return "katalog zálohy nesouhlasí se svým kontrolním součtem";
}
std::string CatalogDamaged(const std::string& why) {
    return "katalog zálohy je poškozený (" + why + "); soubory jsou čteny bez něj";
}
std::string CatalogDisagrees() {
    return "katalog zálohy neodpovídá souborům archívu; soubory jsou čteny bez něj";
}

std::string CatalogNotWritten() {
    return "katalog zálohy nebyl zapsán";
}

std::string PartMissing(int index, int count) {
    return "chybí " + Part(index, count) + " této zálohy";
}
std::string PartUnopenable(int index, int count, int error) {
    return Part(index, count) + " této zálohy nelze otevřít (" + SystemError(error) + ")";
}
std::string PartForeign(int index, int count) {
    return "není " + Part(index, count) + " této zálohy, patří jiné záloze nebo žádné; nečteno";
}
std::string PartRepeated(int index, int count, int carried) {
    return "místo " + Part(index, count) + " obsahuje část " + std::to_string(carried) +
           " této zálohy; nečteno";
}
std::string PartExtra(int count) {
    return "je část této zálohy navíc, záloha má jen " + std::to_string(count) + " částí; nečteno";
}
std::string PartCutShort(std::uint64_t size, std::uint64_t expected) {
    return "je zkrácená, má jen " + std::to_string(size) + " z " + std::to_string(expected) +
           " bajtů, které udává její hlavička";
}
std::string PartNotFirst(int carried, int count) {
    return "je jen část " + std::to_string(carried) + " z " + std::to_string(count) +
           " zálohy, ne její první část";
}

std::string RefusedAbsolute() {
    return "odmítnuto: absolutní název";
}
std::string RefusedEmptyPart() {
    return "odmítnuto: název má prázdnou část";
}
std::string RefusedPart(const std::string& part) {
    return "odmítnuto: název má část " + Quoted(part);
}
std::string RefusedLinkInPath(const std::string& path) {
    return "odmítnuto: " + path + " je odkaz nebo soubor, ne složka";
}
std::string FolderNotMade(const std::string& path, int error) {
    return "složku " + path + " nelze vytvořit: " + SystemError(error);
}
std::string FolderNotOpened(const std::string& path, int error) {
    return "složku " + path + " nelze otevřít: " + SystemError(error);
}
std::string RestoreFolderUnusable(const std::string& path, int error) {
    return "složku " + path + " nelze vytvořit ani do ní zapisovat: " + SystemError(error);
}
std::string NoPlaceKnown() {
    return "není známo, kam jej obnovit";
}
std::string FileKept() {
    return "soubor stejného názvu existuje a zůstal beze změny";
}
std::string FolderInTheWay() {
    return "existuje složka stejného názvu";
}
std::string NotCreated(int error) {
    return "nelze vytvořit: " + SystemError(error);
}
std::string NotWritten(int error) {
    return "nelze zapsat: " + SystemError(error);
}
std::string NotPutInPlace(int error) {
    return "nelze umístit: " + SystemError(error);
}
std::string NotRestored(const std::string& why) {
    return "neobnoveno: " + why;
}

std::string NotPacked() {
    return "není žádný ze zabalených souborů";
}
std::string DiffersFromPacked() {
    return "obsah se liší od zabaleného souboru";
}
std::string MissingFromArchive() {
    return "v archívu chybí";
}

} // namespace ostrivane::reasons
