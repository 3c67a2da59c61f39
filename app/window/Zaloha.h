// One backup source: a folder and the mask of the files to take from it.
#pragma once

#include "settings/SettingsRecord.h"

#include <QString>

#include <vector>

struct TZaloha {
    QString Folder; // as entered, trimmed; no trailing "/" when entered through the dialog
    QString Mask;   // for example "*.*"

    bool operator==(const TZaloha&) const = default;
};

// The backup sources in the order of addition.
using TZalohaList = std::vector<TZaloha>;

// The sources as the settings record and the backup job hold them.
inline std::vector<ostrivane::settings::SourcePair> PlainSources(const TZalohaList& sources) {
    std::vector<ostrivane::settings::SourcePair> pairs;
    for (const TZaloha& source : sources)
        pairs.push_back({source.Folder.toStdString(), source.Mask.toStdString()});
    return pairs;
}
