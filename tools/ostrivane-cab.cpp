// ostrivane-cab: backs up without the user interface, through the same backup run as the window
// (lock, build under temporary names, read-back, rotation); and lists, tests and restores
// cabinets.
//
//   ostrivane-cab [--recurse] [--keep N] [--threads N] [--part-size BYTES] [--no-verify]
//                 [--quiet] ARCHIVE FOLDER/MASK...
//   ostrivane-cab --settings [--threads N] [--quiet] [FILE]
//   ostrivane-cab --list ARCHIVE
//   ostrivane-cab --test [--quiet] ARCHIVE...
//   ostrivane-cab --extract [--overwrite] [--quiet] DIR ARCHIVE [PATTERN...]
//
// Each FOLDER/MASK is a folder + "/" + a file mask; a relative folder, or a mask alone, is taken
// in the current folder. The archive is replaced only by a complete, verified new one; with
// --keep N the earlier archives move along a series of N copies as the window keeps them.
// --settings runs the backup a settings file describes (the window's file by default) as the
// window's backup button does. A backup larger than one cabinet (or than --part-size) goes on in
// parts beside the archive, which the reading commands take with the first part. Exit status 0
// when everything was done without any error report, 1 otherwise, 2 for bad usage.
#include "platform/cabformat/CabinetFormat.h"
#include "tools/BackupCommand.h"
#include "tools/CabReadCommands.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

enum class Mode { Pack, Settings, List, Test, Extract };

constexpr std::uint32_t kLargestPart = ostrivane::cabformat::kLargestCabinet;

struct Options {
    Mode mode = Mode::Pack;
    bool recurse = false;
    bool quiet = false;
    bool verify = true;
    std::optional<std::int32_t> keep;
    std::uint32_t partSize = kLargestPart;
    bool overwrite = false;
    std::optional<std::string> threads;
    std::string archive;               // packing, --list, --extract; --settings: FILE or ""
    std::vector<std::string> specs;    // packing: FOLDER/MASK; --test: the archives
    std::string folder;                // --extract: DIR
    std::vector<std::string> patterns; // --extract: PATTERN
};

int Usage(const char* message) {
    std::fprintf(stderr, "ostrivane-cab: %s\n", message);
    std::fprintf(
        stderr,
        "usage: ostrivane-cab [--recurse] [--keep N] [--threads N] [--part-size BYTES]\n"
        "                     [--no-verify] [--quiet] ARCHIVE FOLDER/MASK...\n"
        "       ostrivane-cab --settings [--threads N] [--quiet] [FILE]\n"
        "       ostrivane-cab --list ARCHIVE\n"
        "       ostrivane-cab --test [--quiet] ARCHIVE...\n"
        "       ostrivane-cab --extract [--overwrite] [--quiet] DIR ARCHIVE [PATTERN...]\n"
        "  FOLDER/MASK is a folder, \"/\" and a file mask, for example ~/Documents/*.odt; a\n"
        "  relative folder, or a mask alone, is taken in the current folder. Every archive is\n"
        "  read back after it is written (--no-verify skips that), and only a complete new\n"
        "  archive replaces the old one; --keep N moves the earlier ones along a series of N\n"
        "  copies (data_1.cab the newest) as the window does.\n"
        "  --settings backs up what a settings file describes (by default the window's own)\n"
        "  as the window's backup button does: input check, depth, subfolders, lock.\n"
        "  A backup larger than one cabinet (2 GiB, or --part-size) goes on in parts beside\n"
        "  it: for data.cab, data-2.cab, data-3.cab, ...; the reading commands take a whole\n"
        "  set by its first part.\n"
        "  --list shows size, date and time, attributes and name of every file; --test checks\n"
        "  every checksum and every file; --extract restores into DIR the files whose names\n"
        "  match a PATTERN (\"*\" and \"?\" as in the shell; a folder's name takes what it\n"
        "  holds), all without one, and keeps files that exist unless --overwrite is given.\n");
    return 2;
}

// A number of earlier archives to keep, 0 up to the largest the window takes.
bool KeepCount(std::string_view text, std::int32_t& count) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    return error == std::errc() && end == text.data() + text.size() && count >= 0;
}

bool PositiveNumber(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0;
}

// A cabinet size from 1 KiB up to the largest a cabinet can have.
bool PartSize(std::string_view text, std::uint32_t& size) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1024 ||
        value > kLargestPart)
        return false;
    size = static_cast<std::uint32_t>(value);
    return true;
}

bool SetMode(Options& options, Mode mode, const char*& problem) {
    if (options.mode != Mode::Pack) {
        problem = "only one of --settings, --list, --test and --extract may be given";
        return false;
    }
    options.mode = mode;
    return true;
}

