// An advisory lock on a destination folder for the whole length of a backup run, rotation
// included, so that two running copies of the program never write the same archive series at
// once. The lock is taken with flock on the folder itself, so no file is left behind. A folder
// that may be written but not read (a drop folder) cannot be opened for that; there the lock is
// taken on a hidden file ".ostrivane.lock" in the folder, removed again when the run ends.
#pragma once

#include <string>

namespace ostrivane {

class DestinationLock {
public:
    enum class State {
        Held,          // this run holds the lock
        Busy,          // another running copy holds it
        FolderMissing, // the folder does not exist: nothing there to protect
        Failed,        // the lock could not be taken (Error() tells why)
    };

    // Tries once to lock the folder that holds `archivePath`, without waiting.
    explicit DestinationLock(const std::string& archivePath);
    ~DestinationLock();
    DestinationLock(const DestinationLock&) = delete;
    DestinationLock& operator=(const DestinationLock&) = delete;

    State Outcome() const { return state_; }
    bool Held() const { return state_ == State::Held; }
    bool FolderMissing() const { return state_ == State::FolderMissing; }
    // The errno value of a failed lock.
    int Error() const { return error_; }
    const std::string& Folder() const { return folder_; }

private:
    void LockOpenFolder();
    void LockThroughFile();
    void Fail(int error);

    std::string folder_;
    std::string lockFile_; // set while the lock is held through the file
    int fd_ = -1;
    State state_ = State::Failed;
    int error_ = 0;
};

} // namespace ostrivane
