// Steps run in a child process: guarded by a time limit, and as the unprivileged user 65534 when
// the tests run as root (for whom file permissions do not hold).
#pragma once

#include <functional>
#include <string>

namespace testsupport {

// Runs `step` in a child process that is killed after `seconds`; the step's result (0..255; 254
// when it threw), -1 when it did not end in time, -2 when it crashed. With `output`, what the
// child wrote to its standard output.
int RunGuarded(const std::function<int()>& step, int seconds, std::string* output = nullptr);

// The user the unprivileged steps run as.
constexpr unsigned kUnprivilegedUser = 65534;
// RunUnprivileged's result when the child could not become that user.
constexpr int kCannotSwitch = 125;

// True when this process runs as root (and may switch to the unprivileged user).
bool IsRoot();
// From here on this process runs as the unprivileged user; true at once when it is not root.
bool BecomeUnprivileged();
// Hands `path` (with `tree`, everything below it too) to the unprivileged user; nothing to do
// when not root. False when it could not.
bool HandOver(const std::string& path, bool tree = false);
// What a shell command line starts with to run as the unprivileged user: setpriv under root,
// nothing otherwise.
std::string UnprivilegedCommandPrefix();

// RunGuarded, the child becoming the unprivileged user first (kCannotSwitch when it cannot).
int RunUnprivileged(const std::function<int()>& step, int seconds = 120,
                    std::string* output = nullptr);

// While it lives, a process running as root takes the unprivileged user as its effective ids
// (`folder` handed to that user first), for code that must stay in this process.
class EffectivelyUnprivileged {
public:
    explicit EffectivelyUnprivileged(const std::string& folder);
    ~EffectivelyUnprivileged();
    EffectivelyUnprivileged(const EffectivelyUnprivileged&) = delete;
    EffectivelyUnprivileged& operator=(const EffectivelyUnprivileged&) = delete;

    // True when permissions hold now (the switch was made, or this is not root).
    bool Holds() const;
    // Takes the process's own ids back before the end; true when it could.
    bool Back();
};

} // namespace testsupport
