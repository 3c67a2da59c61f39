// ostrivane-cab: packs files into a cabinet exactly as the backup run configures the archive
// component, without the user interface.
//
//   ostrivane-cab [--recurse] [--threads N] [--quiet] ARCHIVE FOLDER/MASK...
//
// Each FOLDER/MASK is a folder + "/" + a file mask. Exit status 0 when the archive was written
// without any error report, 1 otherwise, 2 for bad usage.
#include "archive/ErrorCodes.h"
#include "cabinet/CabinetLibrary.h"
#include "cabinet/TMakeCab.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/RemoveOnTermination.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Options {
    bool recurse = false;
    bool quiet = false;
    std::optional<std::string> threads;
    std::string archive;
    std::vector<std::string> specs;
};

int Usage(const char* message) {
    std::fprintf(stderr, "ostrivane-cab: %s\n", message);
    std::fprintf(
        stderr,
        "usage: ostrivane-cab [--recurse] [--threads N] [--quiet] ARCHIVE FOLDER/MASK...\n"
        "  FOLDER/MASK is a folder, \"/\" and a file mask, for example ~/Documents/*.odt\n");
    return 2;
}

bool PositiveNumber(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0;
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
    if (positional.size() < 2) {
        problem = "an archive and at least one FOLDER/MASK are needed";
        return std::nullopt;
    }
    options.archive = positional.front();
    options.specs.assign(positional.begin() + 1, positional.end());
    return options;
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
    cab.SetTempDir("");
    cab.ExcludeSpec().clear();
    cab.SetFileSpec(options->specs);
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
    }
    const bool written = ostrivane::fs::IsRegularFile(cab.ArchiveFile());
    UnloadCabinetLibrary();
    return errors == 0 && written ? 0 : 1;
}
