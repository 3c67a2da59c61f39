// Cabinets written by TMakeCab through the built libcabinet.so, checked and unpacked by
// cabextract, 7-Zip, gcab and bsdtar, and compared byte for byte with the sources.
#include "CabTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace {

// Relative path -> bytes.
using Tree = std::map<std::string, std::string>;

class RoundTripTest : public ::testing::Test {
protected:
    // Writes every file of `tree` below `root`.
    static void MakeTree(const std::string& root, const Tree& tree) {
        for (const auto& [name, bytes] : tree) {
            WriteFile(root + "/" + name, bytes);
        }
    }

    // `tree` with every path below `folder`.
    static Tree Below(const std::string& folder, const Tree& tree) {
        Tree below;
        for (const auto& [name, bytes] : tree) {
            below.emplace(folder + "/" + name, bytes);
        }
        return below;
    }

    // Builds `archive` from `specs`; expects no error report and `expectedAdded` files.
    void Build(const std::string& archive, const std::vector<std::string>& specs, bool recurse,
               int expectedAdded) {
        TMakeCab cab;
        ErrorRecorder errors(cab);
        ConfigureForBackup(cab, archive, specs, recurse, "");
        EXPECT_EQ(cab.Compress(), expectedAdded) << errors.Describe();
        EXPECT_TRUE(errors.Errors().empty()) << errors.Describe();
    }

    // The four readers test and unpack the cabinet; each must restore exactly `expected`.
    static void ExpectReadersRestore(const std::string& archive, const Tree& expected) {
        testsupport::ExpectTestersAccept(archive);
        testsupport::ExpectExtractsTo(archive, expected);
    }

    Scratch work;
};

} // namespace

TEST_F(RoundTripTest, SizesAroundTheBlockBoundaryAndMixedData) {
    const Tree files = {
        {"empty.txt", ""},
        {"block.bin", RandomBytes(32768, 1)},
        {"block-plus-one.bin", RandomBytes(32769, 2)},
        {"random.bin", RandomBytes(300000, 3)},
        {"text.txt", CompressibleText(1500000)},
        {"one.txt", "x"},
    };
    MakeTree(work / "src", files);
    const std::string archive = work / "out/backup.cab";
    std::filesystem::create_directories(work / "out");
    Build(archive, {work / "src/*.*"}, false, 6);
    const CabDirectory dir = ReadCabDirectory(archive);
    ASSERT_TRUE(dir.Valid);
    ASSERT_FALSE(dir.Folders.empty());
    for (const testsupport::CabFolderRecord& folder : dir.Folders) {
        EXPECT_EQ(folder.Compression & 0x000F, 1) << "MSZIP expected";
    }
    EXPECT_LT(std::filesystem::file_size(archive), 1500000u / 4 + 300000u + 70000u);
    ExpectReadersRestore(archive, Below("src", files));
}

TEST_F(RoundTripTest, AThousandSmallFilesInNestedFolders) {
    Tree files;
    for (int i = 0; i < 1000; ++i) {
        const std::string folder = "level" + std::to_string(i % 7) + "/sub" + std::to_string(i % 3);
        files.emplace(folder + "/file" + std::to_string(i) + ".txt",
                      "file number " + std::to_string(i) + "\n" +
                          RandomBytes(static_cast<std::size_t>(i % 50), i));
    }
    MakeTree(work / "src", files);
    const std::string archive = work / "many.cab";
    Build(archive, {work / "src/*.*"}, true, 1000);
    // With sdRelativeStoreStart the start folder's name leads every stored name.
    ExpectReadersRestore(archive, Below("src", files));
}

