// Keeps the system from going to sleep while its owner lives: an inhibitor lock of systemd-logind
// ("sleep:idle", mode "block") taken on the system bus when the object is made. logind keeps the
// lock while a descriptor it handed out stays open; the object holds that descriptor and closes it
// when it goes. Without a system bus, or without logind on it, the object holds nothing and says
// nothing: a backup runs all the same.
#pragma once

#include "platform/fs/UniqueFd.h"

namespace ostrivane::logind {

class SleepInhibitor {
public:
    SleepInhibitor();
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    // Whether logind granted the lock.
    bool Held() const { return lock_.Valid(); }

private:
    UniqueFd lock_;
};

} // namespace ostrivane::logind
