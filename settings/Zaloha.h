// One backup source: a folder and the mask of the files to take from it.
#pragma once

#include <QString>

#include <vector>

struct TZaloha {
    QString Folder; // as entered, trimmed; no trailing "/" when entered through the dialog
    QString Mask;   // for example "*.*"

    bool operator==(const TZaloha&) const = default;
};

// The backup sources in the order of addition.
using TZalohaList = std::vector<TZaloha>;