// The positional arguments in their places; false with `problem` set when they do not fit.
bool PlaceArguments(Options& options, const std::vector<std::string>& positional,
                    const char*& problem) {
    const bool packing = options.mode == Mode::Pack;
    const bool backingUp = packing || options.mode == Mode::Settings;
    if (!packing &&
        (options.recurse || options.keep || !options.verify || options.partSize != kLargestPart)) {
        problem = "--recurse, --keep, --part-size and --no-verify are options of packing";
        return false;
    }
    if (!backingUp && options.threads) {
        problem = "--threads is an option of packing and of --settings";
        return false;
    }
    if (options.overwrite && options.mode != Mode::Extract) {
        problem = "--overwrite is an option of --extract";
        return false;
    }
    switch (options.mode) {
    case Mode::Pack:
        if (positional.size() < 2) {
            problem = "an archive and at least one FOLDER/MASK are needed";
            return false;
        }
        options.archive = positional.front();
        options.specs.assign(positional.begin() + 1, positional.end());
        return true;
    case Mode::Settings:
        if (positional.size() > 1) {
            problem = "--settings takes at most one settings file";
            return false;
        }
        options.archive = positional.empty() ? std::string() : positional.front();
        return true;
    case Mode::List:
        if (positional.size() != 1) {
            problem = "--list takes one archive";
            return false;
        }
        options.archive = positional.front();
        return true;
    case Mode::Test:
        if (positional.empty()) {
            problem = "--test needs at least one archive";
            return false;
        }
        options.specs = positional;
        return true;
    case Mode::Extract:
        if (positional.size() < 2) {
            problem = "--extract needs a folder and an archive";
            return false;
        }
        options.folder = positional[0];
        options.archive = positional[1];
        options.patterns.assign(positional.begin() + 2, positional.end());
        return true;
    }
    return false;
}

// Empty optional with a message printed when the arguments are not usable.
std::optional<Options> ParseArguments(int argc, char** argv, const char*& problem) {
    Options options;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            positional.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--recurse") {
            options.recurse = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--no-verify") {
            options.verify = false;
        } else if (arg == "--overwrite") {
            options.overwrite = true;
        } else if (arg == "--settings" || arg == "--list" || arg == "--test" ||
                   arg == "--extract") {
            const Mode mode = arg == "--settings" ? Mode::Settings
                              : arg == "--list"   ? Mode::List
                              : arg == "--test"   ? Mode::Test
                                                  : Mode::Extract;
            if (!SetMode(options, mode, problem))
                return std::nullopt;
        } else if (arg == "--part-size") {
            if (i + 1 >= argc || !PartSize(argv[i + 1], options.partSize)) {
                problem = "--part-size needs a number of bytes from 1024 to 2147483647";
                return std::nullopt;
            }
            ++i;
        } else if (arg == "--keep") {
            std::int32_t count = 0;
            if (i + 1 >= argc || !KeepCount(argv[i + 1], count)) {
                problem = "--keep needs a number of earlier archives from 0 up";
                return std::nullopt;
            }
            options.keep = count;
            ++i;
        } else if (arg == "--threads") {
            if (i + 1 >= argc || !PositiveNumber(argv[i + 1])) {
                problem = "--threads needs a positive number";
                return std::nullopt;
            }
            options.threads = argv[++i];
        } else {
            problem = "unknown option";
            return std::nullopt;
        }
    }
    if (!PlaceArguments(options, positional, problem))
        return std::nullopt;
    return options;
}

// A mask without a folder, taken in the current folder (the engine takes a relative folder there,
// but a line without any folder to mean its root folder).
std::string InCurrentFolder(const std::string& line) {
    return line.find('/') == std::string::npos ? "./" + line : line;
}

} // namespace

int main(int argc, char** argv) {
    const char* problem = "";
    const std::optional<Options> options = ParseArguments(argc, argv, problem);
    if (!options) {
        return Usage(problem);
    }
    switch (options->mode) {
    case Mode::List:
        return cabtool::ListArchive(options->archive);
    case Mode::Test:
        return cabtool::TestArchives(options->specs, options->quiet);
    case Mode::Extract:
        return cabtool::ExtractArchive(options->folder, options->archive, options->patterns,
                                       options->overwrite, options->quiet);
    case Mode::Pack:
    case Mode::Settings:
        break;
    }
    // The library reads the variable when it is used, so it is set before anything is bound.
    if (options->threads) {
        ::setenv("OSTRIVANE_CAB_THREADS", options->threads->c_str(), 1);
    }
    cabtool::BackupOptions backupOptions;
    backupOptions.quiet = options->quiet;
    if (options->mode == Mode::Settings) {
        return cabtool::RunSettingsBackup(options->archive, backupOptions);
    }
    ostrivane::run::BackupRequest request;
    request.Archive = options->archive;
    for (const std::string& line : options->specs) {
        request.FileSpec.push_back(InCurrentFolder(line));
    }
    request.Recurse = options->recurse;
    request.PartSize = options->partSize;
    request.Verify = options->verify;
    request.Origin = ostrivane::run::RunOrigin::Command;
    // Without --keep the archive is replaced, once the new one is complete.
    request.ReplaceExisting = !options->keep;
    request.Depth = options->keep.value_or(0);
    return cabtool::RunBackupCommand(request, backupOptions);
}
