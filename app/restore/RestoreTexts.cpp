#include "app/restore/RestoreTexts.h"

#include "app/restore/BesideName.h"
#include "archive/naming/ArchiveNames.h"
#include "cabinet/format/ReadReasons.h"

#include <cerrno>
#include <map>
#include <utility>

namespace ostrivane::restore {

namespace {

// At most this many lines name failures; the rest are counted.
constexpr std::size_t kMostListedProblems = 25;

// Lines of a list, each after a bullet, the ones past the limit counted at the end.
class ProblemList {
public:
    void Add(const std::string& line) {
        if (listed_ < kMostListedProblems) {
            text_ += "\n\u2022 " + line;
            ++listed_;
        } else {
            ++more_;
        }
    }
    std::string Text() const {
        return more_ == 0 ? text_ : text_ + "\n\u2026 a dalších " + std::to_string(more_);
    }

private:
    std::string text_;
    std::size_t listed_ = 0;
    std::size_t more_ = 0;
};

std::string Quoted(const std::string& text) {
    return "\u201E" + text + "\u201C";
}

} // namespace

std::string SystemErrorText(int error) {
    return reasons::SystemError(error);
}

std::string PartProblemText(const PartProblem& problem) {
    return names::NameOf(problem.Part) + ": " + DescribePartProblem(problem);
}

std::string ProblemText(const RestoreProblem& problem) {
    switch (problem.Kind) {
    case RestoreFailure::Refused:
        return problem.Error == ELOOP || problem.Error == ENOTDIR
                   ? "v cestě je odkaz nebo soubor místo složky, obnova odmítnuta"
                   : "název v záloze není bezpečný, obnova odmítnuta";
    case RestoreFailure::Damaged:
        return "data v záloze jsou poškozená";
    case RestoreFailure::Unreadable:
        return "část zálohy nelze přečíst";
    case RestoreFailure::Unplaced:
        return "původní místo není známo";
    case RestoreFailure::Kept:
        return "soubor stejného názvu existuje a zůstal beze změny";
    case RestoreFailure::FolderFailed:
        return "složku " + Quoted(problem.Folder) +
               " nelze vytvořit ani do ní zapisovat: " + SystemErrorText(problem.Error);
    case RestoreFailure::WriteFailed:
        return "soubor nelze zapsat: " + SystemErrorText(problem.Error);
    }
    return {};
}

std::string RestoreMessage(const RestoreSummary& summary) {
    std::string text;
    if (summary.Cancelled)
        text += "Obnova byla zrušena.\n";
    text += "Obnoveno souborů: " + std::to_string(summary.Restored);
    text +=
        "\nUloženo vedle existujícího souboru stejného názvu: " + std::to_string(summary.Beside);
    if (summary.Identical > 0)
        text += "\nShodné se zálohou, ponechány beze změny: " + std::to_string(summary.Identical);
    if (summary.Problems.empty())
        return text;
    text += "\nNeobnoveno: " + std::to_string(summary.Problems.size());
    // A folder that cannot be had fails every file below it: it is named once.
    std::map<std::pair<std::string, int>, int> folders;
    for (const RestoreProblem& problem : summary.Problems) {
        if (problem.Kind == RestoreFailure::FolderFailed)
            ++folders[{problem.Folder, problem.Error}];
    }
    ProblemList list;
    for (const RestoreProblem& problem : summary.Problems) {
        if (problem.Kind == RestoreFailure::FolderFailed) {
            const auto folder = folders.find({problem.Folder, problem.Error});
            if (folder == folders.end())
                continue;
            list.Add(ProblemText(problem) + " (souborů: " + std::to_string(folder->second) + ")");
            folders.erase(folder);
        } else if (problem.Kind == RestoreFailure::Unreadable) {
            list.Add(names::NameOf(problem.Name) + ": " + ProblemText(problem));
        } else {
            list.Add(problem.Name + ": " + ProblemText(problem));
        }
    }
    return text + list.Text();
}

std::string CheckMessage(const Backup& backup, const CheckSummary& summary) {
    const std::string which =
        "Záloha " + Quoted(names::NameOf(backup.Archive)) + " z " + BackupStamp(backup.Made);
    if (summary.Cancelled)
        return "Ověření zálohy " + Quoted(names::NameOf(backup.Archive)) + " bylo zrušeno.";
    if (summary.Bad == 0)
        return which + " je v pořádku.\nČitelných souborů: " + std::to_string(summary.Good);
    std::string text = which +
                       " je poškozená.\nČitelných souborů: " + std::to_string(summary.Good) +
                       "\nPoškozeno: " + std::to_string(summary.Bad);
    ProblemList list;
    for (const CheckSummary::Problem& problem : summary.Problems)
        list.Add(problem.InSet ? problem.Reason
                 : problem.WholePart
                     ? "část zálohy " + Quoted(names::NameOf(problem.Name)) + " nelze přečíst"
                     : problem.Name + ": " + problem.Reason);
    return text + list.Text();
}

} // namespace ostrivane::restore
