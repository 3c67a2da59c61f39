#include "cabinet/component/Percent.h"

#include <cmath>

std::uint8_t Percent(double Total, double Part) {
    if (!(Total > 0.0)) {
        return 0;
    }
    // The default rounding mode rounds half to even.
    const double value = std::nearbyint(Part * 100.0 / Total);
    if (!(value > 0.0)) {
        return 0;
    }
    if (value > 100.0) {
        return 100;
    }
    return static_cast<std::uint8_t>(value);
}
