#include "CabCheck.h"

#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

namespace libcabinet_test {

CabDirectory inspectCabinet(const std::filesystem::path& cabinet) {
    const CabDirectory info = testsupport::ReadCabDirectory(cabinet);
    EXPECT_TRUE(info.Valid) << cabinet;
    EXPECT_EQ(info.MinorVersion, 3);
    EXPECT_EQ(info.MajorVersion, 1);
    EXPECT_EQ(info.FoldersEnd, info.FilesOffset);
    EXPECT_EQ(info.CabinetSize, info.FileSize);
    return info;
}

void expectExtractsTo(const std::filesystem::path& cabinet,
                      const std::map<std::string, std::filesystem::path>& expected) {
    std::map<std::string, std::string> contents;
    for (const auto& [name, source] : expected)
        contents[name] = testsupport::ReadFile(source);
    testsupport::ExpectExtractsTo(cabinet, contents);
}

void expectReadersAccept(const std::filesystem::path& cabinet,
                         const std::map<std::string, std::filesystem::path>& expected) {
    ExpectTestersAccept(cabinet);
    expectExtractsTo(cabinet, expected);
}

} // namespace libcabinet_test
