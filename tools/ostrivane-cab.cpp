// ostrivane-cab: packs files into a cabinet exactly as the backup run configures the archive
// component, without the user interface; and lists, tests and restores cabinets.
//
//   ostrivane-cab [--recurse] [--threads N] [--part-size BYTES] [--no-verify] [--quiet]
//                 ARCHIVE FOLDER/MASK...
//   ostrivane-cab --list ARCHIVE
//   ostrivane-cab --test [--quiet] ARCHIVE...
//   ostrivane-cab --extract [--overwrite] [--quiet] DIR ARCHIVE [PATTERN...]
//
// Each FOLDER/MASK is a folder + "/" + a file mask; a relative folder, or a mask alone, is taken
// in the current folder. A backup larger than one cabinet (or than --part-size) goes on in parts
// beside the archive, which the reading commands take with the first part. Exit status 0 when
// everything was done without any error report, 1 otherwise, 2 for bad usage.
#include "archive/model/ErrorCodes.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TMakeCab.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/RemoveOnTermination.h"
#include "tools/CabReadCommands.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

enum class Mode { Pack, List, Test, Extract };

struct Options {
    Mode mode = Mode::Pack;
    bool recurse = false;
    bool quiet = false;
    bool verify = true;
    std::uint32_t partSize = 0x7FFFFFFF;
    bool overwrite = false;
    std::optional<std::string> threads;
    std::string archive;
    std::vector<std::string> specs;    // packing: FOLDER/MASK; --test: the archives
    std::string folder;                // --extract: DIR
    std::vector<std::string> patterns; // --extract: PATTERN
};

int Usage(const char* message) {
    std::fprintf(stderr, "ostrivane-cab: %s\n", message);
    std::fprintf(
        stderr,
        "usage: ostrivane-cab [--recurse] [--threads N] [--part-size BYTES] [--no-verify] "
        "[--quiet]\n"
        "                     ARCHIVE FOLDER/MASK...\n"
        "       ostrivane-cab --list ARCHIVE\n"
        "       ostrivane-cab --test [--quiet] ARCHIVE...\n"
        "       ostrivane-cab --extract [--overwrite] [--quiet] DIR ARCHIVE [PATTERN...]\n"
        "  FOLDER/MASK is a folder, \"/\" and a file mask, for example ~/Documents/*.odt; a\n"
        "  relative folder, or a mask alone, is taken in the current folder. Every archive is\n"
        "  read back after it is written (--no-verify skips that). A backup larger than one\n"
        "  cabinet (2 GiB, or --part-size) goes on in parts beside it: for data.cab, data-2.cab,\n"
        "  data-3.cab, ...; the reading commands take a whole set by its first part.\n"
        "  --list shows size, date and time, attributes and name of every file; --test checks\n"
        "  every checksum and every file; --extract restores into DIR the files whose names\n"
        "  match a PATTERN (\"*\" and \"?\" as in the shell; a folder's name takes what it\n"
        "  holds), all without one, and keeps files that exist unless --overwrite is given.\n");
    return 2;
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
        value > 0x7FFFFFFF)
        return false;
    size = static_cast<std::uint32_t>(value);
    return true;
}

bool SetMode(Options& options, Mode mode, const char*& problem) {
    if (options.mode != Mode::Pack) {
        problem = "only one of --list, --test and --extract may be given";
        return false;
    }
    options.mode = mode;
    return true;
}

