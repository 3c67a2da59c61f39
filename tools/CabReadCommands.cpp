#include "tools/CabReadCommands.h"

#include "cabinet/format/ArchiveParts.h"
#include "cabinet/read/CabinetReader.h"
#include "cabinet/read/CabinetRestore.h"
#include "cabinet/read/CabinetSetTest.h"
#include "platform/cabformat/CabinetFormat.h"
#include "platform/fs/DosDateTime.h"
#include "platform/fs/Paths.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>

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

// A time as the user reads it: local time, "2026-12-09 13:50:02".
std::string LocalTime(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    char text[32] = "";
    if (::localtime_r(&time, &local) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string DosTime(std::uint16_t date, std::uint16_t time) {
    const auto at = ostrivane::fs::UnpackDosDateTime(date, time);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", at.Year, at.Month, at.Day,
                  at.Hour, at.Minute, at.Second);
    return text;
}

} // namespace

int ListArchive(const std::string& archive) {
    ostrivane::ArchiveSet set;
    if (!ReadSet(archive, set))
        return 1; // a part missing, foreign or cut short: the list would not be the backup's
    bool failed = false;
    bool first = true;
    std::vector<ostrivane::cabformat::Catalog> catalogs;
    ListCabinetSet(
        set.Parts,
        [&first, &set](const CabinetEntry& entry) {
            if (first) {
                // A backup written before catalogs: the time of its first cabinet's file.
                struct stat info {};
                const std::int64_t made =
                    ::stat(set.Parts.front().c_str(), &info) == 0 ? info.st_mtim.tv_sec : 0;
                std::printf("%s  čas souboru zálohy (záloha nemá katalog)\n",
                            LocalTime(made).c_str());
                first = false;
            }
            const std::string when = entry.Recorded != nullptr
                                         ? LocalTime(entry.Recorded->Modified.Seconds)
                                         : DosTime(entry.Date, entry.Time);
            std::printf("%10u  %s  %s  %s\n", entry.Size, when.c_str(),
                        AttributeLetters(entry.Attributes).c_str(), Printable(entry.Name).c_str());
        },
        [&failed](const std::string& part, const std::string& problem) {
            failed = true;
            PrintProblem(part, "", problem);
        },
        [&first, &catalogs](const std::string&, const ostrivane::cabformat::Catalog& catalog) {
            if (first) {
                std::printf("%s  čas zálohy\n", LocalTime(catalog.Started.Seconds).c_str());
                first = false;
            }
            catalogs.push_back(catalog);
        });
    // What the cabinets hold beside the files: links and empty folders.
    using ostrivane::cabformat::CatalogKind;
    for (const ostrivane::cabformat::Catalog& catalog : catalogs) {
        for (const ostrivane::cabformat::CatalogEntry& entry : catalog.Entries) {
            std::string name(catalog.Name(entry));
            std::replace(name.begin(), name.end(), '\\', '/');
            if (entry.Kind == CatalogKind::Link)
                std::printf("%10u  %s  l----  %s -> %s\n", 0u,
                            LocalTime(entry.Modified.Seconds).c_str(), Printable(name).c_str(),
                            Printable(std::string(catalog.Target(entry))).c_str());
            else if (entry.EmptyFolder())
                std::printf("%10u  %s  d----  %s/\n", 0u, LocalTime(entry.Modified.Seconds).c_str(),
                            Printable(name).c_str());
        }
    }
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
