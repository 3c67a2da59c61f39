// Black-box checks of a written cabinet: its header records read back here, and the verdicts of
// cabextract, 7zz, gcab and bsdtar, which must all be installed (a missing tool fails the test).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace libcabinet_test {

struct CabFolderInfo {
    std::uint32_t dataOffset;
    std::uint16_t blocks;
    std::uint16_t type;
};

struct CabFileInfo {
    std::uint32_t size;
    std::uint32_t folderOffset;
    std::uint16_t folder;
    std::uint16_t date;
    std::uint16_t time;
    std::uint16_t attributes;
    std::string name;
};

struct CabInfo {
    std::uint32_t declaredSize = 0;
    std::uint16_t flags = 0;
    std::uint16_t setId = 0;
    std::uint16_t index = 0;
    std::vector<CabFolderInfo> folders;
    std::vector<CabFileInfo> files;
};

// Reads the header, folder and file records; fails the test on a malformed header.
CabInfo inspectCabinet(const std::filesystem::path& cabinet);

// Runs a shell command; returns its exit status and leaves its output in `output`.
int runCommand(const std::string& command, std::string& output);

// cabextract -t and 7zz t accept the cabinet.
void expectTestersAccept(const std::filesystem::path& cabinet);

// cabextract -d, 7zz x, gcab -x and bsdtar -x each extract exactly the expected files (stored name
// with
// "\" as "/" -> source file) with equal bytes.
void expectExtractsTo(const std::filesystem::path& cabinet,
                      const std::map<std::string, std::filesystem::path>& expected);

} // namespace libcabinet_test
