#include "platform/fs/Paths.h"

#include "platform/text/TextParts.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

namespace ostrivane::fs {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string FolderPartOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> NamesOf(const std::string& path) {
    const std::vector<std::string_view> names = text::NonEmptyParts(path, '/');
    return {names.begin(), names.end()};
}

std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return ".";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string PlainFolder(const std::string& folder) {
    const std::string path =
        !folder.empty() && folder[0] == '/' ? folder : CurrentFolder() + "/" + folder;
    std::vector<std::string> parts;
    for (const std::string& part : NamesOf(path)) {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (part != ".") {
            parts.push_back(part);
        }
    }
    std::string plain = "/";
    for (const std::string& part : parts)
        plain += part + "/";
    return plain;
}

} // namespace ostrivane::fs
