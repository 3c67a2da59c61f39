// The command line of ostrivane-cab: the options read with getopt_long (each as --name VALUE or
// --name=VALUE), checked, and the positional arguments put in their places; --help and --version
// answered. Its texts are Czech, as the rest of the program.
#pragma once

#include "platform/cabformat/CabinetFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cabtool {

enum class Mode { Pack, Settings, List, Test, Extract };

struct Options {
    Mode mode = Mode::Pack;
    bool recurse = false;
    bool quiet = false;
    bool verify = true;
    std::optional<std::int32_t> keep;
    std::uint32_t partSize = ostrivane::cabformat::kLargestCabinet;
    bool overwrite = false;
    std::optional<std::string> threads;
    std::string archive;               // packing, --list, --extract; --settings: FILE or ""
    std::vector<std::string> specs;    // packing: FOLDER/MASK; --test: the archives
    std::string folder;                // --extract: DIR
    std::vector<std::string> patterns; // --extract: PATTERN
    std::vector<std::string> excludes; // backups: every --exclude, in order
};

// The options of `argv`; nothing when the program is to end at once with `exitStatus`: 0 after
// --help (to standard output) or --version, 2 after bad usage (the problem, naming the option,
// and a hint to standard error).
std::optional<Options> ParseArguments(int argc, char** argv, int& exitStatus);

} // namespace cabtool
