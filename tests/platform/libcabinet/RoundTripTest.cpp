// Cabinets written through the FCI are read back by cabextract, 7zz and gcab with equal bytes.
#include "CabCheck.h"
#include "FciHarness.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace libcabinet_test;
namespace fs = std::filesystem;

namespace {

struct Source {
    std::string stored;
    fs::path path;
    bool utf8 = false;
};

std::map<std::string, fs::path> expectedFiles(const std::vector<Source>& sources) {
    std::map<std::string, fs::path> expected;
    for (const Source& source : sources) {
        std::string name = source.stored;
        std::replace(name.begin(), name.end(), '\\', '/');
        expected[name] = source.path;
    }
    return expected;
}

void packAll(FciHarness& harness, const std::vector<Source>& sources,
             TCOMP type = tcompTYPE_MSZIP) {
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    for (const Source& source : sources) {
        harness.attributesToAdd = source.utf8 ? _A_NAME_IS_UTF : 0;
        ASSERT_TRUE(harness.add(context, source.path, source.stored, type))
            << source.stored << " error " << harness.erf.erfOper;
    }
    ASSERT_TRUE(harness.flush(context)) << harness.erf.erfOper;
    EXPECT_TRUE(FCIDestroy(context));
}

} // namespace

TEST(LibcabinetRoundTrip, SizesAroundTheBlockAndNamesReadBackEverywhere) {
    ScratchFolder scratch;
    const fs::path src = scratch.path() / "src";
    fs::create_directories(src);
    std::vector<Source> sources = {
        {"empty.txt", src / "empty.txt"},
        {"exact.txt", src / "exact.txt"},
        {"one-more.bin", src / "one-more.bin"},
        {"big\\random.bin", src / "random.bin"},
        {"big\\text.txt", src / "text.txt"},
        {"adresář\\podsložka\\žluťoučký kůň.txt", src / "utf.txt", true},
        {"a\\b\\c\\deep.bin", src / "deep.bin"},
    };
    writeTextFile(sources[0].path, 0, 1);
    writeTextFile(sources[1].path, 32768, 2);
    writeRandomFile(sources[2].path, 32769, 3);
    writeRandomFile(sources[3].path, 3 * 1024 * 1024 + 17, 4);
    writeTextFile(sources[4].path, 5 * 1024 * 1024 + 5, 5);
    writeTextFile(sources[5].path, 70000, 6);
    writeRandomFile(sources[6].path, 65536, 7);

    FciHarness harness(scratch.path());
    packAll(harness, sources);

    const CabInfo info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.files.size(), sources.size());
    ASSERT_EQ(info.folders.size(), 1u);
    EXPECT_EQ(info.folders[0].type, tcompTYPE_MSZIP);
    EXPECT_EQ(info.flags, 0);
    std::uint32_t offset = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(sources[i].stored);
        EXPECT_EQ(info.files[i].name, sources[i].stored);
        EXPECT_EQ(info.files[i].size, fs::file_size(sources[i].path));
        EXPECT_EQ(info.files[i].folderOffset, offset);
        EXPECT_EQ(info.files[i].attributes, sources[i].utf8 ? 0xA0 : 0x20);
        EXPECT_EQ(info.files[i].date, ((2024 - 1980) << 9) | (5 << 5) | 17);
        EXPECT_EQ(info.files[i].time, (13 << 11) | (45 << 5) | 15);
        offset += info.files[i].size;
    }
    const std::uint32_t blocks = (offset + 32767) / 32768;
    EXPECT_EQ(info.folders[0].blocks, blocks);

    expectTestersAccept(harness.cabinetPath());
    expectExtractsTo(harness.cabinetPath(), expectedFiles(sources));

    // Status: one report per block, the blocks covering every byte; the folder copied in full;
    // the cabinet's size announced once.
    std::uint64_t blockBytes = 0;
    int fileReports = 0;
    int cabinetReports = 0;
    for (const StatusCall& call : harness.statusLog) {
        if (call.type == statusFile) {
            ++fileReports;
            EXPECT_LE(call.second, 32768u);
            EXPECT_GT(call.first, 0u);
            blockBytes += call.second;
        } else if (call.type == statusCabinet) {
            ++cabinetReports;
            EXPECT_EQ(call.second, fs::file_size(harness.cabinetPath()));
        }
    }
    EXPECT_EQ(fileReports, static_cast<int>(blocks));
    EXPECT_EQ(blockBytes, offset);
    EXPECT_EQ(cabinetReports, 1);
    ASSERT_FALSE(harness.statusLog.empty());
    const auto lastFolder =
        std::find_if(harness.statusLog.rbegin(), harness.statusLog.rend(),
                     [](const StatusCall& c) { return c.type == statusFolder; });
    ASSERT_NE(lastFolder, harness.statusLog.rend());
    EXPECT_EQ(lastFolder->first, lastFolder->second);

    ASSERT_EQ(harness.placed.size(), sources.size());
    EXPECT_EQ(harness.placed[3].first, "big\\random.bin");
    EXPECT_EQ(harness.placed[3].second, 3 * 1024 * 1024 + 17);
    EXPECT_TRUE(harness.tempFilesLive.empty());
    EXPECT_TRUE(harness.openHandles.empty());
}

