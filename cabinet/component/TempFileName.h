// Names of the temporary files the cabinet library works with.
#pragma once

#include <string>

// Creates a new, empty file "vrk" + hexadecimal number + ".tmp" and returns its full path.
// The folder is Folder when it names an existing directory, else the system's temporary folder;
// that folder is created with its missing parents when it does not exist. Empty when no file
// could be made.
std::string MakeTempFileName(const std::string& Folder);
