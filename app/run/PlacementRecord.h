// The placement record: what a placement is about to do, written and synced in the destination
// folder (names::kPlacementRecordName) before its first rename and removed after its last step,
// so that whichever step is the last one made (a kill, a power cut, a failed call), the next run
// that holds the folder's lock finishes the placement, or takes it back, before anything else.
//
//   "OSTRIVANE-PLACEMENT 1" NUL, the number of steps in decimal NUL, then per step "M" (a move)
//   or "G" (a move of a cabinet on its way out) NUL, the name it has NUL and the name it takes
//   NUL; then "END" NUL. Once every rename is made and synced, "MOVED" NUL is appended: from
//   then on only the going cabinets remain to be deleted.
//
// A record without its "END" was cut short while it was written, before anything moved, and
// means nothing. Names are plain file names of the folder; a going name is always a run
// temporary's (names::GoingName), so that a record can delete nothing else.
#pragma once

#include "app/run/PlacementPlan.h"

#include <string>
#include <vector>

namespace ostrivane::run {

struct PlacementRecord {
    enum class State {
        None,       // no record: no placement was interrupted
        Unfinished, // cut short while it was written: nothing moved
        Unreadable, // there but cannot be read (Error), or not a record of this program
        Present,
    };
    State Kind = State::None;
    int Error = 0;
    std::vector<PlacementStep> Steps;
    bool Moved = false; // every rename was made and synced
};

// The path of the record in `folder`.
std::string PlacementRecordPath(const std::string& folder);

// Writes the record of `plan` (never over one that exists), syncs it and its folder. False
// (errno set) when it could not; a record half written is removed again.
bool WritePlacementRecord(const PlacementPlan& plan);
// Appends the mark that every rename is made, and syncs it.
bool MarkPlacementMoved(const std::string& folder);
// The record of `folder` as it stands.
PlacementRecord ReadPlacementRecord(const std::string& folder);
// Removes the record and syncs the folder; false (errno set) when it could not. A record that is
// gone already counts as removed.
bool RemovePlacementRecord(const std::string& folder);

} // namespace ostrivane::run
