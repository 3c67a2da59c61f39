// The trimming rule of texts taken from fields (platform/text/TextTrim.h) for Qt texts.
#pragma once

#include "platform/text/TextTrim.h"

#include <QString>

namespace ostrivane {

inline QString TrimBlanks(const QString& text) {
    const std::string utf8 = text.toStdString();
    const std::string_view trimmed = text::TrimBlanks(utf8);
    return QString::fromUtf8(trimmed.data(), static_cast<qsizetype>(trimmed.size()));
}

} // namespace ostrivane
