// What the user is told after a restore and after a test of a backup, in Czech.
#pragma once

#include "app/restore/BackupCatalog.h"
#include "app/restore/BackupCheck.h"
#include "app/restore/RestoreChoice.h"

#include <string>

namespace ostrivane::restore {

// The system's error number in words ("přístup odepřen").
std::string SystemErrorText(int error);

// What is wrong with a backup's set of cabinets, after the cabinet's name.
std::string PartProblemText(const PartProblem& problem);

// Why one file (or part, or folder) was not restored.
std::string ProblemText(const RestoreProblem& problem);

// The one message at the end of a restore: how many files were restored, how many of them
// beside a file of the same name, how many were found identical ("shodné") and left alone, and
// each that was not, with the reason (a folder that cannot
// be had is named once, with the number of its files).
std::string RestoreMessage(const RestoreSummary& summary);

// The result of the test of `backup`.
std::string CheckMessage(const Backup& backup, const CheckSummary& summary);

} // namespace ostrivane::restore
