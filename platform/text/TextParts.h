// A text cut at a separator, as paths are cut into names and files into lines.
#pragma once

#include <string_view>
#include <vector>

namespace ostrivane::text {

// The parts of `text` between the separators, empty parts left out ("/a//b/" -> {"a", "b"}).
inline std::vector<std::string_view> NonEmptyParts(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(separator), text.size());
        if (end > 0)
            parts.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return parts;
}

} // namespace ostrivane::text
