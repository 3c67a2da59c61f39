// Shell command lines for the tests, with a time limit and their output.
#pragma once

#include <string>

namespace testsupport {

// Runs a shell command line with a time limit; its exit status (-1 when it did not end in time
// or could not run), with standard output and error in `output`.
int Shell(const std::string& command, std::string* output = nullptr, int seconds = 120);
// `text` single-quoted for the shell.
std::string Quote(const std::string& text);

} // namespace testsupport
