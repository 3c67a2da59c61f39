// The cabinet's bytes do not depend on how many threads compress.
#include "CabCheck.h"
#include "FciHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace libcabinet_test;
namespace fs = std::filesystem;

namespace {

// Packs the sources into cabinets under `out` with the given thread count; returns their bytes.
std::map<std::string, std::string> pack(const std::vector<fs::path>& sources, const fs::path& out,
                                        const char* threads) {
    fs::create_directories(out);
    ::setenv("OSTRIVANE_CAB_THREADS", threads, 1);
    FciHarness harness(out);
    harness.ccab.cb = 3 * 1024 * 1024;
    harness.acceptNextCabinet = true;
    HFCI context = harness.create();
    ::unsetenv("OSTRIVANE_CAB_THREADS");
    EXPECT_NE(context, nullptr);
    for (const fs::path& source : sources) {
        EXPECT_TRUE(harness.add(context, source, "set\\" + source.filename().string()));
    }
    EXPECT_TRUE(harness.flush(context));
    FCIDestroy(context);
    std::map<std::string, std::string> cabinets;
    for (const auto& entry : fs::directory_iterator(out)) {
        if (entry.path().extension() == ".cab") {
            cabinets[entry.path().filename().string()] = ReadFile(entry.path());
        }
    }
    return cabinets;
}

} // namespace

TEST(LibcabinetThreads, OneTwoAndFourThreadsWriteIdenticalCabinets) {
    Scratch scratch;
    const fs::path src = scratch.Folder() / "src";
    fs::create_directories(src);
    std::vector<fs::path> sources;
    for (int i = 0; i < 200; ++i) {
        sources.push_back(src / ("small" + std::to_string(i)));
        WriteFile(sources.back(), CompressibleText(static_cast<std::size_t>(i * 97 % 9000), i));
    }
    sources.push_back(src / "random");
    WriteFile(sources.back(), RandomBytes(2 * 1024 * 1024 + 3, 1));
    sources.push_back(src / "text");
    WriteFile(sources.back(), CompressibleText(6 * 1024 * 1024, 2));
    for (int i = 0; i < 4; ++i) {
        sources.push_back(src / ("mixed" + std::to_string(i)));
        WriteFile(sources.back(), RandomBytes(700000 + static_cast<std::size_t>(i), 50 + i));
    }

    const auto one = pack(sources, scratch.Folder() / "t1", "1");
    const auto two = pack(sources, scratch.Folder() / "t2", "2");
    const auto four = pack(sources, scratch.Folder() / "t4", "4");
    ASSERT_GE(one.size(), 2u) << "the set is meant to span cabinets";
    EXPECT_TRUE(one == two);
    EXPECT_TRUE(one == four);
    for (const auto& [name, bytes] : one) {
        ExpectTestersAccept(scratch.Folder() / "t1" / name);
    }
}
