// The last step of a backup run, and the first of the next: a complete backup, written under
// temporary names, takes the place of the archive, crash-safe at every step.
//
// A placement is planned whole before anything moves (PlacementPlan.h), its record is written
// and synced in the destination folder (PlacementRecord.h), then its renames are made one by
// one, the folder is synced, the record marked, the cabinets of the backups that go are deleted
// and the record removed. The termination signals are held while it lasts. Whatever call is the
// last one made (a kill, a power cut, a failed call):
//   - a failed rename takes every rename made back at once, so the series is as it was;
//   - what cannot be taken back, and what a kill leaves, the next run that holds the folder's
//     lock finishes from the record before it does anything else: forward when every file the
//     remaining steps move is there, backward otherwise;
// so every earlier backup is whole under its old or its new name, and the oldest backup is
// deleted only once every rename is made.
#pragma once

#include "app/run/BackupReport.h"
#include "app/run/PlacementPlan.h"

#include <string>
#include <vector>

namespace ostrivane::run {

struct BackupRequest;

struct PlacementOutcome {
    enum class Result {
        Done,       // every step made, the record removed
        NotPlanned, // the plan failed (Plan); nothing moved
        NoRecord,   // the record could not be written (File, Error); nothing moved
        Undone,     // a rename failed (File to Target, Error); every rename made was taken back
        Unfinished, // a rename failed and the renames made could not all be taken back; the
                    // record stays for the next run
        Placed,     // every rename made; what follows failed (File, Error; Going: the going
                    // cabinet not deleted, by its name before), and the record stays
    };
    Result Kind = Result::Done;
    PlanFailure Plan;
    std::string File;
    std::string Target;
    int Error = 0;
    bool Going = false;     // the failed step concerns a cabinet of a backup that goes
    bool NewBackup = false; // the failed rename was one of the new backup's cabinets

    // The new backup is under its names.
    bool InPlace() const { return Kind == Result::Done || Kind == Result::Placed; }
    // The record stays: the files it names must stay where they are for the next run.
    bool RecordStays() const { return Kind == Result::Unfinished || Kind == Result::Placed; }
};

// Carries out `plan` as described above.
PlacementOutcome CarryOutPlacement(const PlacementPlan& plan);

// Finishes, or takes back, a placement in `folder` that a run left unfinished (its record is
// there); Done when there was none or it is finished now, the record gone. Otherwise the folder
// is left as the failure found it, with the record.
PlacementOutcome FinishInterruptedPlacement(const std::string& folder);

// Gives the complete backup whose cabinets are `cabinets` (in their order, in the archive's
// folder) the name `archive` and its parts' names: the series of the request's archive P is
// shifted, unless the existing archive is to be replaced (the request says so, the archive is
// named after the date and time, or no copy is kept and the first copy is there for good); with
// a name made of the date and time, such archives beyond the number to keep go. Every failure is
// added to `report`, saying what the series holds now.
PlacementOutcome PlaceBackup(const std::vector<std::string>& cabinets, const std::string& archive,
                             const BackupRequest& request, BackupReport& report);

// What the user is told of a placement that did not end Done.
std::string PlacementProblemText(const PlacementOutcome& outcome, const std::string& folder);

} // namespace ostrivane::run
