#include "CabTestSupport.h"

#include "TestFolder.h"
#include "archive/model/ErrorCodes.h"
#include "cabinet/format/CabChecksum.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sys/wait.h>

ErrorRecorder::ErrorRecorder(TMakeCab& cab) {
    cab.OnError = [this](TComponent*, const std::string& fileName, const std::string& extended,
                         const std::string&, int code) {
        errors_.push_back({code, fileName, extended});
    };
}

int ErrorRecorder::Count(int code) const {
    return static_cast<int>(std::count_if(
        errors_.begin(), errors_.end(), [code](const ReportedError& e) { return e.Code == code; }));
}

std::string ErrorRecorder::Describe() const {
    std::string text;
    for (const ReportedError& e : errors_) {
        text += std::to_string(e.Code) + " " + ErrorText(e.Code) + ": " + e.FileName + " (" +
                e.ExtendedMsg + ")\n";
    }
    return text;
}

namespace {

std::uint32_t U32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint16_t U16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

} // namespace

CabDirectory ReadCabDirectory(const std::string& path) {
    CabDirectory dir;
    const std::string b = ReadFile(path);
    if (b.size() < 36 || b.compare(0, 4, "MSCF") != 0) {
        return dir;
    }
    dir.CabinetSize = U32(b, 8);
    const std::uint32_t filesAt = U32(b, 16);
    const std::uint16_t folders = U16(b, 26);
    const std::uint16_t files = U16(b, 28);
    const std::uint16_t flags = U16(b, 30);
    std::size_t at = 36;
    std::size_t folderReserve = 0;
    std::size_t dataReserve = 0;
    if (flags & 0x0004) {
        const std::uint16_t headerReserve = U16(b, 36);
        folderReserve = static_cast<unsigned char>(b[38]);
        dataReserve = static_cast<unsigned char>(b[39]);
        at = 40 + headerReserve;
    }
    for (int skip = (flags & 1 ? 2 : 0) + (flags & 2 ? 2 : 0); skip > 0; --skip) {
        at = b.find('\0', at) + 1;
    }
    for (int i = 0; i < folders; ++i) {
        if (at + 8 > b.size()) {
            return dir;
        }
        dir.FolderCompression.push_back(U16(b, at + 6));
        std::size_t record = U32(b, at);
        for (int block = U16(b, at + 4); block > 0; --block) {
            if (record + 8 + dataReserve > b.size()) {
                return dir;
            }
            dir.DataRecords.push_back({U16(b, record + 4), U16(b, record + 6)});
            record += 8 + dataReserve + U16(b, record + 4);
        }
        at += 8 + folderReserve;
    }
    at = filesAt;
    for (int i = 0; i < files; ++i) {
        if (at + 16 > b.size()) {
            return dir;
        }
        CabFileRecord r{U32(b, at),      U16(b, at + 8),  U16(b, at + 10),
                        U16(b, at + 12), U16(b, at + 14), {}};
        const std::size_t end = b.find('\0', at + 16);
        if (end == std::string::npos) {
            return dir;
        }
        r.Name = b.substr(at + 16, end - at - 16);
        dir.Files.push_back(r);
        at = end + 1;
    }
    dir.Valid = true;
    return dir;
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::string text;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        text.append(buffer.data(), n);
    }
    const int status = ::pclose(pipe);
    if (output != nullptr) {
        *output = text;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 engine(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(engine() & 0xFF);
    }
    return bytes;
}

std::string CompressibleText(std::size_t size) {
    static const std::string words[] = {"záloha ", "archiv ", "soubor ", "složka ", "den\n"};
    std::string text;
    std::mt19937 engine(7);
    while (text.size() < size) {
        text += words[engine() % 5];
    }
    text.resize(size);
    return text;
}

std::vector<std::pair<std::string, std::string>> TreeContents(const std::string& root) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files.emplace_back(std::filesystem::relative(entry.path(), root).string(),
                               ReadFile(entry.path().string()));
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

void PutU16(std::string& b, std::uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
}

void PutU32(std::string& b, std::uint32_t v) {
    PutU16(b, static_cast<std::uint16_t>(v & 0xFFFF));
    PutU16(b, static_cast<std::uint16_t>(v >> 16));
}

} // namespace

std::string StoredCabinet(const std::vector<std::pair<std::string, std::string>>& files) {
    std::string records;
    std::string data;
    for (const auto& [name, bytes] : files) {
        PutU32(records, static_cast<std::uint32_t>(bytes.size()));
        PutU32(records, static_cast<std::uint32_t>(data.size()));
        PutU16(records, 0);      // folder
        PutU16(records, 0x5A84); // 2025-04-04
        PutU16(records, 0x6000); // 12:00:00
        PutU16(records, 0x20);   // archive
        records += name + '\0';
        data += bytes;
    }
    std::string blocks;
    std::uint16_t blockCount = 0;
    for (std::size_t at = 0; at < data.size() || blockCount == 0; at += 32768, ++blockCount) {
        const std::string payload = data.substr(std::min(at, data.size()), 32768);
        std::string head;
        PutU16(head, static_cast<std::uint16_t>(payload.size()));
        PutU16(head, static_cast<std::uint16_t>(payload.size()));
        using ostrivane::cabformat::Checksum;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(payload.data());
        const std::uint32_t sum = Checksum(reinterpret_cast<const std::uint8_t*>(head.data()), 4,
                                           Checksum(bytes, payload.size(), 0));
        PutU32(blocks, sum);
        blocks += head + payload;
    }
    const std::uint32_t filesAt = 36 + 8;
    const std::uint32_t dataAt = filesAt + static_cast<std::uint32_t>(records.size());
    std::string cab = "MSCF";
    PutU32(cab, 0);
    PutU32(cab, dataAt + static_cast<std::uint32_t>(blocks.size()));
    PutU32(cab, 0);
    PutU32(cab, filesAt);
    PutU32(cab, 0);
    cab += '\x03';
    cab += '\x01';
    PutU16(cab, 1); // folders
    PutU16(cab, static_cast<std::uint16_t>(files.size()));
    PutU16(cab, 0); // flags
    PutU16(cab, 0); // set
    PutU16(cab, 0); // index
    PutU32(cab, dataAt);
    PutU16(cab, blockCount);
    PutU16(cab, 0); // stored
    return cab + records + blocks;
}
