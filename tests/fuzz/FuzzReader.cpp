// The cabinet reader on any bytes: directory, checksum pass, decompression and a restore with
// --overwrite into a folder of its own, then a reading with the reader's own decoding. No input may
// crash or hang it, and nothing may appear beside that folder, whatever names and links the input
// holds.
#include "FuzzScratch.h"
#include "cabinet/read/CabinetReader.h"
#include "cabinet/read/CabinetRestore.h"

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Takes every byte, as the backup's read-back does.
class Draining : public CabinetVisitor {
public:
    bool Begin(const CabinetEntry&) override { return true; }
    bool Data(const std::uint8_t* bytes, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i)
            sum_ += bytes[i];
        return true;
    }
    void End(const CabinetEntry&, const std::string&) override {}
    void PartProblem(const std::string&, const std::string&) override {}

private:
    unsigned sum_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string root = fuzzing::ScratchFolder() + "/run";
    fuzzing::RemoveTree(root);
    ::mkdir(root.c_str(), 0755);
    const std::string cabinet = root + "/in.cab";
    fuzzing::WriteFile(cabinet, std::string(reinterpret_cast<const char*>(data), size));

    RestoreOptions options;
    options.Overwrite = true;
    RestoreCabinetSet({cabinet}, root + "/out", options, {});
    Draining draining;
    ReadCabinetSet({cabinet}, draining, {}, CabinetDecoder::Own);

    if (testsupport::Listing(root) != "in.cab out")
        fuzzing::Fail("the restore wrote outside its folder");
    return 0;
}
