#include "tools/CommandLine.h"

#include "ostrivane/Version.h"

#include <charconv>
#include <cstdio>
#include <getopt.h>
#include <string_view>
#include <utility>

namespace cabtool {

namespace {

constexpr std::uint32_t kLargestPart = ostrivane::cabformat::kLargestCabinet;

// The values getopt_long returns for the long options; above every character, so that an
// option's value never reads as a short option.
enum OptionCode : int {
    kRecurse = 256,
    kKeep,
    kThreads,
    kPartSize,
    kNoVerify,
    kExclude,
    kSettings,
    kList,
    kTest,
    kExtract,
    kOverwrite,
    kQuiet,
    kHelp,
    kVersion,
};

const option kLongOptions[] = {
    {"recurse", no_argument, nullptr, kRecurse},
    {"keep", required_argument, nullptr, kKeep},
    {"threads", required_argument, nullptr, kThreads},
    {"part-size", required_argument, nullptr, kPartSize},
    {"no-verify", no_argument, nullptr, kNoVerify},
    {"exclude", required_argument, nullptr, kExclude},
    {"settings", no_argument, nullptr, kSettings},
    {"list", no_argument, nullptr, kList},
    {"test", no_argument, nullptr, kTest},
    {"extract", no_argument, nullptr, kExtract},
    {"overwrite", no_argument, nullptr, kOverwrite},
    {"quiet", no_argument, nullptr, kQuiet},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// The switches that only turn a setting on or off, and the value each gives it.
struct Switch {
    int code;
    bool Options::*setting;
    bool value;
};
constexpr Switch kSwitches[] = {
    {kRecurse, &Options::recurse, true},
    {kQuiet, &Options::quiet, true},
    {kNoVerify, &Options::verify, false},
    {kOverwrite, &Options::overwrite, true},
};

// The switches that choose what the program does instead of a backup of masks.
constexpr std::pair<int, Mode> kModes[] = {
    {kSettings, Mode::Settings},
    {kList, Mode::List},
    {kTest, Mode::Test},
    {kExtract, Mode::Extract},
};

constexpr const char kSynopsis[] =
    "Použití:\n"
    "  ostrivane-cab [--recurse] [--keep=N] [--threads=N] [--part-size=BAJTY]\n"
    "                [--no-verify] [--exclude=VZOR]... [--quiet]\n"
    "                ARCHÍV ADRESÁŘ/MASKA...\n"
    "  ostrivane-cab --settings [--threads=N] [--exclude=VZOR]... [--quiet] [SOUBOR]\n"
    "  ostrivane-cab --list ARCHÍV\n"
    "  ostrivane-cab --test [--quiet] ARCHÍV...\n"
    "  ostrivane-cab --extract [--overwrite] [--quiet] ADRESÁŘ ARCHÍV [VZOR...]\n"
    "  ostrivane-cab --help | --version\n";

constexpr const char kHelpText[] =
    "\n"
    "Zálohuje soubory vybrané maskami do archívu Microsoft Cabinet (.cab) stejným\n"
    "postupem jako tlačítko zálohy v okně programu; vypisuje, ověřuje a obnovuje\n"
    "zálohy.\n"
    "\n"
    "Záloha:\n"
    "      --recurse          zálohovat i soubory ze všech podadresářů\n"
    "      --keep=N           ponechat N starších archívů v číslované řadě\n"
    "                         (data_1.cab je nejnovější); bez něj nová záloha\n"
    "                         archív nahradí\n"
    "      --threads=N        komprimovat N vlákny\n"
    "      --part-size=BAJTY  největší velikost jedné části zálohy (1024 až\n"
    "                         2147483647); větší záloha pokračuje v částech\n"
    "                         data-2.cab, data-3.cab, ...\n"
    "      --no-verify        nečíst archív po zápisu zpět\n"
    "      --exclude=VZOR     vynechat soubory a adresáře odpovídající VZORU jako\n"
    "                         v .gitignore (*.iso, node_modules/, /Dokumenty/Velké/,\n"
    "                         **/build/); lze zadat vícekrát, k --settings přidává\n"
    "                         ke vzorům souboru nastavení\n"
    "      --settings         zálohovat, co popisuje soubor nastavení (bez SOUBORU\n"
    "                         soubor okna programu), stejně jako tlačítko zálohy\n"
    "\n"
    "Čtení záloh (záloha v částech se zadává svou první částí):\n"
    "      --list             vypsat velikost, datum a čas, atributy a název\n"
    "                         každého souboru\n"
    "      --test             ověřit kontrolní součty a všechny soubory\n"
    "      --extract          obnovit do ADRESÁŘE soubory, jejichž názvy odpovídají\n"
    "                         některému VZORU (* a ? jako v shellu; název adresáře\n"
    "                         vybere vše v něm), bez vzoru všechny\n"
    "      --overwrite        přepsat soubory, které už existují (jinak zůstanou)\n"
    "\n"
    "Obecné:\n"
    "      --quiet            nevypisovat průběh ani souhrn; chyby se vypíší vždy\n"
    "  -h, --help             vypsat tuto nápovědu a skončit\n"
    "      --version          vypsat verzi a skončit\n"
    "\n"
    "ADRESÁŘ/MASKA je adresář, \"/\" a maska souborů, například ~/Dokumenty/*.odt;\n"
    "relativní adresář nebo samotná maska se berou v aktuálním adresáři. Archív\n"
    "nahradí starý, až když je celý zapsán a přečten zpět.\n"
    "\n"
    "Návratový kód: 0 vše v pořádku, 1 záloha nebo čtení ohlásily chybu,\n"
    "2 chybné použití.\n";

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

// "--name" of a long option's code; a character's code as "-c".
std::string OptionName(int code) {
    for (const option& entry : kLongOptions) {
        if (entry.name != nullptr && entry.val == code)
            return std::string("--") + entry.name;
    }
    return std::string("-") + static_cast<char>(code);
}

// The option as the user typed it, without a value after "=".
std::string AsTyped(const char* argument) {
    const std::string_view text = argument;
    return std::string(text.substr(0, text.find('=')));
}

bool SetMode(Options& options, Mode mode, std::string& problem) {
    if (options.mode != Mode::Pack) {
        problem = "lze zadat jen jeden z přepínačů --settings, --list, --test a --extract";
        return false;
    }
    options.mode = mode;
    return true;
}

// The positional arguments in their places; false with `problem` set when they do not fit.
bool PlaceArguments(Options& options, const std::vector<std::string>& positional,
                    std::string& problem) {
    const bool packing = options.mode == Mode::Pack;
    const bool backingUp = packing || options.mode == Mode::Settings;
    if (!packing &&
        (options.recurse || options.keep || !options.verify || options.partSize != kLargestPart)) {
        problem = "--recurse, --keep, --part-size a --no-verify patří jen k záloze archívu a masek";
        return false;
    }
    if (!backingUp && options.threads) {
        problem = "--threads patří jen k záloze";
        return false;
    }
    if (!backingUp && !options.excludes.empty()) {
        problem = "--exclude patří jen k záloze";
        return false;
    }
    if (options.overwrite && options.mode != Mode::Extract) {
        problem = "--overwrite patří jen k --extract";
        return false;
    }
    switch (options.mode) {
    case Mode::Pack:
        if (positional.size() < 2) {
            problem = "je třeba zadat archív a aspoň jeden ADRESÁŘ/MASKA";
            return false;
        }
        options.archive = positional.front();
        options.specs.assign(positional.begin() + 1, positional.end());
        return true;
    case Mode::Settings:
        if (positional.size() > 1) {
            problem = "--settings bere nejvýše jeden soubor nastavení";
            return false;
        }
        options.archive = positional.empty() ? std::string() : positional.front();
        return true;
    case Mode::List:
        if (positional.size() != 1) {
            problem = "--list bere právě jeden archív";
            return false;
        }
        options.archive = positional.front();
        return true;
    case Mode::Test:
        if (positional.empty()) {
            problem = "--test potřebuje aspoň jeden archív";
            return false;
        }
        options.specs = positional;
        return true;
    case Mode::Extract:
        if (positional.size() < 2) {
            problem = "--extract potřebuje adresář a archív";
            return false;
        }
        options.folder = positional[0];
        options.archive = positional[1];
        options.patterns.assign(positional.begin() + 2, positional.end());
        return true;
    }
    return false;
}

// One option with its value; false with `problem` set when it cannot be taken.
bool TakeOption(Options& options, int code, const char* value, std::string& problem) {
    for (const Switch& entry : kSwitches) {
        if (entry.code == code) {
            options.*entry.setting = entry.value;
            return true;
        }
    }
    for (const auto& [modeCode, mode] : kModes) {
        if (modeCode == code)
            return SetMode(options, mode, problem);
    }
    switch (code) {
    case kPartSize:
        if (!PartSize(value, options.partSize)) {
            problem = "--part-size potřebuje počet bajtů od 1024 do 2147483647";
            return false;
        }
        return true;
    case kKeep: {
        std::int32_t count = 0;
        if (!KeepCount(value, count)) {
            problem = "--keep potřebuje počet starších archívů od 0 výše";
            return false;
        }
        options.keep = count;
        return true;
    }
    case kExclude:
        options.excludes.emplace_back(value);
        return true;
    case kThreads:
        if (!PositiveNumber(value)) {
            problem = "--threads potřebuje kladné číslo";
            return false;
        }
        options.threads = value;
        return true;
    }
    problem = "neznámý přepínač";
    return false;
}

int BadUsage(const std::string& problem) {
    std::fprintf(stderr, "ostrivane-cab: %s\n%s\nPodrobnosti vypíše ostrivane-cab --help.\n",
                 problem.c_str(), kSynopsis);
    return 2;
}

} // namespace

std::optional<Options> ParseArguments(int argc, char** argv, int& exitStatus) {
    Options options;
    std::string problem;
    bool help = false;
    bool version = false;
    // The options' own messages are Czech, below; getopt_long says nothing itself.
    ::opterr = 0;
    ::optind = 1;
    for (;;) {
        const int code = ::getopt_long(argc, argv, ":h", kLongOptions, nullptr);
        if (code == -1)
            break;
        if (code == 'h' || code == kHelp) {
            help = true;
        } else if (code == kVersion) {
            version = true;
        } else if (code == ':') {
            problem = "přepínač " + OptionName(::optopt) + " potřebuje hodnotu";
        } else if (code == '?') {
            // A known option that takes no value but was given one, or an unknown option (a long
            // one named by the argument getopt_long stopped at, a short one by its letter).
            if (::optopt >= kRecurse)
                problem = "přepínač " + OptionName(::optopt) + " nebere hodnotu";
            else if (::optopt != 0)
                problem = "neznámý přepínač \u201E-" + std::string(1, static_cast<char>(::optopt)) +
                          "\u201C";
            else
                problem = "neznámý přepínač \u201E" + AsTyped(argv[::optind - 1]) + "\u201C";
        } else {
            TakeOption(options, code, ::optarg, problem);
        }
        if (!problem.empty())
            break;
    }
    if (problem.empty() && help) {
        std::fputs(kSynopsis, stdout);
        std::fputs(kHelpText, stdout);
        exitStatus = 0;
        return std::nullopt;
    }
    if (problem.empty() && version) {
        std::printf("ostrivane-cab %s\n", ostrivane::kVersion);
        exitStatus = 0;
        return std::nullopt;
    }
    // getopt_long has moved the positional arguments behind the options, in their order.
    const std::vector<std::string> positional(argv + ::optind, argv + argc);
    if (problem.empty())
        PlaceArguments(options, positional, problem);
    if (!problem.empty()) {
        exitStatus = BadUsage(problem);
        return std::nullopt;
    }
    return options;
}

} // namespace cabtool
