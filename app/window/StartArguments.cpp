#include "app/window/StartArguments.h"

#include "desktop/Autostart.h"
#include "ostrivane/Version.h"

#include <cstdio>
#include <cstring>

namespace ostrivane::ui {

namespace {

constexpr const char kHelpText[] =
    "Použití: ostrivane [/systray]\n"
    "         ostrivane --help | --version\n"
    "\n"
    "Plánovač záloh: zálohuje vybrané adresáře do archívů Microsoft Cabinet (.cab),\n"
    "hned nebo sám v nastavený čas v nastavené dny v týdnu, a obnovuje z nich.\n"
    "Nastavení je v ~/.config/ostrivane/Ostrivane.ini, nebo vedle programu, smí-li tam\n"
    "zapisovat.\n"
    "\n"
    "  /systray       spustit skrytý v oznamovací oblasti (tak program spouští\n"
    "                 položka automatického spuštění)\n"
    "  -h, --help     vypsat tuto nápovědu a skončit\n"
    "      --version  vypsat verzi a skončit\n"
    "\n"
    "Zálohy bez okna (cron, časovač systemd) a čtení záloh: ostrivane-cab --help.\n";

} // namespace

std::optional<int> AnswerInformationArguments(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelpText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("ostrivane %s\n", kVersion);
            return 0;
        }
    }
    return std::nullopt;
}

bool CheckStartArguments(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == desktop::kTrayArgument)
            continue;
        std::fprintf(stderr,
                     "ostrivane: neznámý argument \u201E%s\u201C\n"
                     "Podrobnosti vypíše ostrivane --help.\n",
                     arguments[i].toLocal8Bit().constData());
        return false;
    }
    return true;
}

bool StartsHidden(const QStringList& arguments) {
    return arguments.mid(1).contains(desktop::kTrayArgument);
}

} // namespace ostrivane::ui
