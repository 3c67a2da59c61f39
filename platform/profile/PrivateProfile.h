// An INI settings file handled the way Windows' private-profile routines handle it: sections and
// keys found without regard to case, the first occurrence winning, blanks around keys and values
// ignored, 8-bit Windows-1250 text on disk (UTF-8 in memory), CRLF line ends written and LF
// accepted. Writes keep unknown keys and the order of the file. A file that an editor saved as
// UTF-8 is read as such and written back in Windows-1250.
//
// The file is read once when the object is made; writes change the in-memory copy and Flush
// replaces the file atomically (a temporary file in the same folder, then a rename), so a crash
// or a full disk never leaves it half written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ostrivane::profile {

// Texts longer than this many characters are cut when read (the read buffer holds 2048).
inline constexpr std::size_t kMaxValueChars = 2047;

class PrivateProfile {
public:
    // Loads `path` if it exists; a missing or unreadable file reads as empty.
    explicit PrivateProfile(std::string path);
    ~PrivateProfile();
    PrivateProfile(const PrivateProfile&) = delete;
    PrivateProfile& operator=(const PrivateProfile&) = delete;

    const std::string& Path() const;

    // The value of `key` in `section`, or `def` when either is missing (UTF-8 in and out).
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view def) const;
    // The value read as a 32-bit integer: decimal with an optional sign, "0x"/"0X" + hex digits
    // (texts of more than two characters), or "$" + hex digits; `def` when missing or no integer.
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t def) const;

    // Sets `key` in `section`, creating either at the end when missing. Returns false, changing
    // nothing, when a text cannot be represented in Windows-1250.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Removes the whole section with all its keys.
    void EraseSection(std::string_view section);

    // True when the file exists but could not be read; it is then never replaced, since its
    // contents would be lost (Flush fails).
    bool Unreadable() const;

    // The first line that Windows-1250 cannot hold, as it stands in the file (only a file read
    // as UTF-8 can have one, in a line that no write replaced); nothing when the whole file can
    // be stored. Flush fails while there is one.
    std::optional<std::string> UnstorableLine() const;

    // Writes the file when anything changed. False when the file or its folder cannot be
    // written (a read-only existing file counts as not writable), when the file could not be
    // read, or when a line cannot be stored; the file on disk is then the one from before.
    bool Flush();

    // True when `text` (UTF-8) can be stored in Windows-1250 without loss.
    static bool IsRepresentable(std::string_view text);

private:
    struct Document;
    std::string path_;
    std::unique_ptr<Document> doc_;
};

} // namespace ostrivane::profile
