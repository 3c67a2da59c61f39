#include "platform/profile/PrivateProfile.h"

#include "platform/profile/AtomicFile.h"
#include "platform/profile/IniDocument.h"
#include "platform/profile/IntegerText.h"
#include "platform/profile/Utf8.h"
#include "platform/profile/Windows1250.h"

#include <algorithm>

namespace ostrivane::profile {

namespace {

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsValidSectionName(std::string_view name) {
    return !HasLineBreakOrNul(name) && name.find(']') == std::string_view::npos;
}

bool IsValidKeyName(std::string_view key) {
    return !key.empty() && !HasLineBreakOrNul(key) && key.find('=') == std::string_view::npos &&
           key.front() != '[' && key.front() != ';';
}

// The text to stand after "=" so that the value reads back exactly. Blanks around a value and
// one pair of enclosing quotes are dropped when a value is read, so a value that begins or ends
// with a blank, or is itself enclosed in matching quotes, is written inside double quotes. Both
// this reader and Windows' then return it unchanged; any other value is written as it is.
std::string StoredValue(std::string_view value) {
    const bool needsQuotes =
        TrimBlanks(value).size() != value.size() ||
        (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
         value.back() == value.front());
    if (!needsQuotes)
        return std::string(value);
    return "\"" + std::string(value) + "\"";
}

std::string_view WithoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The text of the file's bytes. The file is Windows-1250; one that an editor saved as UTF-8 is
// read as UTF-8 (and written back in Windows-1250): strictly valid UTF-8 that holds a byte above
// 0x7F, its byte-order mark dropped. Czech Windows-1250 text is as good as never valid UTF-8 (a
// letter's byte stands alone between ASCII bytes, where UTF-8 wants continuation bytes), and
// plain ASCII reads the same either way.
std::string DecodeFile(std::string_view bytes) {
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    const bool marked = bytes.starts_with(kUtf8Mark);
    const std::string_view text = marked ? bytes.substr(kUtf8Mark.size()) : bytes;
    const bool beyondAscii = marked || std::any_of(text.begin(), text.end(), [](char c) {
                                 return static_cast<unsigned char>(c) >= 0x80;
                             });
    if (beyondAscii && IsValidUtf8(text))
        return std::string(text);
    return DecodeWindows1250(bytes);
}

} // namespace

struct PrivateProfile::Document {
    IniDocument ini;
    bool changed = false;
    // A file that exists but could not be read is never replaced: its contents would be lost.
    bool unreadable = false;
};

PrivateProfile::PrivateProfile(std::string path)
    : path_(std::move(path)), doc_(std::make_unique<Document>()) {
    std::string bytes;
    const ReadResult result = ReadWholeFile(path_, bytes);
    if (result == ReadResult::Read)
        doc_->ini = IniDocument(DecodeFile(bytes));
    doc_->unreadable = result == ReadResult::Unreadable;
}

PrivateProfile::~PrivateProfile() = default;

const std::string& PrivateProfile::Path() const {
    return path_;
}

std::string PrivateProfile::GetString(std::string_view section, std::string_view key,
                                      std::string_view def) const {
    // Windows removes trailing blanks of the default, and cuts every text to the buffer.
    const std::string_view text = doc_->ini.Find(section, key).value_or(WithoutTrailingBlanks(def));
    return std::string(FirstCodePoints(text, kMaxValueChars));
}

std::int32_t PrivateProfile::GetInt(std::string_view section, std::string_view key,
                                    std::int32_t def) const {
    const auto text = doc_->ini.Find(section, key);
    if (!text)
        return def;
    return ParseProfileInt(*text).value_or(def);
}

bool PrivateProfile::WriteString(std::string_view section, std::string_view key,
                                 std::string_view value) {
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    if (!IsValidSectionName(section) || !IsValidKeyName(key) || HasLineBreakOrNul(value))
        return false;
    if (!IsRepresentable(section) || !IsRepresentable(key) || !IsRepresentable(value))
        return false;
    doc_->ini.Set(section, key, StoredValue(value));
    doc_->changed = true;
    return true;
}

void PrivateProfile::EraseSection(std::string_view section) {
    if (doc_->ini.EraseSection(section))
        doc_->changed = true;
}

bool PrivateProfile::Unreadable() const {
    return doc_->unreadable;
}

std::optional<std::string> PrivateProfile::UnstorableLine() const {
    const std::string text = doc_->ini.Text();
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        if (!IsWindows1250Representable(line))
            return std::string(line);
        rest.remove_prefix(end + 2);
    }
    return std::nullopt;
}

bool PrivateProfile::Flush() {
    if (!doc_->changed)
        return true;
    if (doc_->unreadable)
        return false;
    // Fails only for a line of a file read as UTF-8 that the code page cannot hold.
    const auto bytes = EncodeWindows1250(doc_->ini.Text());
    if (!bytes || !ReplaceFileAtomically(path_, *bytes))
        return false;
    doc_->changed = false;
    return true;
}

// A line break or NUL is in the code page, but no value of a line-based file can hold it.
bool PrivateProfile::IsRepresentable(std::string_view text) {
    return !HasLineBreakOrNul(text) && IsWindows1250Representable(text);
}

} // namespace ostrivane::profile
