// Case folding of section and key names, so that they are found without regard to case.
//
// Covers every letter of Windows-1250 (the only characters a settings file can hold): ASCII,
// the Latin-1 letters (Á, É, Í, Ó, Ú, Ý, Ä, Ö, Ü ...) and Latin Extended-A (Č, Ď, Ě, Ň, Ř, Š,
// Ť, Ů, Ž, Ł, Ą, Ę, Ő, Ű ...). A small table of the Unicode rules is used rather than towlower,
// whose result depends on the process's locale (the "C" locale folds ASCII only).
#pragma once

#include <string>
#include <string_view>

namespace ostrivane::profile {

// The lower-case form of one code point, for the scripts Windows-1250 covers.
char32_t FoldCodePoint(char32_t cp);

// `text` (UTF-8) with every letter folded to lower case; malformed bytes are kept as they are.
std::string FoldCase(std::string_view text);

} // namespace ostrivane::profile
