// The folder fields (destination, source) keep a folder without its trailing "/", so the root
// "/" reads as the empty text there, as a drive root "D:\" reads "D:". These turn such a text back
// into the folder it names, and join a folder and a name.
#pragma once

#include <QString>

namespace ostrivane::job {

// The folder a field's trimmed text names: the text itself, or "/" for the empty text.
inline QString FolderOfField(const QString& trimmed) {
    return trimmed.isEmpty() ? QStringLiteral("/") : trimmed;
}

// `folder` + "/" + `name`, with no second "/" after a folder that ends in one (the root "/").
inline QString PathInFolder(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace ostrivane::job
