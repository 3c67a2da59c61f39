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
    Scratch scratch;
    const fs::path src = scratch.Folder() / "src";
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
    WriteFile(sources[0].path, CompressibleText(0, 1));
    WriteFile(sources[1].path, CompressibleText(32768, 2));
    WriteFile(sources[2].path, RandomBytes(32769, 3));
    WriteFile(sources[3].path, RandomBytes(3 * 1024 * 1024 + 17, 4));
    WriteFile(sources[4].path, CompressibleText(5 * 1024 * 1024 + 5, 5));
    WriteFile(sources[5].path, CompressibleText(70000, 6));
    WriteFile(sources[6].path, RandomBytes(65536, 7));

    FciHarness harness(scratch.Folder());
    packAll(harness, sources);

    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Files.size(), sources.size());
    ASSERT_EQ(info.Folders.size(), 1u);
    EXPECT_EQ(info.Folders[0].Compression, tcompTYPE_MSZIP);
    EXPECT_EQ(info.Flags, 0);
    std::uint32_t offset = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(sources[i].stored);
        EXPECT_EQ(info.Files[i].Name, sources[i].stored);
        EXPECT_EQ(info.Files[i].Size, fs::file_size(sources[i].path));
        EXPECT_EQ(info.Files[i].FolderOffset, offset);
        EXPECT_EQ(info.Files[i].Attribs, sources[i].utf8 ? 0xA0 : 0x20);
        EXPECT_EQ(info.Files[i].Date, ((2024 - 1980) << 9) | (5 << 5) | 17);
        EXPECT_EQ(info.Files[i].Time, (13 << 11) | (45 << 5) | 15);
        offset += info.Files[i].Size;
    }
    const std::uint32_t blocks = (offset + 32767) / 32768;
    EXPECT_EQ(info.Folders[0].BlockCount, blocks);

    expectReadersAccept(harness.cabinetPath(), expectedFiles(sources));

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
    Scratch scratch;
    const fs::path src = scratch.Folder() / "src";
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
            WriteFile(sources.back().path, RandomBytes(static_cast<std::size_t>(i * 7 % 2000), i));
        } else {
            WriteFile(sources.back().path,
                      CompressibleText(static_cast<std::size_t>(i * 13 % 5000), i));
        }
    }
    FciHarness harness(scratch.Folder());
    packAll(harness, sources);
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    EXPECT_EQ(info.Files.size(), 1000u);
    EXPECT_EQ(info.Folders.size(), 1u);
    expectReadersAccept(harness.cabinetPath(), expectedFiles(sources));
}

TEST(LibcabinetRoundTrip, StoredBlocksWithTypeNone) {
    Scratch scratch;
    std::vector<Source> sources = {{"raw.bin", scratch.Folder() / "raw.bin"},
                                   {"raw.txt", scratch.Folder() / "raw.txt"}};
    WriteFile(sources[0].path, RandomBytes(100000, 11));
    WriteFile(sources[1].path, CompressibleText(40000, 12));
    FciHarness harness(scratch.Folder());
    packAll(harness, sources, tcompTYPE_NONE);
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Folders.size(), 1u);
    EXPECT_EQ(info.Folders[0].Compression, tcompTYPE_NONE);
    EXPECT_EQ(info.Folders[0].BlockCount, (140000 + 32767) / 32768);
    // Raw blocks: the data plus 8 header bytes per block.
    EXPECT_GE(fs::file_size(harness.cabinetPath()), 140000u + 8 * 5);
    expectReadersAccept(harness.cabinetPath(), expectedFiles(sources));
}

TEST(LibcabinetRoundTrip, TypeChangesFlushFolderAndThresholdStartNewFolders) {
    Scratch scratch;
    std::vector<Source> sources;
    for (int i = 0; i < 6; ++i) {
        sources.push_back(
            {"part" + std::to_string(i), scratch.Folder() / ("part" + std::to_string(i))});
        WriteFile(sources.back().path, CompressibleText(60000, 20 + i));
    }
    FciHarness harness(scratch.Folder());
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

    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Folders.size(), 5u);
    const std::vector<std::uint16_t> folderOf = {0, 1, 2, 3, 3, 4};
    const std::vector<std::uint16_t> typeOf = {1, 0, 1, 1, 1};
    for (std::size_t i = 0; i < sources.size(); ++i) {
        EXPECT_EQ(info.Files[i].Folder, folderOf[i]) << i;
    }
    for (std::size_t i = 0; i < typeOf.size(); ++i) {
        EXPECT_EQ(info.Folders[i].Compression, typeOf[i]) << i;
    }
    EXPECT_EQ(info.Files[4].FolderOffset, 60000u);
    EXPECT_EQ(info.Files[5].Attribs, _A_ARCH | _A_EXEC);
    expectReadersAccept(harness.cabinetPath(), expectedFiles(sources));
}

TEST(LibcabinetRoundTrip, FilesOfZeroBytesOnlyMakeAReadableCabinet) {
    Scratch scratch;
    std::vector<Source> sources = {{"nothing-1", scratch.Folder() / "n1"},
                                   {"nothing-2", scratch.Folder() / "n2"}};
    WriteFile(sources[0].path, CompressibleText(0, 1));
    WriteFile(sources[1].path, CompressibleText(0, 2));
    FciHarness harness(scratch.Folder());
    packAll(harness, sources);
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    ASSERT_EQ(info.Folders.size(), 1u);
    EXPECT_EQ(info.Folders[0].BlockCount, 0);
    expectReadersAccept(harness.cabinetPath(), expectedFiles(sources));
}

TEST(LibcabinetRoundTrip, ReservedAreasAreWrittenAndSkippedByReaders) {
    Scratch scratch;
    std::vector<Source> sources = {{"with-reserve.txt", scratch.Folder() / "r.txt"}};
    WriteFile(sources[0].path, CompressibleText(100000, 31));
    FciHarness harness(scratch.Folder());
    harness.ccab.cbReserveCFHeader = 20;
    harness.ccab.cbReserveCFFolder = 5;
    harness.ccab.cbReserveCFData = 7;
    packAll(harness, sources);
    const CabDirectory info = inspectCabinet(harness.cabinetPath());
    EXPECT_EQ(info.Flags, 0x0004);
    expectReadersAccept(harness.cabinetPath(), expectedFiles(sources));
}
