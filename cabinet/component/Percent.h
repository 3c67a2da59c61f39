// The progress percentage of the cabinet build.
#pragma once

#include <cstdint>

// 0 when Total <= 0; otherwise Part * 100 / Total rounded half to even and kept within 0..100.
std::uint8_t Percent(double Total, double Part);