TEST(LibcabinetRoundTrip, AThousandSmallFilesShareOneFolder) {
    ScratchFolder scratch;
    const fs::path src = scratch.path() / "src";
    fs::create_directories(src);
    std::vector<Source> sources;
    for (int i = 0; i < 1000; ++i) {
        std::string name = "f";
        name += std::to_string(i);
        name += ".dat";
        std::string stored = "many\\";
        stored += name;
        sources.push_back({stored, src / name});
        if (i % 3 == 0) {
            writeRandomFile(sources.back().path, static_cast<std::size_t>(i * 7 % 2000), i);
        } else {
            writeTextFile(sources.back().path, static_cast<std::size_t>(i * 13 % 5000), i);
        }
    }
    FciHarness harness(scratch.path());
    packAll(harness, sources);
    const CabInfo info = inspectCabinet(harness.cabinetPath());
    EXPECT_EQ(info.files.size(), 1000u);
    EXPECT_EQ(info.folders.size(), 1u);
    expectTestersAccept(harness.cabinetPath());
    expectExtractsTo(harness.cabinetPath(), expectedFiles(sources));
}

TEST(LibcabinetRoundTrip, StoredBlocksWithTypeNone) {
    ScratchFolder scratch;
    std::vector<Source> sources = {{"raw.bin", scratch.path() / "raw.bin"},
                                   {"raw.txt", scratch.path() / "raw.txt"}};
    writeRandomFile(sources[0].path, 100000, 11);
    writeTextFile(sources[1].path, 40000, 12);
    FciHarness harness(scratch.path());
    packAll(harness, sources, tcompTYPE_NONE);
    const CabInfo info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.folders.size(), 1u);
    EXPECT_EQ(info.folders[0].type, tcompTYPE_NONE);
    EXPECT_EQ(info.folders[0].blocks, (140000 + 32767) / 32768);
    // Raw blocks: the data plus 8 header bytes per block.
    EXPECT_GE(fs::file_size(harness.cabinetPath()), 140000u + 8 * 5);
    expectTestersAccept(harness.cabinetPath());
    expectExtractsTo(harness.cabinetPath(), expectedFiles(sources));
}

TEST(LibcabinetRoundTrip, TypeChangesFlushFolderAndThresholdStartNewFolders) {
    ScratchFolder scratch;
    std::vector<Source> sources;
    for (int i = 0; i < 6; ++i) {
        sources.push_back(
            {"part" + std::to_string(i), scratch.path() / ("part" + std::to_string(i))});
        writeTextFile(sources.back().path, 60000, 20 + i);
    }
    FciHarness harness(scratch.path());
    harness.ccab.cbFolderThresh = 100000;
    HFCI context = harness.create();
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(harness.add(context, sources[0].path, sources[0].stored, tcompTYPE_MSZIP));
    ASSERT_TRUE(harness.add(context, sources[1].path, sources[1].stored, tcompTYPE_NONE));
    ASSERT_TRUE(harness.add(context, sources[2].path, sources[2].stored, tcompTYPE_MSZIP));
    ASSERT_TRUE(FCIFlushFolder(context, FciHarness::nextCabinet, FciHarness::status));
    ASSERT_TRUE(FCIFlushFolder(context, FciHarness::nextCabinet, FciHarness::status));
    ASSERT_TRUE(harness.add(context, sources[3].path, sources[3].stored, tcompTYPE_MSZIP));
    // 60000 bytes are below the threshold: the next file joins; after 120000 a new folder.
    ASSERT_TRUE(harness.add(context, sources[4].path, sources[4].stored, tcompTYPE_MSZIP));
    ASSERT_TRUE(harness.add(context, sources[5].path, sources[5].stored, tcompTYPE_MSZIP, true));
    ASSERT_TRUE(harness.flush(context));
    FCIDestroy(context);

    const CabInfo info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.folders.size(), 5u);
    const std::vector<std::uint16_t> folderOf = {0, 1, 2, 3, 3, 4};
    const std::vector<std::uint16_t> typeOf = {1, 0, 1, 1, 1};
    for (std::size_t i = 0; i < sources.size(); ++i) {
        EXPECT_EQ(info.files[i].folder, folderOf[i]) << i;
    }
    for (std::size_t i = 0; i < typeOf.size(); ++i) {
        EXPECT_EQ(info.folders[i].type, typeOf[i]) << i;
    }
    EXPECT_EQ(info.files[4].folderOffset, 60000u);
    EXPECT_EQ(info.files[5].attributes, _A_ARCH | _A_EXEC);
    expectTestersAccept(harness.cabinetPath());
    expectExtractsTo(harness.cabinetPath(), expectedFiles(sources));
}

TEST(LibcabinetRoundTrip, FilesOfZeroBytesOnlyMakeAReadableCabinet) {
    ScratchFolder scratch;
    std::vector<Source> sources = {{"nothing-1", scratch.path() / "n1"},
                                   {"nothing-2", scratch.path() / "n2"}};
    writeTextFile(sources[0].path, 0, 1);
    writeTextFile(sources[1].path, 0, 2);
    FciHarness harness(scratch.path());
    packAll(harness, sources);
    const CabInfo info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.folders.size(), 1u);
    EXPECT_EQ(info.folders[0].blocks, 0);
    expectTestersAccept(harness.cabinetPath());
    expectExtractsTo(harness.cabinetPath(), expectedFiles(sources));
}

TEST(LibcabinetRoundTrip, ReservedAreasAreWrittenAndSkippedByReaders) {
    ScratchFolder scratch;
    std::vector<Source> sources = {{"with-reserve.txt", scratch.path() / "r.txt"}};
    writeTextFile(sources[0].path, 100000, 31);
    FciHarness harness(scratch.path());
    harness.ccab.cbReserveCFHeader = 20;
    harness.ccab.cbReserveCFFolder = 5;
    harness.ccab.cbReserveCFData = 7;
    packAll(harness, sources);
    const CabInfo info = inspectCabinet(harness.cabinetPath());
    EXPECT_EQ(info.flags, 0x0004);
    expectTestersAccept(harness.cabinetPath());
    expectExtractsTo(harness.cabinetPath(), expectedFiles(sources));
}
