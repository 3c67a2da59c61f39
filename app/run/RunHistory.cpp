#include "app/run/RunHistory.h"

#include "platform/fs/Paths.h"
#include "platform/fs/UniqueFd.h"
#include "platform/profile/AtomicFile.h"
#include "platform/profile/Utf8.h"
#include "platform/text/TextParts.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrivane::run {

namespace {

using Clock = std::chrono::system_clock;

// At most this much of the end of the file is ever read: the cost of a run's append stays
// bounded whatever the file grew to by other hands.
constexpr std::size_t kReadLimit = 16u << 20;
constexpr unsigned kFileMode = 0600;

// ---- Times: local time with its offset, "2026-12-08T18:00:03+01:00" ----

std::string IsoLocalTime(Clock::time_point time) {
    const std::time_t seconds = Clock::to_time_t(std::chrono::floor<std::chrono::seconds>(time));
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr)
        return {};
    // Offsets stay within a day; the bound also tells the compiler so.
    const int offset = static_cast<int>(local.tm_gmtoff / 60 % (24 * 60));
    const int offsetMinutes = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', offsetMinutes / 60,
                  offsetMinutes % 60);
    return text;
}

// The number written in `digits` decimal digits at `text[pos]`.
std::optional<int> Digits(std::string_view text, std::size_t pos, std::size_t digits) {
    int value = 0;
    if (pos + digits > text.size())
        return std::nullopt;
    for (std::size_t i = pos; i < pos + digits; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "YYYY-MM-DDTHH:MM:SS" followed by "Z" or "+HH:MM" / "-HH:MM".
std::optional<Clock::time_point> ParseIsoTime(std::string_view text) {
    if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const auto year = Digits(text, 0, 4);
    const auto month = Digits(text, 5, 2);
    const auto day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2);
    const auto minute = Digits(text, 14, 2);
    const auto second = Digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || *hour > 23 || *minute > 59 ||
        *second > 60)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{*year},
                                           std::chrono::month{static_cast<unsigned>(*month)},
                                           std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok())
        return std::nullopt;
    long offsetMinutes = 0;
    const std::string_view zone = text.substr(19);
    if (zone != "Z") {
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':')
            return std::nullopt;
        const auto offsetHours = Digits(zone, 1, 2);
        const auto offsetRest = Digits(zone, 4, 2);
        if (!offsetHours || !offsetRest || *offsetRest > 59)
            return std::nullopt;
        offsetMinutes = (*offsetHours * 60L + *offsetRest) * (zone[0] == '-' ? -1 : 1);
    }
    const auto local = std::chrono::sys_days(date) + std::chrono::hours(*hour) +
                       std::chrono::minutes(*minute) + std::chrono::seconds(*second);
    return Clock::time_point(local - std::chrono::minutes(offsetMinutes));
}

// ---- Names of origins and results ----

constexpr std::pair<RunOrigin, std::string_view> kOrigins[] = {{RunOrigin::Manual, "manual"},
                                                               {RunOrigin::Scheduled, "scheduled"},
                                                               {RunOrigin::Missed, "missed"},
                                                               {RunOrigin::Command, "command"}};
constexpr std::pair<RunResult, std::string_view> kResults[] = {
    {RunResult::Ok, "ok"}, {RunResult::Failed, "failed"}, {RunResult::Cancelled, "cancelled"}};

template <class Enum, std::size_t N>
std::string_view NameOf(const std::pair<Enum, std::string_view> (&names)[N], Enum value) {
    for (const auto& [known, name] : names) {
        if (known == value)
            return name;
    }
    return {};
}

template <class Enum, std::size_t N>
std::optional<Enum> ValueOf(const std::pair<Enum, std::string_view> (&names)[N],
                            std::string_view name) {
    for (const auto& [value, known] : names) {
        if (known == name)
            return value;
    }
    return std::nullopt;
}

