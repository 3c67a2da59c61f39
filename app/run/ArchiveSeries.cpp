#include "app/run/ArchiveSeries.h"

#include "app/run/BackupPlacement.h"
#include "app/run/PlacementPlan.h"

namespace ostrivane {

namespace {

// The failure of a placement that was only a shift or a pruning.
std::optional<RotationFailure> FailureOf(const run::PlacementPlanner& planner) {
    if (const auto& failure = planner.Failure())
        return RotationFailure{failure->File, failure->Error, failure->NotAFile};
    const run::PlacementOutcome outcome = run::CarryOutPlacement(planner.Plan());
    if (outcome.Kind == run::PlacementOutcome::Result::Done)
        return std::nullopt;
    return RotationFailure{outcome.File, outcome.Error, false};
}

} // namespace

std::optional<RotationFailure> RotateArchiveSeries(const std::string& archivePath,
                                                   std::int32_t depth) {
    run::PlacementPlanner planner(archivePath);
    planner.Rotate(depth);
    return FailureOf(planner);
}

std::optional<RotationFailure> PruneDateTimeArchives(const std::string& archive,
                                                     std::int32_t depth) {
    run::PlacementPlanner planner(archive);
    planner.Prune(depth);
    return FailureOf(planner);
}

} // namespace ostrivane
