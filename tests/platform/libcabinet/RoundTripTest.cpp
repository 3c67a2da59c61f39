// Cabinets written through the FCI are read back by cabextract, 7zz and gcab with equal bytes.
#include "CabCheck.h"
#include "FciHarness.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace libcabinet_test;
namespace fs = std::filesystem;

namespace {

// A file to pack: its stored name, its name in the sources' folder and its bytes.
struct Source {
    std::string stored;
    std::string file;
    std::string bytes;
    bool utf8 = false;
};

} // namespace

class LibcabinetRoundTrip : public FciTest {
protected:
    fs::path pathOf(const Source& source) const { return scratch.Folder() / "src" / source.file; }

    // Writes the sources into the sources' folder.
    void write(const std::vector<Source>& sources) const {
        for (const Source& source : sources)
            WriteFile(pathOf(source), source.bytes);
    }

    // Writes the sources and packs them in their order into one cabinet, all of `type`.
    void pack(const std::vector<Source>& sources, TCOMP type = tcompTYPE_MSZIP) {
        write(sources);
        ASSERT_TRUE(open());
        for (const Source& source : sources) {
            harness.attributesToAdd = source.utf8 ? _A_NAME_IS_UTF : 0;
            ASSERT_TRUE(harness.add(context, pathOf(source), source.stored, type))
                << source.stored << " error " << harness.erf.erfOper;
        }
        ASSERT_TRUE(harness.flush(context)) << harness.erf.erfOper;
        EXPECT_TRUE(destroy());
    }

    // The cabinet's records, after the testers accept it and the four readers extract exactly
    // the sources from it, each under its stored name with "\" as "/".
    CabDirectory readBack(const std::vector<Source>& sources) const {
        std::map<std::string, fs::path> expected;
        for (const Source& source : sources) {
            std::string name = source.stored;
            std::replace(name.begin(), name.end(), '\\', '/');
            expected[name] = pathOf(source);
        }
        expectReadersAccept(harness.cabinetPath(), expected);
        return inspectCabinet(harness.cabinetPath());
    }
};

TEST_F(LibcabinetRoundTrip, SizesAroundTheBlockAndNamesReadBackEverywhere) {
    const std::vector<Source> sources = {
        {"empty.txt", "empty.txt", CompressibleText(0, 1)},
        {"exact.txt", "exact.txt", CompressibleText(32768, 2)},
        {"one-more.bin", "one-more.bin", RandomBytes(32769, 3)},
        {"big\\random.bin", "random.bin", RandomBytes(3 * 1024 * 1024 + 17, 4)},
        {"big\\text.txt", "text.txt", CompressibleText(5 * 1024 * 1024 + 5, 5)},
        {"adresář\\podsložka\\žluťoučký kůň.txt", "utf.txt", CompressibleText(70000, 6), true},
        {"a\\b\\c\\deep.bin", "deep.bin", RandomBytes(65536, 7)},
    };
    pack(sources);
    const CabDirectory info = readBack(sources);
    ASSERT_EQ(info.Files.size(), sources.size());
    ASSERT_EQ(info.Folders.size(), 1u);
    EXPECT_EQ(info.Folders[0].Compression, tcompTYPE_MSZIP);
    EXPECT_EQ(info.Flags, 0);
    std::uint32_t offset = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(sources[i].stored);
        EXPECT_EQ(info.Files[i].Name, sources[i].stored);
        EXPECT_EQ(info.Files[i].Size, sources[i].bytes.size());
        EXPECT_EQ(info.Files[i].FolderOffset, offset);
        EXPECT_EQ(info.Files[i].Attribs, sources[i].utf8 ? 0xA0 : 0x20);
        EXPECT_EQ(info.Files[i].Date, ((2024 - 1980) << 9) | (5 << 5) | 17);
        EXPECT_EQ(info.Files[i].Time, (13 << 11) | (45 << 5) | 15);
        offset += info.Files[i].Size;
    }
    const std::uint32_t blocks = (offset + 32767) / 32768;
    EXPECT_EQ(info.Folders[0].BlockCount, blocks);

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

