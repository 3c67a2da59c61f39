// An advisory lock on a destination folder for the whole length of a backup run, rotation
// included, so that two running copies of the program never write the same archive series at
// once. The lock is taken with flock on the folder itself, so no lock file is left behind.
#pragma once

#include <string>

namespace ostrivane {

class DestinationLock {
public:
    // Tries once to lock the folder that holds `archivePath`, without waiting.
    explicit DestinationLock(const std::string& archivePath);
    ~DestinationLock();
    DestinationLock(const DestinationLock&) = delete;
    DestinationLock& operator=(const DestinationLock&) = delete;

    // True when this run holds the lock.
    bool Held() const { return held_; }
    // True when the folder could not be opened at all (it does not exist, for example): no copy
    // can write there either, and the run goes on to meet the engine's own checks.
    bool FolderMissing() const { return fd_ < 0; }

private:
    int fd_ = -1;
    bool held_ = false;
};

} // namespace ostrivane
