// A POSIX callback set for driving the FCI entry points directly, with counters of handles and
// temporary files and switches that make single callbacks fail the way callers do.
#pragma once

#include "platform/fci/fci.h"
#include "tests/support/Scratch.h"
#include "tests/support/Shell.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace libcabinet_test {

using testsupport::CompressibleText;
using testsupport::Quote;
using testsupport::RandomBytes;
using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::Shell;
using testsupport::WriteFile;

struct StatusCall {
    FCI_UINT type;
    FCI_ULONG first;
    FCI_ULONG second;
};

// Writes `bytes` to the file `name` in `folder`, a source for a test to pack; its path.
std::filesystem::path makeSource(const std::filesystem::path& folder, const std::string& name,
                                 const std::string& bytes);

class FciHarness {
public:
    explicit FciHarness(const std::filesystem::path& folder,
                        const std::string& cabinetName = "test.cab");
    ~FciHarness();
    FciHarness(const FciHarness&) = delete;
    FciHarness& operator=(const FciHarness&) = delete;

    // FCICreate with the callbacks below; nullptr on failure (erf says why).
    HFCI create();
    // FCIAddFile for a path with the harness's get-open-info callback.
    bool add(HFCI context, const std::filesystem::path& source, const std::string& storedName,
             TCOMP type = tcompTYPE_MSZIP, bool execute = false);
    bool flush(HFCI context, bool getNextCabinet = false);

    std::filesystem::path cabinetPath() const;

    ERF erf{};
    CCAB ccab{};
    std::filesystem::path folder;

    // Switches.
    std::string failReadOf;              // source path whose reads fail ...
    std::uint64_t failReadAfter = 0;     // ... once this many bytes were delivered
    bool windowsStyleShortReads = false; // a short read leaves a stale non-zero error
    int abortStatusAfter = -1;           // the status call with this index returns -1
    int abortStatusOfType = -1;          // the next status call of this type returns -1, once
    bool acceptNextCabinet = false;
    bool failTempNames = false;
    std::string refusePlacementOf;     // the file-placed callback returns -1 for this name
    std::uint16_t attributesToAdd = 0; // or-ed into what get-open-info reports

    // Records.
    int statusCalls = 0;
    std::vector<StatusCall> statusLog;
    std::vector<std::pair<std::string, long>> placed;
    std::vector<std::string> nextCabinetNames;
    std::vector<FCI_ULONG> nextCabinetSizes;
    std::set<std::string> tempFilesLive;
    int tempFilesMade = 0;
    std::map<int, std::string> openHandles;
    std::map<int, std::uint64_t> bytesRead;

    // The callbacks that count or fail (the others are plain POSIX ones), public so that tests
    // can hand them to the entry points themselves.
    static int filePlaced(CCAB* ccab, char* file, long size, FCI_BOOL continuation, void* pv);
    static FCI_INT_PTR open(char* file, int flags, int mode, int* err, void* pv);
    static FCI_UINT read(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void* pv);
    static int close(FCI_INT_PTR hf, int* err, void* pv);
    static int remove(char* file, int* err, void* pv);
    static FCI_BOOL tempName(char* name, int size, void* pv);
    static FCI_BOOL nextCabinet(CCAB* ccab, FCI_ULONG previousSize, void* pv);
    static long status(FCI_UINT type, FCI_ULONG first, FCI_ULONG second, void* pv);
    static FCI_INT_PTR openInfo(char* name, FCI_USHORT* date, FCI_USHORT* time,
                                FCI_USHORT* attributes, int* err, void* pv);
};

// A test that packs sources of a scratch folder of its own into test.cab there through a harness.
// The context it opens is destroyed when the test ends, unless the test destroyed it.
class FciTest : public ::testing::Test {
protected:
    ~FciTest() override;

    // A source file of `bytes` in the scratch folder (makeSource); its path.
    std::filesystem::path source(const std::string& name, const std::string& bytes) const;
    // Creates the context; false when the library refuses (erf says why).
    bool open();
    // Adds `source` as `storedName`, which the library must refuse: the reason it gives
    // (erf.erfOper), FCIERR_NONE when it adds the file after all.
    int refusalOf(const std::filesystem::path& source, const std::string& storedName,
                  TCOMP type = tcompTYPE_MSZIP);
    // Flushes the cabinet and destroys the context; false when the flush fails.
    bool close();
    // Destroys the context: FCIDestroy's result.
    bool destroy();

    Scratch scratch;
    FciHarness harness{scratch.Folder()};
    HFCI context = nullptr;
};

} // namespace libcabinet_test
