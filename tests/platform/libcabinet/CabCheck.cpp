#include "CabCheck.h"

#include "FciHarness.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>

namespace libcabinet_test {
namespace {

std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return u16(b, at) | static_cast<std::uint32_t>(u16(b, at + 2)) << 16;
}

std::string quoted(const std::filesystem::path& path) {
    std::string text(1, '\'');
    text += path.string();
    text += '\'';
    return text;
}

void requireTool(const std::string& tool) {
    std::string output;
    ASSERT_EQ(runCommand("command -v " + tool, output), 0) << "checker tool missing: " << tool;
}

std::map<std::string, std::filesystem::path> filesUnder(const std::filesystem::path& root) {
    std::map<std::string, std::filesystem::path> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            found[std::filesystem::relative(entry.path(), root).string()] = entry.path();
        }
    }
    return found;
}

} // namespace

CabInfo inspectCabinet(const std::filesystem::path& cabinet) {
    CabInfo info;
    std::ifstream in(cabinet, std::ios::binary);
    std::vector<std::uint8_t> head(65536 * 4);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    EXPECT_GE(head.size(), 36u);
    if (head.size() < 36) {
        return info;
    }
    EXPECT_EQ(std::string(head.begin(), head.begin() + 4), "MSCF");
    EXPECT_EQ(head[24], 3); // minor version
    EXPECT_EQ(head[25], 1); // major version
    info.declaredSize = u32(head, 8);
    const std::uint32_t filesAt = u32(head, 16);
    const std::uint16_t folderCount = u16(head, 26);
    const std::uint16_t fileCount = u16(head, 28);
    info.flags = u16(head, 30);
    info.setId = u16(head, 32);
    info.index = u16(head, 34);
    std::size_t at = 36;
    unsigned folderReserve = 0;
    if (info.flags & 0x0004) {
        folderReserve = head.at(at + 2);
        at += 4 + u16(head, at);
    }
    for (unsigned i = 0; i < folderCount; ++i, at += 8 + folderReserve) {
        info.folders.push_back({u32(head, at), u16(head, at + 4), u16(head, at + 6)});
    }
    EXPECT_EQ(at, filesAt);
    at = filesAt;
    for (unsigned i = 0; i < fileCount; ++i) {
        CabFileInfo file{u32(head, at),
                         u32(head, at + 4),
                         u16(head, at + 8),
                         u16(head, at + 10),
                         u16(head, at + 12),
                         u16(head, at + 14),
                         ""};
        at += 16;
        while (head.at(at) != 0) {
            file.name += static_cast<char>(head.at(at++));
        }
        ++at;
        info.files.push_back(file);
    }
    EXPECT_EQ(info.declaredSize, std::filesystem::file_size(cabinet));
    return info;
}

int runCommand(const std::string& command, std::string& output) {
    output.clear();
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1").c_str(), "r"), ::pclose);
    if (!pipe) {
        return -1;
    }
    std::array<char, 4096> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe.get())) > 0) {
        output.append(chunk.data(), got);
    }
    const int status = ::pclose(pipe.release());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void expectTestersAccept(const std::filesystem::path& cabinet) {
    requireTool("cabextract");
    requireTool("7zz");
    std::string output;
    EXPECT_EQ(runCommand("cabextract -t " + quoted(cabinet), output), 0) << output;
    EXPECT_EQ(output.find("failed"), std::string::npos) << output;
    EXPECT_EQ(runCommand("7zz t " + quoted(cabinet), output), 0) << output;
    EXPECT_NE(output.find("Everything is Ok"), std::string::npos) << output;
}

void expectExtractsTo(const std::filesystem::path& cabinet,
                      const std::map<std::string, std::filesystem::path>& expected) {
    requireTool("cabextract");
    requireTool("7zz");
    requireTool("gcab");
    requireTool("bsdtar");
    const std::map<std::string, std::string> commands = {
        {"cabextract", "cabextract -q -d {out} {cab}"},
        {"7zz", "7zz x -y -o{out} {cab}"},
        {"gcab", "gcab -x -C {out} {cab}"},
        {"bsdtar", "bsdtar -xf {cab} -C {out}"},
    };
    for (const auto& [tool, pattern] : commands) {
        SCOPED_TRACE(tool);
        const std::filesystem::path out = cabinet.parent_path() / ("extract-" + tool);
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(out);
        std::string command = pattern;
        command.replace(command.find("{out}"), 5, quoted(out));
        command.replace(command.find("{cab}"), 5, quoted(cabinet));
        std::string output;
        ASSERT_EQ(runCommand(command, output), 0) << output;
        const auto extracted = filesUnder(out);
        ASSERT_EQ(extracted.size(), expected.size()) << output;
        for (const auto& [name, source] : expected) {
            const auto found = extracted.find(name);
            ASSERT_NE(found, extracted.end()) << "missing " << name << "\n" << output;
            EXPECT_TRUE(readAll(found->second) == readAll(source)) << "bytes differ: " << name;
        }
        std::filesystem::remove_all(out);
    }
}

} // namespace libcabinet_test
