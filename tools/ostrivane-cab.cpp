// ostrivane-cab: backs up without the user interface, through the same backup run as the window
// (lock, build under temporary names, read-back, rotation); and lists, tests and restores
// cabinets.
//
//   ostrivane-cab [--recurse] [--keep=N] [--threads=N] [--part-size=BYTES] [--no-verify]
//                 [--exclude=PATTERN]... [--quiet] ARCHIVE FOLDER/MASK...
//   ostrivane-cab --settings [--threads=N] [--exclude=PATTERN]... [--quiet] [FILE]
//   ostrivane-cab --list ARCHIVE
//   ostrivane-cab --test [--quiet] ARCHIVE...
//   ostrivane-cab --extract [--overwrite] [--quiet] DIR ARCHIVE [PATTERN...]
//   ostrivane-cab --help | --version
//
// Each FOLDER/MASK is a folder + "/" + a file mask; a relative folder, or a mask alone, is taken
// in the current folder. The archive is replaced only by a complete, verified new one; with
// --keep N the earlier archives move along a series of N copies as the window keeps them.
// --settings runs the backup a settings file describes (the window's file by default) as the
// window's backup button does. --exclude leaves out files and folders by patterns in the style of
// .gitignore (archive/scan/ExclusionPatterns.h), with --settings besides the file's own. A backup
// larger than one cabinet (or than --part-size) goes on in
// parts beside the archive, which the reading commands take with the first part. Exit status 0
// when everything was done without any error report, 1 otherwise, 2 for bad usage. The options
// are read in tools/CommandLine; the messages are Czech.
#include "tools/BackupCommand.h"
#include "tools/CabReadCommands.h"
#include "tools/CommandLine.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace {

using cabtool::Mode;

// A mask without a folder, taken in the current folder (the engine takes a relative folder there,
// but a line without any folder to mean its root folder).
std::string InCurrentFolder(const std::string& line) {
    return line.find('/') == std::string::npos ? "./" + line : line;
}

} // namespace

int main(int argc, char** argv) {
    int exitStatus = 0;
    const std::optional<cabtool::Options> options = cabtool::ParseArguments(argc, argv, exitStatus);
    if (!options) {
        return exitStatus;
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
        return cabtool::RunSettingsBackup(options->archive, options->excludes, backupOptions);
    }
    ostrivane::run::BackupRequest request;
    request.Archive = options->archive;
    for (const std::string& line : options->specs) {
        request.FileSpec.push_back(InCurrentFolder(line));
    }
    request.Recurse = options->recurse;
    request.Exclusions = options->excludes;
    request.PartSize = options->partSize;
    request.Verify = options->verify;
    request.Origin = ostrivane::run::RunOrigin::Command;
    // Without --keep the archive is replaced, once the new one is complete.
    request.ReplaceExisting = !options->keep;
    request.Depth = options->keep.value_or(0);
    return cabtool::RunBackupCommand(request, backupOptions);
}
