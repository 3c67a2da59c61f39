// The form of a name in which the restore dialog searches: letters in lower case and without
// their accents, so that "zprava", "ZPRÁVA" and "zpráva" all find "Zpráva.odt". Covers the
// letters of Latin-1 and Latin Extended-A (every Czech and Slovak letter among them) and drops
// combining accents (names written in decomposed form); other characters stay as they are.
#pragma once

#include <string>
#include <string_view>

namespace ostrivane::restore {

// `text` (UTF-8) folded onto the end of `out`; malformed bytes are kept as they are.
void AppendSearchFolded(std::string& out, std::string_view text);

// `text` folded.
std::string SearchFolded(std::string_view text);

} // namespace ostrivane::restore