// The positional arguments in their places; false with `problem` set when they do not fit.
bool PlaceArguments(Options& options, const std::vector<std::string>& positional,
                    const char*& problem) {
    const bool packing = options.mode == Mode::Pack;
    if (!packing &&
        (options.recurse || options.threads || !options.verify || options.partSize != 0x7FFFFFFF)) {
        problem = "--recurse, --threads, --part-size and --no-verify are options of packing";
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
        } else if (arg == "--list" || arg == "--test" || arg == "--extract") {
            const Mode mode = arg == "--list"   ? Mode::List
                              : arg == "--test" ? Mode::Test
                                                : Mode::Extract;
            if (!SetMode(options, mode, problem))
                return std::nullopt;
        } else if (arg == "--part-size") {
            if (i + 1 >= argc || !PartSize(argv[i + 1], options.partSize)) {
                problem = "--part-size needs a number of bytes from 1024 to 2147483647";
                return std::nullopt;
            }
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

// Prints the two percentages on one line of standard error, only when they change.
class ProgressLine {
public:
    void Show(unsigned byFile, unsigned byArchive) {
        if (byFile == lastFile_ && byArchive == lastArchive_) {
            return;
        }
        lastFile_ = byFile;
        lastArchive_ = byArchive;
        std::fprintf(stderr, "\rfile %3u%%  archive %3u%%", byFile, byArchive);
        shown_ = true;
    }
    void End() {
        if (shown_) {
            std::fputc('\n', stderr);
            shown_ = false;
        }
    }

private:
    unsigned lastFile_ = 1000;
    unsigned lastArchive_ = 1000;
    bool shown_ = false;
};

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
        break;
    }
    // The library reads the variable when it is used, so it is set before anything is bound.
    if (options->threads) {
        ::setenv("OSTRIVANE_CAB_THREADS", options->threads->c_str(), 1);
    }
    LoadCabinetLibraryBesideExecutable();
    // Stopped by a signal, the build leaves neither its temporary files nor a half-written
    // cabinet behind.
    ostrivane::fs::InstallRemoveOnTermination();

    TMakeCab cab;
    cab.Hooks.ConfirmYesNo = [](const std::string&) { return false; };
    cab.Hooks.RetryCancel = [](const std::string&) { return false; };

    ProgressLine progress;
    int errors = 0;
    cab.OnError = [&](TComponent*, const std::string& fileName, const std::string& extendedMsg,
                      const std::string&, int eCode) {
        progress.End();
        ++errors;
        if (extendedMsg.empty()) {
            std::fprintf(stderr, "error %d: %s: %s\n", eCode, ErrorText(eCode).c_str(),
                         fileName.c_str());
        } else {
            std::fprintf(stderr, "error %d: %s: %s (%s)\n", eCode, ErrorText(eCode).c_str(),
                         fileName.c_str(), extendedMsg.c_str());
        }
    };
    if (!options->quiet) {
        cab.OnProgress = [&](TComponent*, std::uint8_t byFile, std::uint8_t byArchive) {
            progress.Show(byFile, byArchive);
        };
    }

    // The backup run's configuration of the component.
    cab.SetArchiveFile(options->archive);
    cab.SetDateAttribute(daFileDate);
    cab.SetStoredDirNames(sdRelativeStoreStart);
    cab.SetRecurseDirs(options->recurse);
    cab.SetIncludeHiddenDirs(true);
    cab.SetTempDir("");
    cab.ExcludeSpec().clear();
    std::vector<std::string> specs;
    for (const std::string& line : options->specs) {
        specs.push_back(InCurrentFolder(line));
    }
    cab.SetFileSpec(specs);
    cab.VerifyArchive = options->verify;
    cab.PartSize = options->partSize;
    cab.OnGetNextCabinet = [&cab](TComponent*, CCAB& ccab, std::string& newName, int, bool& abort) {
        cab.AnswerWithNextPart(ccab, newName, abort);
    };
    for (TvrkFileAttr a : {fsZeroAttr, fsArchive, fsDirectory, fsHidden, fsReadOnly, fsSysFile}) {
        cab.SetAttribute(a, true);
    }
    for (TvrkFileAttr a : {fsZeroAttr, fsArchive, fsDirectory, fsHidden, fsReadOnly, fsSysFile}) {
        cab.SetAttributeEx(a, false);
    }
    cab.SetCompressMethod(cmMsZip);
    cab.SetDefaultExt(".cab");

    const int added = cab.Compress();
    progress.End();
    if (!options->quiet) {
        std::fprintf(stderr, "%d file(s) added to %s\n", added, cab.ArchiveFile().c_str());
        if (cab.VerifyArchive && cab.VerifiedFiles > 0) {
            std::fprintf(stderr, "%d file(s) read back and verified in %.2f s\n", cab.VerifiedFiles,
                         cab.VerificationSeconds);
        }
    }
    const bool written = ostrivane::fs::IsRegularFile(cab.ArchiveFile());
    UnloadCabinetLibrary();
    return errors == 0 && written ? 0 : 1;
}