// ---- JSON of one flat object ----

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t pos = 0; pos < text.size();) {
        const auto c = static_cast<unsigned char>(text[pos]);
        if (c >= 0x80) {
            const std::size_t start = pos;
            if (profile::NextCodePoint(text, pos)) {
                out.append(text.substr(start, pos - start));
            } else {
                out += "\\ufffd";
                ++pos;
            }
            continue;
        }
        ++pos;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

// A value of the object: a text, or a number, true, false or null kept as written.
struct JsonValue {
    bool isText = false;
    std::string text;
};

class JsonObjectReader {
public:
    explicit JsonObjectReader(std::string_view line) : text_(line) {}

    std::optional<std::map<std::string, JsonValue, std::less<>>> Read() {
        std::map<std::string, JsonValue, std::less<>> members;
        if (!Take('{'))
            return std::nullopt;
        if (!Take('}')) {
            do {
                std::string key;
                JsonValue value;
                if (!String(key) || !Take(':') || !Value(value))
                    return std::nullopt;
                members[std::move(key)] = std::move(value);
            } while (Take(','));
            if (!Take('}'))
                return std::nullopt;
        }
        SkipBlanks();
        if (pos_ != text_.size())
            return std::nullopt;
        return members;
    }

private:
    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\r' || text_[pos_] == '\n'))
            ++pos_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    std::optional<char32_t> Hex4() {
        if (pos_ + 4 > text_.size())
            return std::nullopt;
        std::uint32_t value = 0;
        const auto result =
            std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, value, 16);
        if (result.ptr != text_.data() + pos_ + 4)
            return std::nullopt;
        pos_ += 4;
        return static_cast<char32_t>(value);
    }
    // "\uXXXX", a surrogate pair taken together.
    bool Escaped(std::string& out) {
        auto cp = Hex4();
        if (!cp)
            return false;
        if (*cp >= 0xD800 && *cp <= 0xDBFF) {
            if (text_.substr(pos_, 2) != "\\u")
                return false;
            pos_ += 2;
            const auto low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF)
                return false;
            cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
        } else if (*cp >= 0xDC00 && *cp <= 0xDFFF) {
            return false;
        }
        profile::AppendUtf8(out, *cp);
        return true;
    }
    bool String(std::string& out) {
        if (!Take('"'))
            return false;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size())
                return false;
            switch (text_[pos_++]) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u':
                if (!Escaped(out))
                    return false;
                break;
            default:
                return false;
            }
        }
        return false;
    }
    bool Value(JsonValue& value) {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == '"') {
            value.isText = true;
            return String(value.text);
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '}' &&
               text_[pos_] != ' ' && text_[pos_] != '\t')
            ++pos_;
        value.text = std::string(text_.substr(start, pos_ - start));
        return !value.text.empty();
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

template <class Number> bool ReadNumber(const JsonValue& value, Number& number) {
    if (value.isText)
        return false;
    const char* end = value.text.data() + value.text.size();
    const auto result = std::from_chars(value.text.data(), end, number);
    return result.ec == std::errc() && result.ptr == end;
}

// ---- The file ----

// The last `limit` bytes (at most) of the open file of `size` bytes; nothing on a read error.
std::optional<std::string> ReadTail(int fd, off_t size, std::size_t limit) {
    const auto length =
        static_cast<std::size_t>(size) < limit ? static_cast<std::size_t>(size) : limit;
    std::string text(length, '\0');
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, text.data() + done, length - done,
                                    size - static_cast<off_t>(length - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt;
        done += static_cast<std::size_t>(got);
    }
    return text;
}

// The whole lines of `text`, empty ones left out; a text cut off at its front (`cut`) loses its
// first, partial line.
std::vector<std::string_view> Lines(std::string_view text, bool cut) {
    if (cut) {
        const std::size_t first = text.find('\n');
        text = first == std::string_view::npos ? std::string_view() : text.substr(first + 1);
    }
    return text::NonEmptyParts(text, '\n');
}

// Opens the history for appending and locks it against another running copy of the program. A
// copy that trimmed the file meanwhile put a new file in its place: the lock is then taken again
// on that one.
UniqueFd OpenLocked(const std::string& path) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, kFileMode));
        if (!fd.Valid())
            return fd;
        int locked = 0;
        do
            locked = ::flock(fd.Get(), LOCK_EX);
        while (locked != 0 && errno == EINTR);
        struct stat opened {};
        struct stat named {};
        if (locked != 0 || ::fstat(fd.Get(), &opened) != 0)
            return UniqueFd();
        if (::stat(path.c_str(), &named) == 0 && named.st_ino == opened.st_ino &&
            named.st_dev == opened.st_dev)
            return fd;
    }
    return UniqueFd();
}

} // namespace

std::string JobOfArchive(const std::string& archive) {
    return fs::PlainFolder(fs::FolderOf(archive)) + fs::NameOf(archive);
}

JobStanding StandingOfJob(const std::vector<RunRecord>& runs, const std::string& job) {
    JobStanding standing;
    for (const RunRecord& run : runs) {
        if (run.Job != job)
            continue;
        standing.Latest = run;
        if (run.Result == RunResult::Ok && run.Verified)
            standing.LastVerified = run;
    }
    return standing;
}

std::string HistoryLine(const RunRecord& record) {
    std::string line = "{\"start\":";
    AppendJsonString(line, IsoLocalTime(record.Start));
    line += ",\"end\":";
    AppendJsonString(line, IsoLocalTime(record.End));
    line += ",\"origin\":";
    AppendJsonString(line, NameOf(kOrigins, record.Origin));
    line += ",\"result\":";
    AppendJsonString(line, NameOf(kResults, record.Result));
    line += record.Verified ? ",\"verified\":true" : ",\"verified\":false";
    line += ",\"job\":";
    AppendJsonString(line, record.Job);
    line += ",\"archive\":";
    AppendJsonString(line, record.Archive);
    line += ",\"parts\":" + std::to_string(record.Parts);
    line += ",\"files\":" + std::to_string(record.Files);
    line += ",\"bytes\":" + std::to_string(record.Bytes);
    line += ",\"archive_bytes\":" + std::to_string(record.ArchiveBytes);
    line += ",\"message\":";
    AppendJsonString(line, record.Message);
    line += '}';
    return line;
}

