// The build stopwatch on a monotonic millisecond clock.
#include "archive/component/TvrkTimer.h"

#include <chrono>

namespace {

std::int64_t NowTick() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

void TvrkTimer::Start() {
    StartTick = NowTick();
    StopTick = StartTick;
    PauseTick = 0;
    pauseDepth_ = 0;
    ElapsedTime = 0.0f;
    running_ = true;
}

void TvrkTimer::Stop() {
    if (!running_)
        return;
    if (pauseDepth_ > 0)
        Resume();
    StopTick = NowTick();
    ElapsedTime = static_cast<float>(StopTick - StartTick) / 1000.0f;
    running_ = false;
}

void TvrkTimer::Pause() {
    if (running_ && pauseDepth_++ == 0)
        PauseTick = NowTick();
}

void TvrkTimer::Resume() {
    if (!running_ || pauseDepth_ == 0)
        return;
    if (--pauseDepth_ == 0)
        StartTick += NowTick() - PauseTick;
}

float TvrkTimer::ElapsedSeconds() const {
    if (!running_)
        return ElapsedTime;
    std::int64_t end = pauseDepth_ > 0 ? PauseTick : NowTick();
    return static_cast<float>(end - StartTick) / 1000.0f;
}
