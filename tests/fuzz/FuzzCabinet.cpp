// The cabinet writer end to end: a few files with names and contents taken from the input are
// packed by TMakeCab through libcabinet.so, configured as the backup run configures it; the
// cabinet must pass `cabextract -t` and extract to the same names and bytes.
//
// Input layout: one byte of options (bit 0 stored instead of MSZIP, bits 1-2 the number of
// files less one), then per file: a name length, that many name bytes (each picks a piece of a
// name from a table of plain, Czech, other non-ASCII and punctuation characters), a folder byte
// (bit 0: in a subfolder; bits 1-3: repetitions of the contents, for files past one 32 KiB
// block), a 16-bit little-endian contents length and the contents.
#include "FuzzScratch.h"
#include "app/run/BackupRun.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TMakeCab.h"
#include "tests/support/Readers.h"
#include "tests/support/Shell.h"

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const char* kPieces[] = {
    "a", "b", "k", "Z", "Q",  "0",  "7",  " ",  "-",  "_", ".", "(", ")", "'", "~", "+",
    "=", "#", "%", "&", "@",  "!",  ",",  "č",  "Ř",  "ž", "ů", "é", "Á", "ß", "ø", "ł",
    "ő", "Ж", "я", "Ω", "中", "文", "字", "한", "ア", "ع", "😀", "€", "ﬁ", "ǅ", "ı", "İ",
    "x", "y", "M", "N", "1",  "2",  "3",  "4",  "5",  "6", "8", "9", "Ä", "ö", "Ü", "$"};
constexpr std::size_t kMostContents = 256 * 1024;

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string Bytes(std::size_t n) {
        n = std::min(n, size_ - std::min(pos_, size_));
        std::string out(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace

// The library is bound before the first input, as the program binds it at start.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!LoadCabinetLibrary(std::string(OSTRIVANE_BUILD_DIR) + "/libcabinet.so"))
        fuzzing::Fail("libcabinet.so not loaded: " + CabinetLoadError());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    const std::uint8_t options = in.Byte();
    const int fileCount = 1 + ((options >> 1) & 3);

    const std::string root = fuzzing::ScratchFolder() + "/run";
    const std::string src = root + "/src";
    fuzzing::RemoveTree(root);
    ::mkdir(root.c_str(), 0755);
    ::mkdir(src.c_str(), 0755);

    std::size_t total = 0;
    int made = 0;
    for (int f = 0; f < fileCount && !in.Empty(); ++f) {
        const std::size_t nameLength = 1 + in.Byte() % 24;
        std::string name;
        for (std::size_t i = 0; i < nameLength; ++i)
            name += kPieces[in.Byte() % std::size(kPieces)];
        if (name[0] == '.') // names with a leading dot are hidden and never packed
            name.insert(0, "f");
        const std::uint8_t placement = in.Byte();
        const std::size_t length = in.Byte() | static_cast<std::size_t>(in.Byte()) << 8;
        const std::string piece = in.Bytes(length);
        std::string contents;
        for (int r = 0; r <= ((placement >> 1) & 7); ++r)
            contents += piece;
        if (total + contents.size() > kMostContents)
            contents.resize(kMostContents - total);
        std::string folder = src;
        if (placement & 1) {
            folder += "/sub " + std::to_string(f % 2) + "č";
            ::mkdir(folder.c_str(), 0755);
        }
        struct stat st {};
        const std::string path = folder + "/" + name;
        if (::lstat(path.c_str(), &st) == 0)
            continue; // the name is taken (by a file or a folder)
        fuzzing::WriteFile(path, contents);
        total += contents.size();
        ++made;
    }
    if (made == 0)
        return 0;
    const std::map<std::string, std::string> expected = fuzzing::TreeContents(root);

    const std::string archive = root + "/archive.cab";
    int errors = 0;
    std::string report;
    {
        TMakeCab cab;
        cab.OnError = [&](TComponent*, const std::string& file, const std::string& extended,
                          const std::string&, int code) {
            ++errors;
            report += std::to_string(code) + " " + file + " " + extended + "\n";
        };
        ostrivane::run::ConfigureForBackup(cab, archive, {src + "/*.*"}, true, root);
        cab.SetCompressMethod((options & 1) != 0 ? cmStore : cmMsZip);
        const int added = cab.Compress();
        if (errors != 0 || added != static_cast<int>(expected.size()))
            fuzzing::Fail("build reported errors or left files out (" + std::to_string(added) +
                          " of " + std::to_string(expected.size()) + "):\n" + report);
    }

    if (!testsupport::CabextractAccepts(archive))
        fuzzing::Fail("cabextract -t refuses the cabinet");
    const std::string out = root + "/out";
    ::mkdir(out.c_str(), 0755);
    if (testsupport::Shell("cabextract -q -d " + testsupport::Quote(out) + " " +
                           testsupport::Quote(archive)) != 0)
        fuzzing::Fail("cabextract cannot extract the cabinet");
    std::map<std::string, std::string> extracted = fuzzing::TreeContents(out);
    // cabextract writes the backup's catalog out as one more small file.
    if (extracted.erase(".ostrivane-catalog") != 1)
        fuzzing::Fail("the cabinet carries no catalog");
    if (extracted != expected) {
        std::string names;
        for (const auto& [name, bytes] : extracted)
            names += "  out: " + name + " (" + std::to_string(bytes.size()) + ")\n";
        for (const auto& [name, bytes] : expected)
            names += "  in:  " + name + " (" + std::to_string(bytes.size()) + ")\n";
        fuzzing::Fail("extracted files differ from the sources:\n" + names);
    }
    // Nothing of the build is left behind but the cabinet itself.
    for (const auto& [name, bytes] : fuzzing::TreeContents(root))
        if (name != "archive.cab" && name.rfind("src/", 0) != 0 && name.rfind("out/", 0) != 0)
            fuzzing::Fail("stray file after the build: " + name);
    return 0;
}
