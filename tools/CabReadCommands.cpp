#include "tools/CabReadCommands.h"

#include "cabinet/format/ArchiveParts.h"
#include "cabinet/read/CabinetReader.h"
#include "cabinet/read/CabinetRestore.h"
#include "cabinet/read/CabinetSetTest.h"
#include "platform/cabformat/CabinetFormat.h"
#include "platform/fs/DosDateTime.h"
#include "platform/fs/Paths.h"

#include <cstdio>

namespace cabtool {

namespace {

// Names come from the archive: control characters are shown as "?" so that they cannot steer
// the terminal.
std::string Printable(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = '?';
    }
    return text;
}

void PrintProblem(const std::string& where, const std::string& name, const std::string& reason) {
    if (name.empty())
        std::fprintf(stderr, "ostrivane-cab: %s: %s\n", Printable(where).c_str(), reason.c_str());
    else
        std::fprintf(stderr, "ostrivane-cab: %s: %s: %s\n", Printable(where).c_str(),
                     Printable(name).c_str(), reason.c_str());
}

// The set of the backup whose first cabinet is `archive`, its problems printed; false when it
// has any.
bool ReadSet(const std::string& archive, ostrivane::ArchiveSet& set) {
    set = ostrivane::ReadArchiveSet(archive);
    for (const ostrivane::PartProblem& problem : set.Problems)
        PrintProblem(problem.Part, "", ostrivane::DescribePartProblem(problem));
    if (set.PlacementPending)
        PrintProblem(ostrivane::fs::FolderOf(archive), "",
                     "přesun záloh v této složce byl přerušen; čteno tak, jak bude po jeho "
                     "dokončení příští zálohou do této složky");
    return set.Problems.empty();
}

std::string AttributeLetters(std::uint16_t attributes) {
    std::string letters = "-----";
    const char marks[] = {'r', 'h', 's', 'a', 'x'};
    using namespace ostrivane::cabformat;
    const std::uint16_t bits[] = {kAttrReadOnly, kAttrHidden, kAttrSystem, kAttrArchive,
                                  kAttrExecute};
    for (std::size_t i = 0; i < letters.size(); ++i) {
        if (attributes & bits[i])
            letters[i] = marks[i];
    }
    return letters;
}

} // namespace

int ListArchive(const std::string& archive) {
    ostrivane::ArchiveSet set;
    bool failed = !ReadSet(archive, set);
    ListCabinetSet(
        set.Parts,
        [](const CabinetEntry& entry) {
            const auto at = ostrivane::fs::UnpackDosDateTime(entry.Date, entry.Time);
            std::printf("%10u  %04d-%02d-%02d %02d:%02d:%02d  %s  %s\n", entry.Size, at.Year,
                        at.Month, at.Day, at.Hour, at.Minute, at.Second,
                        AttributeLetters(entry.Attributes).c_str(), Printable(entry.Name).c_str());
        },
        [&failed](const std::string& part, const std::string& problem) {
            failed = true;
            PrintProblem(part, "", problem);
        });
    return failed ? 1 : 0;
}

int TestArchives(const std::vector<std::string>& archives, bool quiet) {
    bool failed = false;
    for (const std::string& archive : archives) {
        ostrivane::ArchiveSet set;
        const bool whole = ReadSet(archive, set);
        const CabinetSetTestResult result = TestCabinetSet(
            set.Parts, [](const std::string& part, const std::string& name,
                          const std::string& reason) { PrintProblem(part, name, reason); });
        failed = failed || result.Bad > 0 || !whole;
        if (!quiet) {
            std::printf("%s: dobrých souborů: %d", Printable(archive).c_str(), result.Good);
            if (result.Bad > 0)
                std::printf(", vadných: %d", result.Bad);
            if (!whole)
                std::printf(", vad sady částí: %zu", set.Problems.size());
            std::printf("\n");
        }
    }
    return failed ? 1 : 0;
}

int ExtractArchive(const std::string& folder, const std::string& archive,
                   const std::vector<std::string>& patterns, bool overwrite, bool quiet) {
    RestoreOptions options;
    // The reader's own decoding, every folder on a core of its own; its blocks are checked as
    // they are read and every file against the catalog's CRC-64.
    options.Decoder = CabinetDecoder::Own;
    options.Overwrite = overwrite;
    options.Patterns = patterns;
    // Every file the cabinets that belong to the backup hold is restored, whatever is wrong
    // with the rest of its set.
    ostrivane::ArchiveSet set;
    const bool whole = ReadSet(archive, set);
    const RestoreOutcome outcome =
        RestoreCabinetSet(set.Parts, folder, options, [](const RestoreProblem& problem) {
            PrintProblem(problem.Name, "", problem.Text);
        });
    for (const std::string& pattern : outcome.UnmatchedPatterns)
        PrintProblem(pattern, "", "žádný soubor archívu neodpovídá");
    if (!quiet)
        std::fprintf(stderr, "Do adresáře %s obnoveno souborů: %d\n", Printable(folder).c_str(),
                     outcome.Restored);
    return outcome.Complete() && whole ? 0 : 1;
}

} // namespace cabtool
