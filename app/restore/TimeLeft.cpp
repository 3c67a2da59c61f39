#include "app/restore/TimeLeft.h"

namespace ostrivane::restore {

namespace {

constexpr std::chrono::seconds kFirstEstimate(2);

} // namespace

void TimeLeft::Start(std::uint64_t total, Clock::time_point now) {
    total_ = total;
    start_ = now;
}

std::optional<std::chrono::seconds> TimeLeft::Estimate(std::uint64_t done,
                                                       Clock::time_point now) const {
    const std::chrono::duration<double> elapsed = now - start_;
    if (done == 0 || elapsed < kFirstEstimate)
        return std::nullopt;
    if (done >= total_)
        return std::chrono::seconds(0);
    const double left =
        elapsed.count() * static_cast<double>(total_ - done) / static_cast<double>(done);
    return std::chrono::seconds(static_cast<std::int64_t>(left + 0.5));
}

std::string TimeLeftText(std::chrono::seconds left) {
    const std::int64_t s = left.count();
    if (s < 60) {
        const std::int64_t rounded = std::max<std::int64_t>(5, (s + 4) / 5 * 5);
        return "zbývá asi " + std::to_string(rounded) + " s";
    }
    const std::int64_t minutes = (s + 59) / 60;
    if (minutes < 60)
        return "zbývá asi " + std::to_string(minutes) + " min";
    return "zbývá asi " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) +
           " min";
}

} // namespace ostrivane::restore
