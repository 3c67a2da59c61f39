#include "app/job/InputCheck.h"

#include "app/job/FolderField.h"
#include "app/schedule/TimeOfDay.h"
#include "desktop/UserDirs.h"
#include "platform/fs/FileSystem.h"
#include "settings/TextTrim.h"

#include <QDir>
#include <QFileInfo>

namespace ostrivane::job {

namespace {

// The archive name of a backup whose archives are named after the date and time when the name
// field was left empty.
const QString kNameWhenEmpty = QStringLiteral("MyBackUp");

InputCheck Problem(InputProblem problem, const QString& message, int day = 0) {
    InputCheck check;
    check.Problem = problem;
    check.Day = day;
    check.Message = message;
    return check;
}

} // namespace

InputCheck CheckBackupInput(const BackupInput& input) {
    for (int day = 1; day <= settings::kDayCount; ++day) {
        const auto& time = input.TickedTimes[static_cast<std::size_t>(day - 1)];
        if (time && !IsValidTimeOfDay(TrimBlanks(*time)))
            return Problem(InputProblem::InvalidTime,
                           QStringLiteral("Zadán špatný formát času ") + TrimBlanks(*time), day);
    }
    if (input.Sources.empty())
        return Problem(InputProblem::NoSources,
                       QStringLiteral("Nejsou vybrány žádné soubory do archívu !"));
    MakeDocumentsDestination(input.Destination);
    // The emptied text is the root, which leaving the field made of "/".
    if (!fs::IsDirectory(FolderOfField(TrimBlanks(input.Destination)).toStdString()))
        return Problem(
            InputProblem::NoDestination,
            QStringLiteral("Neexistuje nebo nebyl vybrán adresář nebo disk pro uložení archívu !"));
    if (input.NameTypedByHand && TrimBlanks(input.ArchiveName).isEmpty())
        return Problem(InputProblem::NoArchiveName,
                       QStringLiteral("Nebyl vybrán soubor archívu !"));
    InputCheck check;
    check.ArchiveName = ArchiveNameOfField(input.ArchiveName);
    check.Destination = NormalDestination(input.Destination);
    return check;
}

void MakeDocumentsDestination(const QString& destinationField) {
    const QString documents = desktop::DocumentsFolder();
    const QString folder = FolderOfField(TrimBlanks(destinationField));
    if (documents.isEmpty() || QDir::cleanPath(folder) != QDir::cleanPath(documents))
        return;
    const QFileInfo info(documents);
    if (!info.exists() && !info.isSymLink() && info.dir().exists())
        QDir().mkdir(documents);
}

QString NormalArchiveName(const QString& text) {
    const QString name = TrimBlanks(text);
    if (name.contains(QStringLiteral(".cab")) || name.isEmpty())
        return text;
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return (dot >= 0 ? name.left(dot) : name) + QStringLiteral(".cab");
}

QString ArchiveNameOfField(const QString& text) {
    return NormalArchiveName(TrimBlanks(text).isEmpty() ? kNameWhenEmpty : text);
}

QString NormalDestination(const QString& text) {
    const QString folder = TrimBlanks(text);
    return folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : text;
}

std::string ArchivePath(const QString& destination, const QString& archiveName) {
    return (TrimBlanks(destination) + QLatin1Char('/') + TrimBlanks(archiveName)).toStdString();
}

std::vector<std::string> FileSpecLines(const TZalohaList& sources) {
    std::vector<std::string> lines;
    for (const TZaloha& source : sources) {
        const QString folder = TrimBlanks(source.Folder);
        const QString mask = TrimBlanks(source.Mask);
        if (!folder.isEmpty() && !mask.isEmpty())
            lines.push_back(PathInFolder(folder, mask).toStdString());
    }
    return lines;
}

int DepthOfField(const QString& text) {
    QString digits = TrimBlanks(text);
    digits.removeIf([](QChar c) { return c < QLatin1Char('0') || c > QLatin1Char('9'); });
    bool ok = false;
    const int depth = digits.toInt(&ok, 10);
    return ok ? depth : 1;
}

} // namespace ostrivane::job
