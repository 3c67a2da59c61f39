#include "Readers.h"
#include "CabinetDirectory.h"

#include "Scratch.h"
#include "Shell.h"

#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

#include <sstream>
#include <utility>

namespace testsupport {

namespace {

void ExpectInstalled(const std::string& tool) {
    EXPECT_EQ(Shell("command -v " + tool), 0) << "checker tool missing: " << tool;
}

} // namespace

std::optional<std::map<std::string, std::string>> LibarchiveFiles(const std::string& cabinet) {
    const std::unique_ptr<archive, int (*)(archive*)> reader(archive_read_new(), archive_read_free);
    if (!reader || archive_read_support_format_cab(reader.get()) != ARCHIVE_OK ||
        archive_read_open_filename(reader.get(), cabinet.c_str(), 1 << 16) != ARCHIVE_OK)
        return std::nullopt;
    std::map<std::string, std::string> files;
    archive_entry* entry = nullptr;
    int result = ARCHIVE_OK;
    while ((result = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        std::string bytes;
        char block[1 << 16];
        la_ssize_t n = 0;
        while ((n = archive_read_data(reader.get(), block, sizeof block)) > 0)
            bytes.append(block, static_cast<std::size_t>(n));
        if (n < 0)
            return std::nullopt;
        if (archive_entry_pathname(entry) != std::string(kCatalogMemberName))
            files[archive_entry_pathname(entry)] = std::move(bytes);
    }
    if (result != ARCHIVE_EOF)
        return std::nullopt;
    return files;
}

bool CabextractAccepts(const std::string& cabinet) {
    return Shell("cabextract -q -t " + Quote(cabinet)) == 0;
}

std::string ReadersAccept(const std::string& cabinet) {
    const std::string c = Quote(cabinet);
    const std::pair<const char*, std::string> readers[] = {
        {"cabextract", "cabextract -q -t " + c},
        {"7zz", "7zz t " + c},
        {"bsdtar", "bsdtar -tf " + c + " >/dev/null"},
        {"gcab",
         "d=$(mktemp -d) && (cd \"$d\" && gcab -x " + c + "); s=$?; rm -rf \"$d\"; exit $s"},
    };
    std::string refused;
    for (const auto& [name, command] : readers) {
        std::string output;
        if (Shell(command, &output) != 0)
            refused += std::string(name) + ": " + output.substr(0, 500) + "\n";
    }
    return refused;
}

std::set<std::string> CabextractNames(const std::string& cabinet) {
    std::string output;
    Shell("cabextract -l " + Quote(cabinet), &output);
    std::set<std::string> names;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        // "      size | dd.mm.yyyy hh:mm:ss | name"
        const std::size_t first = line.find(" | ");
        const std::size_t second = line.find(" | ", first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string name = line.substr(second + 3);
        if (name == kCatalogMemberName)
            continue;
        if (name != "Name")
            names.insert(name);
    }
    return names;
}

std::string CabextractFile(const std::string& cabinet, const std::string& file) {
    std::string content;
    if (Shell("cabextract -q -p -F " + Quote(file) + " " + Quote(cabinet), &content) != 0)
        return "<unreadable " + cabinet + ">";
    return content;
}

void ExpectTestersAccept(const std::string& cabinet) {
    ExpectInstalled("cabextract");
    ExpectInstalled("7zz");
    std::string output;
    EXPECT_EQ(Shell("cabextract -t " + Quote(cabinet), &output), 0) << output;
    EXPECT_EQ(output.find("failed"), std::string::npos) << output;
    EXPECT_EQ(Shell("7zz t " + Quote(cabinet), &output), 0) << output;
    EXPECT_NE(output.find("Everything is Ok"), std::string::npos) << output;
}

void ExpectExtractsTo(const std::string& cabinet,
                      const std::map<std::string, std::string>& expected) {
    const std::pair<const char*, const char*> commands[] = {
        {"cabextract", "cabextract -q -d {out} {cab}"},
        {"7zz", "7zz x -y -o{out} {cab}"},
        {"gcab", "gcab -x -C {out} {cab}"},
        {"bsdtar", "bsdtar -xf {cab} -C {out}"},
    };
    for (const auto& [tool, pattern] : commands) {
        SCOPED_TRACE(tool);
        ExpectInstalled(tool);
        const Scratch out;
        std::string command = pattern;
        command.replace(command.find("{out}"), 5, Quote(out.Path()));
        command.replace(command.find("{cab}"), 5, Quote(cabinet));
        std::string output;
        ASSERT_EQ(Shell(command, &output), 0) << output;
        std::map<std::string, std::string> extracted = TreeContents(out.Path());
        // Every tool extracts the backup's catalog as a small file beside the user's files.
        extracted.erase(kCatalogMemberName);
        for (const auto& [name, bytes] : expected) {
            const auto found = extracted.find(name);
            ASSERT_NE(found, extracted.end()) << "missing " << name << "\n" << output;
            EXPECT_TRUE(found->second == bytes) << "contents differ: " << name;
        }
        EXPECT_EQ(extracted.size(), expected.size()) << output;
    }
}

} // namespace testsupport
