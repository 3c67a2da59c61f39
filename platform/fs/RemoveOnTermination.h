// Files that must not outlive a process ended by a signal: the engine's temporary files and a
// cabinet that is still being written. A backup stopped by SIGTERM, SIGINT or SIGHUP (a cron job
// killed, a session logging out) removes them before the process ends, so that no temporary
// file of up to 2 GB and no half-written archive is left behind.
//
// The list is kept in storage that the signal handler reads without allocating or locking; it
// grows in blocks as more paths are listed, so every listed path is guarded. A run that writes
// many files of one form (the parts of a backup under temporary names) lists their common
// beginning once instead, and the handler removes every file of the folder whose name begins
// so.
#pragma once

#include <csignal>
#include <string>

namespace ostrivane::fs {

// Installs the handlers for SIGTERM, SIGINT and SIGHUP once; each removes the listed files and
// then ends the process by the same signal, as if no handler had been there.
void InstallRemoveOnTermination();

// For a program that ends in order through its event loop (saving what it must, cancelling its
// work): from now on the first termination signal only writes its number, one byte, to `wakeFd`
// (a non-blocking socket or pipe that the loop watches) and gives the program `graceSeconds`
// (at least 1) to end. When a second termination signal comes, or the time is up (SIGALRM, which
// the program leaves to this), the listed files are removed and the process is ended by the
// signal, as by the handlers above. A negative `wakeFd` goes back to ending at once. Installs
// those handlers when that was not done yet.
void TerminateInOrder(int wakeFd, unsigned graceSeconds);

// After the orderly end: when a termination signal asked for it, removes the listed files and
// ends the process by that signal; returns when none did.
void FinishOrderlyTermination();

// Adds `path` to the files removed when the process is ended by a signal. Register a file before
// creating it, so that no moment is left in which it exists unguarded.
void RemoveOnTermination(const std::string& path);

// Takes `path` off the list (it was deleted, renamed or completed); nothing when not listed.
void KeepOnTermination(const std::string& path);

// Lists every file in `folder` whose name begins with `prefix` (a path listed with
// RemoveOnTermination that lies there under such a name then takes no room of its own). At most
// a few such forms are guarded at once; false when there is no room for another.
bool RemoveOnTerminationByPrefix(const std::string& folder, const std::string& prefix);
// Takes the form off the list again.
void KeepPrefixOnTermination(const std::string& folder, const std::string& prefix);

// Holds the termination signals (and the alarm of an orderly end) back from the whole process,
// whichever thread they reach, while it lives: a step that must not be cut in two (the placing of
// a backup's files) runs under it. A signal that comes meanwhile takes effect, as it would have,
// when the last hold ends. Installs the handlers when that was not done yet, since without them
// nothing could be held.
class TerminationHeld {
public:
    TerminationHeld();
    ~TerminationHeld();
    TerminationHeld(const TerminationHeld&) = delete;
    TerminationHeld& operator=(const TerminationHeld&) = delete;
};

// Holds the termination signals (and the alarm of an orderly end) back from the calling thread
// while it lives; one that comes
// meanwhile takes effect when it ends. A file is made and listed under it, so that no signal
// can fall between the two; threads started under it inherit the held-back signals for good,
// so that the handler runs on the thread that keeps the list.
class TerminationDeferred {
public:
    TerminationDeferred();
    ~TerminationDeferred();
    TerminationDeferred(const TerminationDeferred&) = delete;
    TerminationDeferred& operator=(const TerminationDeferred&) = delete;

private:
    sigset_t previous_;
};

} // namespace ostrivane::fs
