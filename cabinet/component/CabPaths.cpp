#include "cabinet/component/CabPaths.h"

#include <algorithm>
#include <cstring>

bool CopyToCabField(char* field, std::size_t size, const std::string& text) {
    std::memset(field, 0, size);
    if (text.size() >= size || text.find('\0') != std::string::npos) {
        return false;
    }
    std::memcpy(field, text.data(), text.size());
    return true;
}

std::string CabStoredName(const std::string& storedName) {
    std::string name = storedName;
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

bool IsPlainAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
