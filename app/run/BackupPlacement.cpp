#include "app/run/BackupPlacement.h"

#include "app/run/BackupRun.h"
#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/PlacementRecord.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/RemoveOnTermination.h"

#include <cerrno>
#include <sys/stat.h>

namespace ostrivane::run {

namespace {

using Result = PlacementOutcome::Result;

std::string PathIn(const std::string& folder, const std::string& name) {
    return folder + (folder == "/" ? "" : "/") + name;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

PlacementOutcome Outcome(Result kind, const std::string& file, int error,
                         const std::string& target = {}) {
    PlacementOutcome outcome;
    outcome.Kind = kind;
    outcome.File = file;
    outcome.Target = target;
    outcome.Error = error;
    return outcome;
}

// A rename of `step` that failed (errno), as an outcome of `kind`.
PlacementOutcome StepFailed(Result kind, const std::string& folder, const PlacementStep& step) {
    PlacementOutcome outcome =
        Outcome(kind, PathIn(folder, step.From), errno, PathIn(folder, step.To));
    outcome.Going = step.Going;
    outcome.NewBackup = names::IsRunTemporary(step.From);
    return outcome;
}

// Takes the first `made` renames of `steps` back, the last first; false (errno set) when one
// cannot be.
bool TakeBack(const std::string& folder, const std::vector<PlacementStep>& steps, std::size_t made,
              std::size_t& failedAt) {
    while (made > 0) {
        const PlacementStep& step = steps[--made];
        if (!fs::RenameNoReplace(PathIn(folder, step.To), PathIn(folder, step.From))) {
            failedAt = made;
            return false;
        }
    }
    return true;
}

// Once every rename is made and synced: the mark, the going cabinets deleted, the record
// removed.
PlacementOutcome Close(const std::string& folder, const std::vector<PlacementStep>& steps,
                       bool marked) {
    const std::string record = PlacementRecordPath(folder);
    if (!marked && !MarkPlacementMoved(folder))
        return Outcome(Result::Placed, record, errno);
    for (const PlacementStep& step : steps) {
        if (!step.Going || fs::Unlink(PathIn(folder, step.To)) || errno == ENOENT)
            continue;
        PlacementOutcome outcome = Outcome(Result::Placed, PathIn(folder, step.From), errno);
        outcome.Going = true;
        return outcome;
    }
    fs::SyncFolder(folder, record);
    if (!RemovePlacementRecord(folder))
        return Outcome(Result::Placed, record, errno);
    return {};
}

} // namespace

PlacementOutcome CarryOutPlacement(const PlacementPlan& plan) {
    if (plan.Steps.empty())
        return {};
    const fs::TerminationHeld untilItEnds;
    const std::string& folder = plan.Folder;
    if (!WritePlacementRecord(folder, plan.Steps))
        return Outcome(Result::NoRecord, PlacementRecordPath(folder), errno);
    for (std::size_t made = 0; made < plan.Steps.size(); ++made) {
        const PlacementStep& step = plan.Steps[made];
        if (fs::RenameNoReplace(PathIn(folder, step.From), PathIn(folder, step.To)))
            continue;
        PlacementOutcome outcome = StepFailed(Result::Undone, folder, step);
        std::size_t failedAt = 0;
        if (!TakeBack(folder, plan.Steps, made, failedAt)) {
            outcome.Kind = Result::Unfinished;
            return outcome;
        }
        // Everything is as it was: the record means nothing now. Should it stay all the same,
        // the next run finds no step made and nothing to finish once these cabinets are gone.
        fs::SyncFolder(folder, PlacementRecordPath(folder));
        RemovePlacementRecord(folder);
        return outcome;
    }
    if (!fs::SyncFolder(folder, PlacementRecordPath(folder)))
        return Outcome(Result::Placed, folder, errno);
    return Close(folder, plan.Steps, false);
}

PlacementOutcome FinishInterruptedPlacement(const std::string& folder) {
    const PlacementRecord record = ReadPlacementRecord(folder);
    const std::string recordPath = PlacementRecordPath(folder);
    switch (record.Kind) {
    case PlacementRecord::State::None:
        return {};
    case PlacementRecord::State::Unfinished:
        // Cut short while it was written: nothing moved.
        if (!RemovePlacementRecord(folder))
            return Outcome(Result::Unfinished, recordPath, errno);
        return {};
    case PlacementRecord::State::Unreadable:
        return Outcome(Result::Unfinished, recordPath, record.Error);
    case PlacementRecord::State::Present:
        break;
    }
    const fs::TerminationHeld untilItEnds;
    const std::vector<PlacementStep>& steps = record.Steps;
    if (!record.Moved) {
        // Steps are made in their order and taken back in the opposite one, and no name a step
        // fills is emptied by a later step: the steps made are those up to the first whose name
        // to take is still free.
        const PlacementProgress progress = ProgressOf(folder, steps);
        const std::size_t made = progress.Made;
        // A rename left half made is finished first: both names lead to one file.
        if (progress.HalfMade && !fs::Unlink(PathIn(folder, steps[made - 1].From)))
            return StepFailed(Result::Unfinished, folder, steps[made - 1]);
        if (!progress.Forward) {
            // A file the placement was to move is gone (the new backup's cabinets were removed
            // when its run failed): the placement is taken back.
            std::size_t failedAt = 0;
            if (!TakeBack(folder, steps, made, failedAt))
                return Outcome(Result::Unfinished, PathIn(folder, steps[failedAt].To), errno,
                               PathIn(folder, steps[failedAt].From));
            fs::SyncFolder(folder, recordPath);
            if (!RemovePlacementRecord(folder))
                return Outcome(Result::Unfinished, recordPath, errno);
            return {};
        }
        for (std::size_t i = made; i < steps.size(); ++i) {
            if (!fs::RenameNoReplace(PathIn(folder, steps[i].From), PathIn(folder, steps[i].To)))
                return StepFailed(Result::Unfinished, folder, steps[i]);
        }
        if (!fs::SyncFolder(folder, recordPath))
            return Outcome(Result::Unfinished, folder, errno);
    }
    PlacementOutcome outcome = Close(folder, steps, record.Moved);
    if (outcome.Kind != Result::Done)
        outcome.Kind = Result::Unfinished;
    return outcome;
}

PlacementOutcome PlaceBackup(const std::vector<std::string>& cabinets, const std::string& archive,
                             const BackupRequest& request, BackupReport& report) {
    const bool dateTime = names::IsDateTimeArchive(names::NameOf(archive));
    // Keeping no copy once the first copy is there, the archive simply gives way to the new one.
    // Archives named after the date and time are kept to their number by pruning, not by a series
    // of copies: a second backup in the same minute takes the place of the first.
    const bool replace = request.ReplaceExisting || dateTime ||
                         (request.Depth < 1 && Exists(names::SeriesCopy(archive, 1)));
    PlacementPlanner planner(archive);
    const bool planned = (replace ? planner.Replace() : planner.Rotate(request.Depth)) &&
                         planner.PlaceNew(cabinets) && (!dateTime || planner.Prune(request.Depth));
    PlacementOutcome outcome;
    if (!planned) {
        outcome.Kind = Result::NotPlanned;
        outcome.Plan = planner.Failure().value_or(PlanFailure{});
    } else {
        outcome = CarryOutPlacement(planner.Plan());
    }
    if (outcome.Kind != Result::Done)
        report.AddText(PlacementProblemText(outcome, names::FolderOf(archive)));
    return outcome;
}

std::string PlacementProblemText(const PlacementOutcome& outcome, const std::string& folder) {
    switch (outcome.Kind) {
    case Result::Done:
        return {};
    case Result::NotPlanned:
        return outcome.Plan.PartTaken ? PartNameTakenText(outcome.Plan.File)
                                      : RotationFailedText(outcome.Plan.File, outcome.Plan.Error,
                                                           outcome.Plan.NotAFile);
    case Result::NoRecord:
        return PlacementRecordFailedText(folder, outcome.Error);
    case Result::Undone:
    case Result::Unfinished:
        return PlacementMoveFailedText(outcome.File, outcome.Target, outcome.Error,
                                       outcome.NewBackup, outcome.Going,
                                       outcome.Kind == Result::Undone);
    case Result::Placed:
        return outcome.Going ? OldBackupNotDeletedText(outcome.File, outcome.Error)
                             : PlacementNotClosedText(folder, outcome.Error);
    }
    return {};
}

} // namespace ostrivane::run
