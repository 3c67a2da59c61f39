// The texts a cabinet record holds: its fixed-size path fields and the names of stored files.
#pragma once

#include <cstddef>
#include <string>

// Copies `text` into a zero-terminated field of `size` bytes; false (the field emptied) when it
// does not fit.
bool CopyToCabField(char* field, std::size_t size, const std::string& text);
// The name a file is stored under in a cabinet: every "/" turned into "\", the cabinet's
// separator.
std::string CabStoredName(const std::string& storedName);
// True when every byte is below 0x80.
bool IsPlainAscii(const std::string& text);
