#include "app/restore/BesideName.h"

#include <ctime>

namespace ostrivane::restore {

std::string BackupStamp(std::int64_t made) {
    const std::time_t seconds = static_cast<std::time_t>(made);
    struct tm local {};
    char text[32] = {};
    if (::localtime_r(&seconds, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H.%M", &local) == 0)
        return "?";
    return text;
}

std::string BesideName(const std::string& name, const std::string& stamp, int attempt) {
    // The extension is what follows the last "."; a leading "." (".profile") starts none.
    const std::size_t dot = name.rfind('.');
    const std::size_t split = dot == std::string::npos || dot == 0 ? name.size() : dot;
    std::string beside = name.substr(0, split) + " (ze zálohy " + stamp + ")";
    if (attempt > 1)
        beside += " (" + std::to_string(attempt) + ")";
    return beside + name.substr(split);
}

} // namespace ostrivane::restore