std::optional<RunRecord> ParseHistoryLine(std::string_view line) {
    const auto members = JsonObjectReader(line).Read();
    if (!members)
        return std::nullopt;
    const auto text = [&](std::string_view key) -> const std::string* {
        const auto found = members->find(key);
        return found != members->end() && found->second.isText ? &found->second.text : nullptr;
    };
    const std::string* start = text("start");
    const std::string* end = text("end");
    const std::string* origin = text("origin");
    const std::string* result = text("result");
    if (start == nullptr || end == nullptr || origin == nullptr || result == nullptr)
        return std::nullopt;

    RunRecord record;
    const auto startTime = ParseIsoTime(*start);
    const auto endTime = ParseIsoTime(*end);
    const auto originValue = ValueOf(kOrigins, *origin);
    const auto resultValue = ValueOf(kResults, *result);
    if (!startTime || !endTime || !originValue || !resultValue)
        return std::nullopt;
    record.Start = *startTime;
    record.End = *endTime;
    record.Origin = *originValue;
    record.Result = *resultValue;
    if (const std::string* archive = text("archive"))
        record.Archive = *archive;
    if (const std::string* message = text("message"))
        record.Message = *message;
    // A line of the days before jobs and read-backs were recorded: the job of its archive, and
    // "ok" meant verified then.
    if (const std::string* job = text("job"))
        record.Job = *job;
    else
        record.Job =
            record.Archive.starts_with('/') ? JobOfArchive(record.Archive) : record.Archive;
    if (const auto verified = members->find("verified"); verified != members->end()) {
        if (verified->second.isText ||
            (verified->second.text != "true" && verified->second.text != "false"))
            return std::nullopt;
        record.Verified = verified->second.text == "true";
    } else {
        record.Verified = record.Result == RunResult::Ok;
    }
    const auto number = [&](std::string_view key, auto& field) {
        const auto found = members->find(key);
        return found == members->end() || ReadNumber(found->second, field);
    };
    if (!number("parts", record.Parts) || !number("files", record.Files) ||
        !number("bytes", record.Bytes) || !number("archive_bytes", record.ArchiveBytes))
        return std::nullopt;
    return record;
}

RunHistory::RunHistory(std::string folder) : folder_(std::move(folder)) {
    if (!folder_.empty())
        path_ = folder_ + "/" + std::string(kHistoryFileName);
}

bool RunHistory::Append(const RunRecord& record) const noexcept {
    try {
        if (path_.empty() || !MakeStateFolder(folder_))
            return false;
        const std::string line = HistoryLine(record) + '\n';
        const UniqueFd fd = OpenLocked(path_);
        struct stat st {};
        if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0)
            return false;
        const auto tail = ReadTail(fd.Get(), st.st_size, kReadLimit);
        if (!tail)
            return false;
        const bool cut = static_cast<std::size_t>(st.st_size) > tail->size();
        const std::vector<std::string_view> lines = Lines(*tail, cut);

        if (!cut && lines.size() < kHistoryLimit) {
            // A line cut short by a crash is ended first, so that it stays one damaged line.
            const std::string text = (!tail->empty() && tail->back() != '\n') ? '\n' + line : line;
            // One write, so that the line lands in one piece beside another copy's lines; a
            // short one (a full disk) leaves nothing half written behind.
            if (::write(fd.Get(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
                while (::ftruncate(fd.Get(), st.st_size) != 0 && errno == EINTR) {
                }
                return false;
            }
            return ::fsync(fd.Get()) == 0;
        }

        // Full: the last runs and the new one replace the file in one step.
        std::string kept;
        for (std::size_t i = lines.size() - std::min(lines.size(), kHistoryLimit - 1);
             i < lines.size(); ++i) {
            kept.append(lines[i]);
            kept += '\n';
        }
        kept += line;
        return profile::ReplaceFile(path_, kept, kFileMode) == profile::ReplaceResult::Replaced;
    } catch (...) {
        return false;
    }
}

std::vector<RunRecord> RunHistory::Read() const noexcept {
    try {
        if (path_.empty())
            return {};
        const UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
            return {};
        const auto tail = ReadTail(fd.Get(), st.st_size, kReadLimit);
        if (!tail)
            return {};
        std::vector<RunRecord> runs;
        for (const std::string_view line :
             Lines(*tail, static_cast<std::size_t>(st.st_size) > tail->size())) {
            if (auto record = ParseHistoryLine(line))
                runs.push_back(std::move(*record));
        }
        return runs;
    } catch (...) {
        return {};
    }
}

} // namespace ostrivane::run
