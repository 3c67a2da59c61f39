// Stopwatch of a build: elapsed seconds between Start and Stop, with the time spent between
// Pause and Resume (error reports) left out.
#pragma once

#include <cstdint>

class TvrkTimer {
public:
    void Start();
    void Stop();
    // Pause and Resume nest: only the outermost pair moves the start tick.
    void Pause();
    void Resume();
    bool Running() const { return running_; }
    // Seconds from Start to Stop (or to now while running), pauses excluded.
    float ElapsedSeconds() const;

    std::int64_t StartTick = 0; // milliseconds of a monotonic clock
    std::int64_t StopTick = 0;
    std::int64_t PauseTick = 0;
    float ElapsedTime = 0.0f;

private:
    bool running_ = false;
    int pauseDepth_ = 0;
};