TEST_F(LibcabinetRoundTrip, AThousandSmallFilesShareOneFolder) {
    std::vector<Source> sources;
    for (int i = 0; i < 1000; ++i) {
        std::string name = "f";
        name += std::to_string(i);
        name += ".dat";
        std::string stored = "many\\";
        stored += name;
        const auto size = static_cast<std::size_t>(i % 3 == 0 ? i * 7 % 2000 : i * 13 % 5000);
        sources.push_back(
            {stored, name, i % 3 == 0 ? RandomBytes(size, i) : CompressibleText(size, i)});
    }
    pack(sources);
    const CabDirectory info = readBack(sources);
    EXPECT_EQ(info.Files.size(), 1000u);
    EXPECT_EQ(info.Folders.size(), 1u);
}

TEST_F(LibcabinetRoundTrip, StoredBlocksWithTypeNone) {
    const std::vector<Source> sources = {{"raw.bin", "raw.bin", RandomBytes(100000, 11)},
                                         {"raw.txt", "raw.txt", CompressibleText(40000, 12)}};
    pack(sources, tcompTYPE_NONE);
    const CabDirectory info = readBack(sources);
    ASSERT_EQ(info.Folders.size(), 1u);
    EXPECT_EQ(info.Folders[0].Compression, tcompTYPE_NONE);
    EXPECT_EQ(info.Folders[0].BlockCount, (140000 + 32767) / 32768);
    // Raw blocks: the data plus 8 header bytes per block.
    EXPECT_GE(fs::file_size(harness.cabinetPath()), 140000u + 8 * 5);
}

TEST_F(LibcabinetRoundTrip, TypeChangesFlushFolderAndThresholdStartNewFolders) {
    std::vector<Source> sources;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "part" + std::to_string(i);
        sources.push_back({name, name, CompressibleText(60000, 20 + i)});
    }
    write(sources);
    harness.ccab.cbFolderThresh = 100000;
    ASSERT_TRUE(open());
    const auto add = [&](std::size_t i, TCOMP type, bool execute = false) {
        return harness.add(context, pathOf(sources[i]), sources[i].stored, type, execute);
    };
    ASSERT_TRUE(add(0, tcompTYPE_MSZIP));
    ASSERT_TRUE(add(1, tcompTYPE_NONE));
    ASSERT_TRUE(add(2, tcompTYPE_MSZIP));
    ASSERT_TRUE(FCIFlushFolder(context, FciHarness::nextCabinet, FciHarness::status));
    ASSERT_TRUE(FCIFlushFolder(context, FciHarness::nextCabinet, FciHarness::status));
    ASSERT_TRUE(add(3, tcompTYPE_MSZIP));
    // 60000 bytes are below the threshold: the next file joins; after 120000 a new folder.
    ASSERT_TRUE(add(4, tcompTYPE_MSZIP));
    ASSERT_TRUE(add(5, tcompTYPE_MSZIP, true));
    ASSERT_TRUE(close());

    const CabDirectory info = readBack(sources);
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
}

TEST_F(LibcabinetRoundTrip, FilesOfZeroBytesOnlyMakeAReadableCabinet) {
    const std::vector<Source> sources = {{"nothing-1", "n1", CompressibleText(0, 1)},
                                         {"nothing-2", "n2", CompressibleText(0, 2)}};
    pack(sources);
    const CabDirectory info = readBack(sources);
    ASSERT_EQ(info.Folders.size(), 1u);
    EXPECT_EQ(info.Folders[0].BlockCount, 0);
}

TEST_F(LibcabinetRoundTrip, ReservedAreasAreWrittenAndSkippedByReaders) {
    const std::vector<Source> sources = {
        {"with-reserve.txt", "r.txt", CompressibleText(100000, 31)}};
    harness.ccab.cbReserveCFHeader = 20;
    harness.ccab.cbReserveCFFolder = 5;
    harness.ccab.cbReserveCFData = 7;
    pack(sources);
    EXPECT_EQ(readBack(sources).Flags, 0x0004);
}
