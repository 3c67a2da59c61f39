#include "app/window/TempFolder.h"

#include "platform/fs/FileSystem.h"

namespace ostrivane::ui {

namespace {

constexpr qsizetype kMaxTempPathChars = 260;

} // namespace

QString SystemTempFolder() {
    // The engine's rule ($TMPDIR, else /tmp, trailing "/"), then the window's own: a folder that
    // is missing, or longer than the buffer the program offers, counts as unavailable.
    const std::string folder = fs::SystemTempPath();
    if (!fs::IsDirectory(folder))
        return {};
    const QString text = QString::fromStdString(folder);
    return text.size() > kMaxTempPathChars ? QString() : text;
}

} // namespace ostrivane::ui
