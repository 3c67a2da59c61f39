// The placement of a backup as a list of renames, planned whole before anything moves: the
// shift of the series of earlier archives, the replacement of an archive, the new backup's
// cabinets taking their names and the pruning of archives named after the date and time. Each
// step renames one file of the destination folder to a name that is free when the step comes
// (the steps before it made it so, and no later step takes it away again); an earlier backup
// that goes is only renamed to a name of a going cabinet (names::GoingName), and deleted once
// every rename is made. So each step may be the last one made, and every backup is still whole
// under its old or its new name once the placement is finished or taken back
// (BackupPlacement.h).
//
// Within one backup its parts move first and its first cabinet last, so that a backup under its
// new name is complete once its first cabinet is there.
#pragma once

#include "cabinet/format/PlacementRecord.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ostrivane::run {

using ostrivane::PlacementStep;

struct PlacementPlan {
    std::string Folder; // the destination folder, without a trailing "/"
    std::vector<PlacementStep> Steps;
};

// Why a placement cannot be planned; nothing has moved then.
struct PlanFailure {
    std::string File;       // the path the failure concerns
    int Error = 0;          // errno value (EEXIST: the name it must take holds something else)
    bool NotAFile = false;  // File is a symbolic link or a special file in the series
    bool PartTaken = false; // File is a part name of the new backup held by another program's file
};

class PlacementPlanner {
public:
    // A placement in the folder of `archive` (P).
    explicit PlacementPlanner(const std::string& archive);

    // The shift of the series before a new backup takes P's name, when a file of exactly that
    // path exists: B_depth goes with its parts, every other copy B_n with n < depth moves to
    // B_(n+1), and P becomes B_1. With a depth below 1, P becomes B_1 when that name is free and
    // goes otherwise. The archive and the copies must be regular files.
    bool Rotate(std::int32_t depth);
    // P with its parts goes (when it exists, as a regular file).
    bool Replace();
    // The cabinets `cabinets` (in the folder, in their order) take P's name and its part names;
    // cabinets of this program left under part names beyond them go. A part name held by
    // another program's file fails the plan.
    bool PlaceNew(const std::vector<std::string>& cabinets);
    // With P named after the date and time: such archives beyond P and `depth` earlier ones go,
    // the oldest, each with its parts (P itself never does). Nothing in a folder that cannot be
    // listed.
    bool Prune(std::int32_t depth);

    // Set when a step above failed; nothing more is planned then.
    const std::optional<PlanFailure>& Failure() const { return failure_; }
    PlacementPlan Plan() const { return plan_; }

private:
    // What the folder holds under `name` once the steps planned so far are made: the name the
    // file has now, or nothing.
    std::optional<std::string> Occupant(const std::string& name);
    void Move(const std::string& from, const std::string& to, bool going);
    void Discard(const std::string& name);
    // A cabinet of a backup by its part number (1 the first) and its name in the folder now.
    using Cabinets = std::map<int, std::string>;
    // Moves the backup whose cabinets are `cabinets` to the first cabinet name `to` and its part
    // names.
    bool MoveBackup(const Cabinets& cabinets, const std::string& to);
    // The cabinets of the backup now named `first`.
    Cabinets BackupNamed(const std::string& first) const;
    // Every cabinet of the backup now named `first` goes, the first one first.
    void DiscardBackup(const std::string& first);
    bool Fail(PlanFailure failure);
    std::string PathOf(const std::string& name) const;

    std::string archive_;
    PlacementPlan plan_;
    std::string token_;
    int going_ = 0;
    std::map<std::string, std::optional<std::string>> occupants_;
    std::set<std::string> vacated_; // names whose file this placement moves away
    std::optional<PlanFailure> failure_;
};

} // namespace ostrivane::run
