#include "app/job/InputCheck.h"

#include "app/run/RunHistory.h"
#include "archive/naming/ArchiveNames.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"
#include "platform/text/TextTrim.h"
#include "platform/userdirs/UserDirs.h"

#include <charconv>

#include <sys/stat.h>

namespace ostrivane::job {

namespace {

using text::TrimBlanks;

// The archive name of a backup whose archives are named after the date and time when the name
// field was left empty.
constexpr std::string_view kNameWhenEmpty = "MyBackUp";

InputCheck Problem(InputProblem problem, std::string message, int day = 0) {
    InputCheck check;
    check.Problem = problem;
    check.Day = day;
    check.Message = std::move(message);
    return check;
}

// The folder fields keep a folder without its trailing "/", so the root "/" reads as the empty
// text there: the folder a field's trimmed text names.
std::string FolderOfField(std::string_view trimmed) {
    return trimmed.empty() ? "/" : std::string(trimmed);
}

// `folder` + "/" + `name`, with no second "/" after a folder that ends in one (the root "/").
std::string PathInFolder(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.ends_with('/'))
        path += '/';
    return path += name;
}

} // namespace

InputCheck CheckBackupInput(const BackupInput& input) {
    for (int day = 1; day <= settings::kDayCount; ++day) {
        const auto& time = input.TickedTimes[static_cast<std::size_t>(day - 1)];
        if (time && !IsValidTimeOfDay(*time))
            return Problem(InputProblem::InvalidTime,
                           "Zadán špatný formát času " + std::string(TrimBlanks(*time)), day);
    }
    if (input.Sources.empty())
        return Problem(InputProblem::NoSources, "Nejsou vybrány žádné soubory do archívu !");
    MakeDocumentsDestination(input.Destination);
    // The emptied text is the root, which leaving the field made of "/".
    if (!fs::IsDirectory(FolderOfField(TrimBlanks(input.Destination))))
        return Problem(InputProblem::NoDestination,
                       "Neexistuje nebo nebyl vybrán adresář nebo disk pro uložení archívu !");
    if (input.NameTypedByHand && TrimBlanks(input.ArchiveName).empty())
        return Problem(InputProblem::NoArchiveName, "Nebyl vybrán soubor archívu !");
    InputCheck check;
    check.ArchiveName = ArchiveNameOfField(input.ArchiveName);
    check.Destination = NormalDestination(input.Destination);
    return check;
}

void MakeDocumentsDestination(const std::string& destinationField) {
    const std::string documents = userdirs::DocumentsFolder();
    if (documents.empty() ||
        fs::PlainFolder(FolderOfField(TrimBlanks(destinationField))) != fs::PlainFolder(documents))
        return;
    // Only the last level: a missing parent means the folder is wrong rather than merely absent;
    // a file or a link in its place stays, and the check then refuses it.
    ::mkdir(documents.c_str(), 0777);
}

BackupInput InputOfSettings(const settings::SettingsRecord& settings) {
    BackupInput input;
    for (std::size_t day = 0; day < input.TickedTimes.size(); ++day) {
        if (settings.DayTicked[day])
            input.TickedTimes[day] = settings.DayTime[day];
    }
    input.Sources = settings.Sources;
    input.Destination = settings.Destination;
    input.ArchiveName = settings.ArchiveName;
    input.NameTypedByHand = settings.Naming == 0;
    return input;
}

std::string NormalArchiveName(const std::string& text) {
    const std::string_view name = TrimBlanks(text);
    if (name.find(".cab") != std::string_view::npos || name.empty())
        return text;
    return std::string(name.substr(0, name.find('.'))) + ".cab";
}

std::string ArchiveNameOfField(const std::string& text) {
    return NormalArchiveName(TrimBlanks(text).empty() ? std::string(kNameWhenEmpty) : text);
}

std::string NormalDestination(const std::string& text) {
    const std::string_view folder = TrimBlanks(text);
    if (!folder.ends_with('/'))
        return text;
    return std::string(folder.substr(0, folder.size() - 1));
}

std::string ArchivePath(const std::string& destination, const std::string& archiveName) {
    return std::string(TrimBlanks(destination)) + "/" + std::string(TrimBlanks(archiveName));
}

std::string JobOfFields(const std::string& destination, const std::string& archiveName) {
    return run::JobOfArchive(
        ArchivePath(NormalDestination(destination), ArchiveNameOfField(archiveName)));
}

std::string ScheduledArchivePath(const std::string& destination, const std::string& archiveName,
                                 bool nameTypedByHand, const std::tm& start) {
    if (nameTypedByHand)
        return ArchivePath(destination, archiveName);
    return ArchivePath(destination,
                       names::DateTimeName(start.tm_year + 1900, start.tm_mon + 1, start.tm_mday,
                                           start.tm_hour, start.tm_min));
}

std::vector<std::string> FileSpecLines(const std::vector<SourcePair>& sources) {
    std::vector<std::string> lines;
    for (const SourcePair& source : sources) {
        const std::string_view folder = TrimBlanks(source.Folder);
        const std::string_view mask = TrimBlanks(source.Mask);
        if (!folder.empty() && !mask.empty())
            lines.push_back(PathInFolder(folder, mask));
    }
    return lines;
}

int DepthOfField(const std::string& text) {
    std::string digits;
    for (const char c : TrimBlanks(text)) {
        if (c >= '0' && c <= '9')
            digits += c;
    }
    int depth = 1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), depth);
    return error == std::errc() && end == digits.data() + digits.size() ? depth : 1;
}

} // namespace ostrivane::job
