// How long a restore still takes, from the bytes done so far and the time they took, and the
// words the dialog shows it in ("zbývá asi 3 min").
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace ostrivane::restore {

class TimeLeft {
public:
    using Clock = std::chrono::steady_clock;

    // A new piece of work of `total` bytes begins at `now`.
    void Start(std::uint64_t total, Clock::time_point now);
    // The time still needed once `done` bytes are done at `now`, at the pace so far; nothing in
    // the first two seconds and before anything was done (too little to go by).
    std::optional<std::chrono::seconds> Estimate(std::uint64_t done, Clock::time_point now) const;

private:
    std::uint64_t total_ = 0;
    Clock::time_point start_{};
};

// "zbývá asi 5 s" (in steps of 5 s), "zbývá asi 3 min", "zbývá asi 1 h 20 min".
std::string TimeLeftText(std::chrono::seconds left);

} // namespace ostrivane::restore
