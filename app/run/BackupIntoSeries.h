// The part of a backup run that guards the archive series: the folder lock held for the whole
// run, the rotation of the earlier archives, and the build of the new archive in between. The
// window runs every backup through it; it has no user interface of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ostrivane {

// Locks the folder of `archivePath`, shifts the earlier archives along the series of `depth`
// copies, then calls `build` with the lock still held. When the lock cannot be taken or a step
// of the rotation fails, nothing is built and the series stays as it was; the returned text
// (in Czech, for the user) says why. Empty when `build` ran.
std::string BackUpIntoSeries(const std::string& archivePath, std::int32_t depth,
                             const std::function<void()>& build);

} // namespace ostrivane
