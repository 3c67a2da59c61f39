// Texts taken from input fields are trimmed of leading and trailing blanks and control
// characters (every character up to U+0020), the way the program has always read its fields.
#pragma once

#include <QString>

namespace ostrivane {

inline QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

} // namespace ostrivane
