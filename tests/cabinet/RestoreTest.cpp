// ostrivane-cab --test and --extract on cabinets of its own, of gcab, damaged and hostile ones.
#include "CabTestSupport.h"

#include "cabinet/read/CabinetReader.h"

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace {

const std::string kTool = std::string(OSTRIVANE_BUILD_DIR) + "/ostrivane-cab";

// The tool under a time limit: a hang shows as 124, a crash as 128 + the signal.
int RunTool(const std::string& arguments, std::string* output = nullptr) {
    return Shell("timeout 120 " + Quote(kTool) + " " + arguments, output);
}

using Files = std::vector<std::pair<std::string, std::string>>;

const Files kFiles = {
    {"docs/Příliš žluťoučký kůň.txt", CompressibleText(70000)},
    {"docs/deep/random.bin", RandomBytes(2500000, 5)}, // past two read buffers
    {"docs/empty.txt", ""},
    {"docs/read-only.txt", "keep me"},
};

// Writes kFiles below `root`, each with its own modification time in the past (even seconds:
// DOS times have two-second steps), the last one read-only.
void MakeSources(const std::string& root) {
    for (std::size_t i = 0; i < kFiles.size(); ++i) {
        const std::string path = root + "/" + kFiles[i].first;
        WriteFile(path, kFiles[i].second);
        struct tm local {};
        local.tm_year = 119;
        local.tm_mon = 5;
        local.tm_mday = 15;
        local.tm_hour = 10;
        local.tm_min = 20;
        local.tm_sec = static_cast<int>(2 * i);
        local.tm_isdst = -1;
        const struct timespec times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    ::chmod((root + "/docs/read-only.txt").c_str(), 0444);
}

struct stat Stat(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

// Every entry's bytes and problem as a reading hands them over.
class Collected : public CabinetVisitor {
public:
    bool Begin(const CabinetEntry& entry) override {
        current_ = &files[entry.Name];
        return true;
    }
    bool Data(const std::uint8_t* bytes, std::size_t count) override {
        current_->append(reinterpret_cast<const char*>(bytes), count);
        return true;
    }
    void End(const CabinetEntry& entry, const std::string& problem) override {
        if (!problem.empty())
            problems += entry.Name + ": " + problem + "\n";
    }
    void PartProblem(const std::string& part, const std::string& problem) override {
        problems += part + ": " + problem + "\n";
    }

    std::map<std::string, std::string> files;
    std::string problems;

private:
    std::string* current_ = nullptr;
};

void FlipByte(const std::string& path, std::size_t at) {
    std::string bytes = ReadFile(path);
    bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
    WriteFile(path, bytes);
}

} // namespace

TEST(RestoreTest, OwnAndGcabCabinetsComeBackWithNamesTimesAndTheReadOnlyAttribute) {
    Scratch work;
    MakeSources(work / "src");
    std::string output;
    ASSERT_EQ(
        RunTool("--recurse --quiet " + Quote(work / "own.cab") + " " + Quote(work / "src/docs/*"),
                &output),
        0)
        << output;
    std::string names;
    for (const auto& [name, bytes] : kFiles)
        names += " " + Quote(name);
    ASSERT_EQ(
        Shell("cd " + Quote(work / "src") + " && gcab -c -z " + Quote(work / "gcab.cab") + names,
              &output),
        0)
        << output;

    for (const std::string tool : {"own", "gcab"}) {
        const std::string cabinet = work / (tool + ".cab");
        // The backup's read-back decodes with the reader's own decoding: it gets the same bytes.
        Collected decoded;
        EXPECT_TRUE(ReadCabinetSet({cabinet}, decoded, {}, CabinetDecoder::Own));
        EXPECT_EQ(decoded.problems, "") << tool;
        for (const auto& [name, bytes] : kFiles)
            EXPECT_TRUE(decoded.files[name] == bytes) << tool << ": " << name;
        EXPECT_EQ(RunTool("--test " + Quote(cabinet), &output), 0) << tool << output;
        EXPECT_NE(output.find(": dobrých souborů: 4"), std::string::npos) << output;
        const std::string into = work / ("x-" + tool);
        ASSERT_EQ(RunTool("--extract " + Quote(into) + " " + Quote(cabinet), &output), 0)
            << tool << output;
        for (const auto& [name, bytes] : kFiles) {
            const std::string restored = into + "/" + name;
            EXPECT_TRUE(ReadFile(restored) == bytes) << tool << ": " << name;
            EXPECT_EQ(Stat(restored).st_mtime, Stat(work / ("src/" + name)).st_mtime)
                << tool << ": " << name;
        }
    }
    // gcab keeps no attributes; the backup's cabinet does.
    EXPECT_EQ(Stat(work / "x-own/docs/read-only.txt").st_mode & 0222, 0u);
    EXPECT_NE(Stat(work / "x-own/docs/empty.txt").st_mode & 0200, 0u);
}

TEST(RestoreTest, ExistingFilesStayUnlessOverwriteAndPatternsChooseFiles) {
    Scratch work;
    MakeSources(work / "src");
    const std::string cabinet = work / "own.cab";
    ASSERT_EQ(RunTool("--recurse --quiet " + Quote(cabinet) + " " + Quote(work / "src/docs/*")), 0);
    const std::string into = work / "x";
    std::string output;
    EXPECT_EQ(RunTool("--extract " + Quote(into) + " " + Quote(cabinet) + " docs/deep '*.nothing'",
                      &output),
              1);
    EXPECT_NE(output.find("*.nothing: žádný soubor archívu neodpovídá"), std::string::npos)
        << output;
    EXPECT_TRUE(Exists(into + "/docs/deep/random.bin"));
    EXPECT_FALSE(Exists(into + "/docs/empty.txt"));

    WriteFile(into + "/docs/deep/random.bin", "changed since");
    EXPECT_EQ(RunTool("--extract " + Quote(into) + " " + Quote(cabinet) + " '*.bin'", &output), 1);
    EXPECT_NE(output.find("existuje a zůstal beze změny"), std::string::npos) << output;
    EXPECT_EQ(ReadFile(into + "/docs/deep/random.bin"), "changed since");
    EXPECT_EQ(RunTool("--extract --overwrite " + Quote(into) + " " + Quote(cabinet) + " '*.bin'",
                      &output),
              0)
        << output;
    EXPECT_TRUE(ReadFile(into + "/docs/deep/random.bin") == kFiles[1].second);
}

TEST(RestoreTest, AFlippedByteInTheDataFailsTheTestAndNamesItsFile) {
    Scratch work;
    WriteFile(work / "src/first.bin", RandomBytes(40000, 1));
    WriteFile(work / "src/second.txt", CompressibleText(100000));
    ASSERT_EQ(RunTool("--quiet " + Quote(work / "own.cab") + " " + Quote(work / "src/*.*")), 0);
    std::string output;
    ASSERT_EQ(Shell("cd " + Quote(work / "src") + " && gcab -c " + Quote(work / "stored.cab") +
                        " first.bin second.txt",
                    &output),
              0)
        << output;
    for (const std::string name : {"own.cab", "stored.cab"}) {
        const std::string cabinet = work / name;
        // The first block of the folder holds the file at offset 0.
        std::string first;
        for (const CabFileRecord& file : ReadCabDirectory(cabinet).Files) {
            if (file.Folder == 0 && file.Size > 0 && first.empty())
                first = file.Name;
        }
        FlipByte(cabinet, ReadCabDirectory(cabinet).Folders.at(0).DataOffset + 8 + 200);
        EXPECT_EQ(RunTool("--test " + Quote(cabinet), &output), 1) << name;
        EXPECT_NE(output.find(first.substr(first.rfind('\\') + 1) +
                              ": chyba kontrolního součtu v datovém bloku 1"),
                  std::string::npos)
            << name << ": " << output;
    }
}

TEST(RestoreTest, DamagedAndMalformedCabinetsGiveClearErrorsWithoutACrash) {
    Scratch work;
    WriteFile(work / "src/a.bin", RandomBytes(100000, 2));
    WriteFile(work / "src/b.txt", "after");
    ASSERT_EQ(RunTool("--quiet " + Quote(work / "whole.cab") + " " + Quote(work / "src/*.*")), 0);
    const std::string whole = ReadFile(work / "whole.cab");
    WriteFile(work / "truncated.cab", whole.substr(0, whole.size() / 2));
    WriteFile(work / "junk.cab", RandomBytes(5000, 3));
    // A first stored block shorter than 32768 bytes while another follows: the format forbids
    // it, and the decompressor must never see it.
    std::string malformed = StoredCabinet({{"big.bin", RandomBytes(40000, 4)}});
    const std::uint32_t block =
        static_cast<unsigned char>(malformed[36]) | static_cast<unsigned char>(malformed[37]) << 8;
    malformed[block + 4] = malformed[block + 6] = 100;
    malformed[block + 5] = malformed[block + 7] = 0;
    WriteFile(work / "malformed.cab", malformed);

    const std::pair<const char*, const char*> cases[] = {
        {"truncated.cab", ": archív končí uvnitř datového bloku"},
        {"junk.cab", "junk.cab: není archív cabinet"},
        {"malformed.cab", "big.bin: datový blok 1 má chybný tvar"},
    };
    for (const auto& [name, expected] : cases) {
        std::string output;
        EXPECT_EQ(RunTool("--test " + Quote(work / name), &output), 1) << name;
        EXPECT_NE(output.find(expected), std::string::npos) << name << ": " << output;
        EXPECT_EQ(RunTool("--extract " + Quote(work / "x") + " " + Quote(work / name), &output), 1)
            << name;
    }
    EXPECT_TRUE(TreeContents(work / "x").empty()) << "a damaged file was restored";
}

TEST(RestoreTest, HostileNamesAndPlantedLinksWriteNothingOutsideTheFolder) {
    Scratch work;
    const std::string cabinet = work / "hostile.cab";
    WriteFile(cabinet, StoredCabinet({
                           {"..\\evil.txt", "evil"},
                           {"\\absolute.txt", "evil"},
                           {"empty\\\\part.txt", "evil"},
                           {"ok\\..\\..\\evil2.txt", "evil"},
                           {"linked\\inside.txt", "evil"},
                           {"replaced.txt", "new"},
                           {"good\\file.txt", "good"},
                       }));
    WriteFile(work / "outside/target.txt", "old");
    std::filesystem::create_directories(work / "restore");
    std::filesystem::create_directory_symlink("../outside", work / "restore/linked");
    std::filesystem::create_symlink("../outside/target.txt", work / "restore/replaced.txt");

    std::string output;
    EXPECT_EQ(
        RunTool("--extract --overwrite " + Quote(work / "restore") + " " + Quote(cabinet), &output),
        1);
    for (const char* refused :
         {"../evil.txt: odmítnuto", "/absolute.txt: odmítnuto", "empty//part.txt: odmítnuto",
          "ok/../../evil2.txt: odmítnuto", "linked/inside.txt: odmítnuto"})
        EXPECT_NE(output.find(refused), std::string::npos) << refused << "\n" << output;
    EXPECT_EQ(ReadFile(work / "restore/good/file.txt"), "good");
    // The link itself was replaced; what it pointed to is untouched.
    EXPECT_TRUE(S_ISREG(Stat(work / "restore/replaced.txt").st_mode));
    EXPECT_EQ(ReadFile(work / "restore/replaced.txt"), "new");
    EXPECT_EQ(TreeContents(work / "outside"),
              (std::map<std::string, std::string>{{"target.txt", "old"}}));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(work.Path()))
        EXPECT_EQ(entry.path().filename().string().find("evil"), std::string::npos) << entry.path();
}
