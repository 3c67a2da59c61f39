// The placement record: what the placement of a backup is about to do, written and synced in the
// destination folder (names::kPlacementRecordName) before its first rename and removed after its
// last step, so that whichever step is the last one made (a kill, a power cut, a failed call),
// the next run that holds the folder's lock finishes the placement, or takes it back, before
// anything else (app/run/BackupPlacement), and every reader of ours reads the folder's backups
// as they stand once that is done (PendingPlacement).
//
//   "OSTRIVANE-PLACEMENT 1" NUL, the number of steps in decimal NUL, then per step "M" (a move)
//   or "G" (a move of a cabinet on its way out) NUL, the name it has NUL and the name it takes
//   NUL; then "END" NUL. Once every rename is made and synced, "MOVED" NUL is appended: from
//   then on only the going cabinets remain to be deleted.
//
// A record without its "END" was cut short while it was written, before anything moved, and
// means nothing. Names are plain file names of the folder; a going name is always a run
// temporary's (names::GoingName), so that a record can delete nothing else; and a record is
// followed only when it belongs to the user who reads it.
//
// Steps are made in their order and taken back in the opposite one, each to a name free by then
// that no later step empties again. So the steps made are those up to the first whose name to
// take is still free, and the last of them may be half made where the file system has no rename
// without replacing (a link made, the old name not yet removed).
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrivane {

struct PlacementStep {
    std::string From; // a name in the folder
    std::string To;   // the name it takes
    // To is a going cabinet's name: the file is deleted once every rename is made.
    bool Going = false;

    bool operator==(const PlacementStep&) const = default;
};

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

// Writes the record of `steps` in `folder` (never over one that exists), syncs it and the folder.
// False (errno set) when it could not; a record half written is removed again.
bool WritePlacementRecord(const std::string& folder, const std::vector<PlacementStep>& steps);
// Appends the mark that every rename is made, and syncs it.
bool MarkPlacementMoved(const std::string& folder);
// The record of `folder` as it stands.
PlacementRecord ReadPlacementRecord(const std::string& folder);
// Removes the record and syncs the folder; false (errno set) when it could not. A record that is
// gone already counts as removed.
bool RemovePlacementRecord(const std::string& folder);

// How far the renames of a present record not marked moved have come, as the folder shows.
struct PlacementProgress {
    std::size_t Made = 0;  // steps made, the last one perhaps half
    bool HalfMade = false; // the last step made left its old name beside the new (one file)
    // Every file the steps not yet made move is there: the placement can be finished; otherwise
    // it is taken back.
    bool Forward = true;
};
PlacementProgress ProgressOf(const std::string& folder, const std::vector<PlacementStep>& steps);

// The names of a folder as they stand once a placement cut short there is finished (or taken
// back), and which file holds each of them now: the view every reader of ours takes of a folder
// until the next run has finished the placement.
class PendingPlacement {
public:
    explicit PendingPlacement(const std::string& folder);

    // A placement is under way and not every rename is made.
    bool Pending() const { return pending_; }
    // The path of the file the name `name` of the folder holds once the placement is finished,
    // by the name it has now; nothing when no file will be under that name.
    std::optional<std::string> Resolve(const std::string& name) const;
    // The names of files of the folder once the placement is finished that have another name now.
    std::vector<std::string> NamesToCome() const;

private:
    std::string folder_;
    bool pending_ = false;
    std::map<std::string, std::optional<std::string>> finally_; // name -> name it has now
};

} // namespace ostrivane
