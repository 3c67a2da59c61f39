#include "archive/naming/ArchiveNames.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <random>

namespace ostrivane::names {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A number written without leading zeros at the front of `text`, at least `least`, taken off it.
std::optional<std::int64_t> TakeNumber(std::string_view& text, std::int64_t least) {
    std::size_t n = 0;
    while (n < text.size() && IsDigit(text[n]))
        ++n;
    if (n == 0 || n > 18 || text.front() == '0')
        return std::nullopt;
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + n, value);
    if (value < least)
        return std::nullopt;
    text.remove_prefix(n);
    return value;
}

// What follows a name's base in a part: "-" k ".cab" with k >= 2, or ".cab" alone for the first.
bool IsCabinetTail(std::string_view rest) {
    if (!rest.empty() && rest.front() == '-') {
        rest.remove_prefix(1);
        if (!TakeNumber(rest, 2))
            return false;
    }
    return rest == kCabinetExtension;
}

// The file name without its last extension (a leading "." does not start one).
std::string_view WithoutExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string TwoDigits(int value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

} // namespace

std::string SeriesStem(const std::string& archive) {
    const std::string folder = fs::FolderPartOf(archive);
    const std::string name = fs::NameOf(archive);
    return folder + name.substr(0, name.find('.'));
}

std::string SeriesCopy(const std::string& archive, std::int64_t n) {
    return SeriesStem(archive) + "_" + std::to_string(n) + std::string(kCabinetExtension);
}

std::optional<std::int64_t> CopyNumber(std::string_view fileName, std::string_view stemName) {
    if (!fileName.starts_with(stemName))
        return std::nullopt;
    std::string_view rest = fileName.substr(stemName.size());
    if (rest.empty() || rest.front() != '_')
        return std::nullopt;
    rest.remove_prefix(1);
    const auto n = TakeNumber(rest, 1);
    return n && rest == kCabinetExtension ? n : std::nullopt;
}

std::string PartName(const std::string& cabinet, int part) {
    return fs::FolderPartOf(cabinet) + std::string(WithoutExtension(NameOf(cabinet))) + "-" +
           std::to_string(part) + std::string(kCabinetExtension);
}

std::string DateTimeName(int year, int month, int day, int hour, int minute) {
    return std::to_string(year) + TwoDigits(month) + TwoDigits(day) + TwoDigits(hour) +
           TwoDigits(minute);
}

bool IsDateTimeArchive(std::string_view fileName) {
    return fileName.size() == kDateTimeDigits + kCabinetExtension.size() &&
           std::all_of(fileName.begin(), fileName.begin() + kDateTimeDigits, IsDigit) &&
           fileName.ends_with(kCabinetExtension);
}

std::string RunTemporaryName(const std::string& folder, std::string_view token, int part) {
    return folder + (folder.empty() || folder.back() == '/' ? "" : "/") +
           RunTemporaryPrefix(token) + std::to_string(part) + std::string(kTempExtension);
}

std::string NewNameToken() {
    std::random_device entropy;
    const unsigned long long value = (static_cast<unsigned long long>(entropy()) << 32) ^ entropy();
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", value);
    return text;
}

std::string RunTemporaryPrefix(std::string_view token) {
    return ".ostrivane-" + std::string(token) + "-";
}

std::string GoingName(std::string_view token, int k) {
    return ".ostrivane-old-" + std::string(token) + "-" + std::to_string(k) +
           std::string(kTempExtension);
}

bool IsRunTemporary(std::string_view fileName) {
    constexpr std::string_view prefix = ".ostrivane-";
    return fileName.size() > prefix.size() + kTempExtension.size() &&
           fileName.starts_with(prefix) && fileName.ends_with(kTempExtension);
}

bool IsEngineTemporary(std::string_view fileName) {
    if (!fileName.starts_with(kEngineTempPrefix) || !fileName.ends_with(kTempExtension))
        return false;
    const std::string_view digits =
        fileName.substr(kEngineTempPrefix.size(),
                        fileName.size() - kEngineTempPrefix.size() - kTempExtension.size());
    return !digits.empty() && std::all_of(digits.begin(), digits.end(), IsHexDigit);
}

bool IsBackupFile(std::string_view fileName, const std::string& archive) {
    const std::string name = NameOf(archive);
    if (fileName == name || IsRunTemporary(fileName) || IsEngineTemporary(fileName) ||
        fileName == kPlacementRecordName || fileName == kLockFileName)
        return true;
    // The archive's own parts.
    const std::string_view base = WithoutExtension(name);
    if (fileName.starts_with(base) && fileName.size() > base.size() &&
        fileName[base.size()] == '-' && IsCabinetTail(fileName.substr(base.size())))
        return true;
    // The copies of its series and their parts.
    const std::string stemName = NameOf(SeriesStem(archive));
    if (!stemName.empty() && fileName.starts_with(stemName)) {
        std::string_view rest = fileName.substr(stemName.size());
        if (!rest.empty() && rest.front() == '_') {
            rest.remove_prefix(1);
            if (TakeNumber(rest, 1) && IsCabinetTail(rest))
                return true;
        }
    }
    // Archives named after the date and time, and their parts.
    return fileName.size() > kDateTimeDigits &&
           std::all_of(fileName.begin(), fileName.begin() + kDateTimeDigits, IsDigit) &&
           IsCabinetTail(fileName.substr(kDateTimeDigits));
}

} // namespace ostrivane::names
