// The check of a backup's input before a backup started by the user, with its messages, and the
// forms the destination fields are brought to: one set of rules for the window's backup button
// and for the front end's backup of a settings file.
#pragma once

#include "settings/SettingsKeys.h"
#include "settings/Zaloha.h"

#include <QString>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace ostrivane::job {

// What the check looks at, the texts as the fields hold them.
struct BackupInput {
    // Per day, Monday first: the text of its time field while the day is ticked (the field is
    // enabled only then), nothing otherwise.
    std::array<std::optional<QString>, settings::kDayCount> TickedTimes;
    TZalohaList Sources;
    QString Destination; // the destination folder
    QString ArchiveName;
    bool NameTypedByHand = true; // the first naming choice: scheduled archives use the name too
};

enum class InputProblem { None, InvalidTime, NoSources, NoDestination, NoArchiveName };

struct InputCheck {
    InputProblem Problem = InputProblem::None;
    int Day = 0;     // the day (1 = Monday) of an invalid time
    QString Message; // what the user is told
    // Without a problem: the texts the two fields hold after the check (a missing name made
    // "MyBackUp", both brought to their normal form as leaving the fields does).
    QString ArchiveName;
    QString Destination;
};

// The check, in this order: the time of every ticked day, a source at all, an existing
// destination folder (the user's documents folder is made first, see below), an archive name when
// names are typed by hand.
InputCheck CheckBackupInput(const BackupInput& input);

// Makes the destination folder the destination field names when it is the user's documents
// folder (the first destination of a new account) and missing, and its parent exists: a new
// account's first backup must not fail for want of it. Any other folder is left to the user.
void MakeDocumentsDestination(const QString& destinationField);

// The archive name field's text once the field is left: a trimmed name without ".cab" gets it in
// place of everything from its first "." on; any other text stays as it is.
QString NormalArchiveName(const QString& text);
// The name a backup run uses for the archive name field's text: "MyBackUp" for an empty field,
// then as NormalArchiveName leaves it.
QString ArchiveNameOfField(const QString& text);
// The destination field's text once the field is left: a trimmed folder loses one trailing "/";
// any other text stays as it is.
QString NormalDestination(const QString& text);
// The archive path the backup button forms from the two fields.
std::string ArchivePath(const QString& destination, const QString& archiveName);
// One FileSpec line, folder + "/" + mask, per source whose trimmed folder and mask are both
// non-empty, in the list's order.
std::vector<std::string> FileSpecLines(const TZalohaList& sources);
// The number of earlier archives to keep, from the keep-count field's text: its digits as a
// number, 1 when there are none (or too many).
int DepthOfField(const QString& text);

} // namespace ostrivane::job
