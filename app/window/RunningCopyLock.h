// One running copy of the program per user where the session bus cannot decide it (no session
// bus, or copies on different buses): the file "running.lock" in the state folder, locked
// (flock) for as long as the copy runs. The system lets go of the lock when the process ends, a
// crash included, so a lock is never left behind.
#pragma once

#include "platform/fs/UniqueFd.h"

#include <string>

class RunningCopyLock {
public:
    enum class State {
        Held,        // this copy holds the lock: it runs
        Taken,       // another copy of the user holds it
        Unavailable, // no state folder or the file cannot be made: nothing can be decided
    };

    // Takes the lock of `stateFolder`, making the folder (mode 0700) when it is missing.
    explicit RunningCopyLock(const std::string& stateFolder);

    State Outcome() const { return state_; }

private:
    UniqueFd fd_;
    State state_ = State::Unavailable;
};
