#include "StoredCabinet.h"

#include <algorithm>
#include <cstdint>

namespace testsupport {

namespace {

void PutU16(std::string& b, std::uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
}

void PutU32(std::string& b, std::uint32_t v) {
    PutU16(b, static_cast<std::uint16_t>(v & 0xFFFF));
    PutU16(b, static_cast<std::uint16_t>(v >> 16));
}

// The data block checksum of the MS-CAB layout: the little-endian 32-bit words XOR-ed into
// `seed`, the 1 to 3 bytes left over taken as one word with the first of them highest.
std::uint32_t Checksum(const std::string& bytes, std::uint32_t seed) {
    std::uint32_t sum = seed;
    const std::size_t whole = bytes.size() / 4 * 4;
    for (std::size_t at = 0; at < whole; at += 4) {
        std::uint32_t word = 0;
        for (int i = 3; i >= 0; --i)
            word = word << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        sum ^= word;
    }
    std::uint32_t rest = 0;
    for (std::size_t at = whole; at < bytes.size(); ++at)
        rest = rest << 8 | static_cast<unsigned char>(bytes[at]);
    return sum ^ rest;
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
        std::string sizes;
        PutU16(sizes, static_cast<std::uint16_t>(payload.size()));
        PutU16(sizes, static_cast<std::uint16_t>(payload.size()));
        PutU32(blocks, Checksum(sizes, Checksum(payload, 0)));
        blocks += sizes + payload;
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

} // namespace testsupport
