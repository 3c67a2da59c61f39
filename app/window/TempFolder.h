// The user's temporary folder, the way the program hands it to the archive component.
#pragma once

#include <QString>

namespace ostrivane::ui {

// $TMPDIR when it names a folder, else /tmp, always with a trailing "/"; empty when neither
// exists or the path (trailing "/" included) is longer than 260 characters.
QString SystemTempFolder();

} // namespace ostrivane::ui
