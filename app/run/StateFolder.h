// The folder where the program keeps what it remembers between its runs (the history of backups,
// how far the schedule was watched): $XDG_STATE_HOME/ostrivane, or ~/.local/state/ostrivane when
// the variable is unset or not an absolute path.
#pragma once

#include <string>

namespace ostrivane::run {

// The folder's path; empty when neither $XDG_STATE_HOME nor $HOME is an absolute path.
std::string StateFolder();

// Makes `folder` and its missing parents, each new one with mode 0700 (the state is the user's
// own). True when the folder exists afterwards.
bool MakeStateFolder(const std::string& folder);

} // namespace ostrivane::run
