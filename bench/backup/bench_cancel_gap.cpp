// Packs one file with the cabinet component configured as the backup run configures it, and
// records the time between every two tests of the cancel flag: the longest of them is how long a
// cancel asked for from the window's thread may wait at worst before the build notices it.
//
//   bench_cancel_gap LIBCABINET FILE ARCHIVE
#include "app/run/BackupRun.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TMakeCab.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The component, noting when it tests the flag.
class WatchedCab : public TMakeCab {
public:
    bool GetCancel() override {
        const Clock::time_point now = Clock::now();
        Gaps.push_back(std::chrono::duration<double, std::milli>(now - last_).count());
        last_ = now;
        return TMakeCab::GetCancel();
    }
    std::vector<double> Gaps;

private:
    Clock::time_point last_ = Clock::now();
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LIBCABINET FILE ARCHIVE\n", argv[0]);
        return 2;
    }
    if (!LoadCabinetLibrary(argv[1])) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], CabinetLoadError().c_str());
        return 1;
    }
    const Clock::time_point start = Clock::now();
    int errors = 0;
    std::vector<double> gaps;
    {
        WatchedCab cab;
        cab.OnError = [&](TComponent*, const std::string& file, const std::string&,
                          const std::string&, int code) {
            std::fprintf(stderr, "error %d: %s\n", code, file.c_str());
            ++errors;
        };
        ostrivane::run::ConfigureForBackup(cab, argv[3], {argv[2]}, false, "");
        cab.Compress();
        gaps = std::move(cab.Gaps);
    }
    const double total = std::chrono::duration<double>(Clock::now() - start).count();
    if (gaps.empty() || errors != 0)
        return 1;
    std::sort(gaps.begin(), gaps.end());
    const double p99 = gaps[gaps.size() * 99 / 100];
    std::printf("cancel tests %zu, largest gap %.2f ms, 99th percentile %.3f ms, total %.2f s\n",
                gaps.size(), gaps.back(), p99, total);
    return 0;
}
