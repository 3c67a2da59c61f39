#include "TestData.h"

#include <iterator>
#include <random>

namespace testsupport {

std::string RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 engine(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(engine() & 0xFF);
    return bytes;
}

std::string CompressibleText(std::size_t size, std::uint32_t seed) {
    static const std::string words[] = {"záloha ", "archiv ", "soubor ", "složka ", "den\n"};
    std::mt19937 engine(seed);
    std::string text;
    while (text.size() < size)
        text += words[engine() % std::size(words)];
    text.resize(size);
    return text;
}

} // namespace testsupport
