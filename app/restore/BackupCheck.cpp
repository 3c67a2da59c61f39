#include "app/restore/BackupCheck.h"

#include "app/restore/RestoreTexts.h"
#include "cabinet/read/CabinetSetTest.h"

namespace ostrivane::restore {

CheckSummary CheckBackup(const Backup& backup, const std::atomic<bool>* cancel,
                         const std::function<void(std::uint64_t bytes)>& progress) {
    CheckSummary summary;
    for (const PartProblem& problem : backup.SetProblems)
        summary.Problems.push_back({problem.Part, true, PartProblemText(problem), true});
    const CabinetSetTestResult result = TestCabinetSet(
        backup.Parts,
        [&summary](const std::string& part, const std::string& name, const std::string& reason) {
            summary.Problems.push_back({name.empty() ? part : name, name.empty(), reason});
        },
        [cancel] { return cancel == nullptr || !cancel->load(); }, progress);
    summary.Good = result.Good;
    summary.Bad = result.Bad + static_cast<int>(backup.SetProblems.size());
    summary.Cancelled = !result.Completed;
    return summary;
}

} // namespace ostrivane::restore
