// The fields of a record of texts each ended by a NUL, as the records this program keeps in a
// cabinet's header reserve and in a destination folder are laid out, read one after another.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace ostrivane::cabformat {

class NulFields {
public:
    explicit NulFields(std::string_view text) : text_(text) {}
    // The next field; nothing when no NUL ends one.
    std::optional<std::string_view> Next() {
        const auto end = text_.find('\0', at_);
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view field = text_.substr(at_, end - at_);
        at_ = end + 1;
        return field;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace ostrivane::cabformat
