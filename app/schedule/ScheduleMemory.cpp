#include "app/schedule/ScheduleMemory.h"

#include "platform/profile/AtomicFile.h"

#include <QStringList>

namespace ostrivane {

namespace {

const QString kWatchedUntil = QStringLiteral("watched-until");
const QString kOnSince = QStringLiteral("on-since");
constexpr unsigned kFileMode = 0600;

std::string FilePath(const std::string& folder) {
    return folder.empty() ? std::string() : folder + "/schedule";
}

QString Line(const QString& key, const QDateTime& time) {
    if (!time.isValid())
        return {};
    // Local time with its offset, as the history writes it.
    const QDateTime local = time.toLocalTime();
    return key + u'=' + local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate) + u'\n';
}

} // namespace

ScheduleMemory::ScheduleMemory(std::string folder) : folder_(std::move(folder)) {
    std::string contents;
    if (folder_.empty() ||
        profile::ReadWholeFile(FilePath(folder_), contents) != profile::ReadResult::Read)
        return;
    for (const QString& line : QString::fromUtf8(contents).split(u'\n')) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QDateTime time = QDateTime::fromString(line.mid(equals + 1).trimmed(), Qt::ISODate);
        if (!time.isValid())
            continue;
        if (key == kWatchedUntil)
            watchedUntil_ = time;
        else if (key == kOnSince)
            onSince_ = time;
    }
}

bool ScheduleMemory::Save() const {
    if (folder_.empty() || !run::MakeStateFolder(folder_))
        return false;
    const QString text = Line(kWatchedUntil, watchedUntil_) + Line(kOnSince, onSince_);
    return profile::ReplaceFile(FilePath(folder_), text.toStdString(), kFileMode) ==
           profile::ReplaceResult::Replaced;
}

} // namespace ostrivane
