// The check of a backup's input before a backup started by the user, with its messages, and the
// forms the destination fields are brought to: one set of rules for the window's backup button
// and for the front end's backup of a settings file. Plain C++; texts are UTF-8.
#pragma once

#include "app/schedule/TimeOfDay.h"
#include "settings/SettingsRecord.h"

#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace ostrivane::job {

using settings::SourcePair;

// What the check looks at, the texts as the fields hold them.
struct BackupInput {
    // Per day, Monday first: the text of its time field while the day is ticked (the field is
    // enabled only then), nothing otherwise.
    std::array<std::optional<std::string>, settings::kDayCount> TickedTimes;
    std::vector<SourcePair> Sources;
    std::string Destination; // the destination folder
    std::string ArchiveName;
    bool NameTypedByHand = true; // the first naming choice: scheduled archives use the name too
};

enum class InputProblem { None, InvalidTime, NoSources, NoDestination, NoArchiveName };

struct InputCheck {
    InputProblem Problem = InputProblem::None;
    int Day = 0;         // the day (1 = Monday) of an invalid time
    std::string Message; // what the user is told
    // Without a problem: the texts the two fields hold after the check (a missing name made
    // "MyBackUp", both brought to their normal form as leaving the fields does).
    std::string ArchiveName;
    std::string Destination;
};

// The check, in this order: the time of every ticked day (TimeOfDay.h), a source at all, an
// existing destination folder (the user's documents folder is made first, see below), an archive
// name when names are typed by hand.
InputCheck CheckBackupInput(const BackupInput& input);

// Makes the folder the destination field names when it is the user's documents folder (the first
// destination of a new account) and missing, and its parent exists: a new account's first backup
// must not fail for want of it. Any other folder is left to the user.
void MakeDocumentsDestination(const std::string& destinationField);

// What the window's fields would hold for `settings`, as the check looks at it.
BackupInput InputOfSettings(const settings::SettingsRecord& settings);

// The archive name field's text once the field is left: a trimmed name without ".cab" gets it in
// place of everything from its first "." on; any other text stays as it is.
std::string NormalArchiveName(const std::string& text);
// The name a backup run uses for the archive name field's text: "MyBackUp" for an empty field,
// then as NormalArchiveName leaves it.
std::string ArchiveNameOfField(const std::string& text);
// The destination field's text once the field is left: a trimmed folder loses one trailing "/";
// any other text stays as it is.
std::string NormalDestination(const std::string& text);
// The archive path the backup button forms from the two fields.
std::string ArchivePath(const std::string& destination, const std::string& archiveName);
// The job the two fields describe, as the history of runs names it (run::JobOfArchive): the
// archive path the backup button forms once the check has brought the fields to their normal
// form. Every run of the window and of --settings for these fields belongs to it, the scheduled
// ones named after the date and time included.
std::string JobOfFields(const std::string& destination, const std::string& archiveName);
// The archive path of a scheduled run started at `start` (local time): the destination field's
// folder and either the archive name field's text (`nameTypedByHand`) or a name made of the date
// and time (names::DateTimeName), both as the fields hold them, with no check and no normal form.
std::string ScheduledArchivePath(const std::string& destination, const std::string& archiveName,
                                 bool nameTypedByHand, const std::tm& start);
// One FileSpec line, folder + "/" + mask, per source whose trimmed folder and mask are both
// non-empty, in the list's order.
std::vector<std::string> FileSpecLines(const std::vector<SourcePair>& sources);
// The number of earlier archives to keep, from the keep-count field's text: its digits as a
// number, 1 when there are none (or too many).
int DepthOfField(const std::string& text);

} // namespace ostrivane::job