TEST_F(RoundTripTest, CzechAndNonLatinNamesAreStoredAsUtf8) {
    const Tree files = {
        {"Příliš žluťoučký kůň.txt", "kůň"},
        {"složka/úpěl ďábelské ódy.txt", "ódy"},
        {"Ελληνικά.txt", "greek"},
        {"日本語/ファイル.txt", "japanese"},
        {"plain.txt", "ascii"},
    };
    MakeTree(work / "Dokumenty", files);
    const std::string archive = work / "names.cab";
    Build(archive, {work / "Dokumenty/*"}, true, 5);
    const CabDirectory dir = ReadCabDirectory(archive);
    ASSERT_TRUE(dir.Valid);
    ASSERT_EQ(dir.Files.size(), 5u);
    for (const CabFileRecord& file : dir.Files) {
        const bool ascii = file.Name == "Dokumenty\\plain.txt";
        EXPECT_EQ((file.Attribs & 0x80) != 0, !ascii) << file.Name;
        EXPECT_EQ(file.Name.find('/'), std::string::npos) << file.Name;
    }
    ExpectReadersRestore(archive, Below("Dokumenty", files));
}

TEST_F(RoundTripTest, WithoutTranslationNamesKeepTheirBytesUnmarked) {
    WriteFile(work / "src/čeština.txt", "x");
    WriteFile(work / "src/ascii.txt", "y");
    const std::string archive = work / "raw.cab";
    TMakeCab cab;
    ErrorRecorder errors(cab);
    ConfigureForBackup(cab, archive, {work / "src/*.txt"}, false, "");
    cab.SetTranslateOemChar(false);
    EXPECT_EQ(cab.Compress(), 2) << errors.Describe();
    const CabDirectory dir = ReadCabDirectory(archive);
    ASSERT_EQ(dir.Files.size(), 2u);
    for (const CabFileRecord& file : dir.Files) {
        EXPECT_EQ(file.Attribs & 0x80, 0) << file.Name;
    }
    EXPECT_EQ(dir.SortedNames(), (std::vector<std::string>{"src\\ascii.txt", "src\\čeština.txt"}));
}

TEST_F(RoundTripTest, TwoSourceGroupsStoreTheirOwnStartFolders) {
    WriteFile(work / "D/Data/x.txt", "data x");
    WriteFile(work / "E/Docs/Work/y.txt", "work y");
    const std::string archive = work / "groups.cab";
    // Whatever the order of the groups.
    Build(archive, {work / "E/Docs/Work/*.txt", work / "D/Data/*.*"}, false, 2);
    const CabDirectory dir = ReadCabDirectory(archive);
    ASSERT_EQ(dir.Files.size(), 2u);
    EXPECT_EQ(dir.Files[0].Name, "Work\\y.txt");
    EXPECT_EQ(dir.Files[1].Name, "Data\\x.txt");
    ExpectReadersRestore(archive, {{"Data/x.txt", "data x"}, {"Work/y.txt", "work y"}});
}

TEST_F(RoundTripTest, NoBlockExceedsTheFormatLimitWhateverTheData) {
    // Random data cannot be shrunk: such blocks are stored, within 32 KiB + 12 bytes.
    const Tree files = {
        {"random.bin", RandomBytes(5 * 32768 + 1000, 11)},
        {"text.txt", CompressibleText(200000)},
        {"zeros.bin", std::string(100000, '\0')},
        {"tail.bin", RandomBytes(40000, 12)},
    };
    MakeTree(work / "src", files);
    const std::string archive = work / "limit.cab";
    Build(archive, {work / "src/*.*"}, false, 4);
    const CabDirectory dir = ReadCabDirectory(archive);
    ASSERT_TRUE(dir.Valid);
    std::size_t total = 0;
    std::size_t stored = 0;
    for (const CabDataRecord& record : dir.DataRecords()) {
        EXPECT_LE(record.Compressed, 32780u);
        EXPECT_LE(record.Uncompressed, 32768u);
        total += record.Uncompressed;
        // "CK", a stored block's five bytes of head, the data.
        stored += record.Compressed == record.Uncompressed + 7 ? 1 : 0;
    }
    ASSERT_TRUE(dir.Catalog.has_value());
    EXPECT_EQ(total, 5u * 32768 + 1000 + 200000 + 100000 + 40000 + dir.Catalog->Size);
    EXPECT_GE(stored, 5u) << "the random blocks are stored";
    ExpectReadersRestore(archive, Below("src", files));
}
