// Packs one file with the cabinet component configured as the backup run configures it, and
// records the time between every two calls of the event-processing hook: the longest of them is
// how long a click on the cancel button may wait at worst.
//
//   bench_event_gap LIBCABINET FILE ARCHIVE
#include "app/run/BackupRun.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TMakeCab.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LIBCABINET FILE ARCHIVE\n", argv[0]);
        return 2;
    }
    if (!LoadCabinetLibrary(argv[1])) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], CabinetLoadError().c_str());
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    std::vector<double> gaps;
    Clock::time_point last = Clock::now();
    const Clock::time_point start = last;
    int errors = 0;
    {
        TMakeCab cab;
        cab.Hooks.ProcessMessages = [&] {
            const Clock::time_point now = Clock::now();
            gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        };
        cab.OnError = [&](TComponent*, const std::string& file, const std::string&,
                          const std::string&, int code) {
            std::fprintf(stderr, "error %d: %s\n", code, file.c_str());
            ++errors;
        };
        ostrivane::run::ConfigureForBackup(cab, argv[3], {argv[2]}, false, "");
        cab.Compress();
    }
    const double total = std::chrono::duration<double>(Clock::now() - start).count();
    if (gaps.empty() || errors != 0)
        return 1;
    std::vector<double> sorted = gaps;
    std::sort(sorted.begin(), sorted.end());
    const double p99 = sorted[sorted.size() * 99 / 100];
    std::printf("event rounds %zu, largest gap %.2f ms, 99th percentile %.3f ms, total %.2f s\n",
                gaps.size(), sorted.back(), p99, total);
    return 0;
}
