// A destination inside a source folder: the archive, its numbered copies and the engine's own
// temporary files never go into the archive.
#include "ArchiveTestSupport.h"

TEST(OwnFiles, ArchiveSeriesAndTemporaryFilesAreSkipped) {
    Scratch dir;
    std::string src = dir / "src";
    MakeDir(src);
    for (const char* name : {"backup.CAB", "backup_1.cab", "backup_12.cab", "cab3F2A.tmp"})
        WriteFile(src + "/" + name);
    for (const char* name : {"backup_x.cab", "backup_01.cab", "backup_1.cabx", "other.txt"})
        WriteFile(src + "/" + name);
    RecordingCab cab;
    cab.SetArchiveFile(src + "/backup");
    ASSERT_EQ(cab.ArchiveFile(), src + "/backup.CAB");
    cab.FileSpec() = {src + "/*.*"};
    cab.OwnFilesToRegister = {src + "/cab3F2A.tmp"};
    EXPECT_EQ(cab.Compress(), 4);
    EXPECT_EQ(cab.StoredNames(), (std::vector<std::string>{"backup_01.cab", "backup_1.cabx",
                                                           "backup_x.cab", "other.txt"}));
}

TEST(OwnFiles, DestinationInASubfolderOfARecursiveSource) {
    Scratch dir;
    std::string src = dir / "src";
    MakeDir(src);
    MakeDir(src + "/zalohy");
    WriteFile(src + "/zalohy/archiv_1.cab");
    WriteFile(src + "/zalohy/archiv_2.cab");
    WriteFile(src + "/zalohy/notes.txt");
    WriteFile(src + "/a.txt");
    RecordingCab cab;
    cab.SetArchiveFile(src + "/zalohy/archiv.cab");
    cab.FileSpec() = {src + "/*.*"};
    EXPECT_EQ(cab.Compress(), 2);
    EXPECT_EQ(cab.StoredNames(), (std::vector<std::string>{"a.txt", "zalohy/notes.txt"}));
}

TEST(OwnFiles, OtherSpellingsOfTheSamePlacesAreRecognised) {
    Scratch dir;
    std::string src = dir / "src";
    MakeDir(src);
    WriteFile(src + "/archiv.cab");
    WriteFile(src + "/archiv_3.cab");
    WriteFile(src + "/temp1.tmp");
    WriteFile(src + "/keep.txt");
    ASSERT_EQ(::symlink(src.c_str(), (dir / "alias").c_str()), 0);
    RecordingCab cab;
    // The archive is named through "/./", the temporary file through a linked folder.
    cab.SetArchiveFile(src + "/./archiv.cab");
    cab.FileSpec() = {src + "/*.*"};
    cab.OwnFilesToRegister = {dir / "alias/temp1.tmp"};
    EXPECT_EQ(cab.Compress(), 1);
    EXPECT_EQ(cab.StoredNames(), std::vector<std::string>{"keep.txt"});
}

TEST(OwnFiles, RegistryIsClearedForEveryBuild) {
    Scratch dir;
    WriteFile(dir / "a.tmp");
    MakeDir(dir / "out");
    RecordingCab cab;
    cab.SetArchiveFile(dir / "out/x.cab");
    cab.FileSpec() = {dir / "*.tmp"};
    cab.RegisterOwnFile(dir / "a.tmp"); // left from before: no longer the engine's
    EXPECT_EQ(cab.Compress(), 1);
}
