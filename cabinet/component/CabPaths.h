// Splitting of archive paths into the folder and name parts the cabinet record holds.
#pragma once

#include <cstddef>
#include <string>

// Up to and including the last "/"; empty when there is none.
std::string CabFolderPart(const std::string& path);
// After the last "/".
std::string CabNamePart(const std::string& path);
// Copies `text` into a zero-terminated field of `size` bytes; false (the field emptied) when it
// does not fit.
bool CopyToCabField(char* field, std::size_t size, const std::string& text);
// The name a file is stored under in a cabinet: every "/" turned into "\", the cabinet's
// separator.
std::string CabStoredName(const std::string& storedName);
// True when every byte is below 0x80.
bool IsPlainAscii(const std::string& text);
// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(const std::string& text);
