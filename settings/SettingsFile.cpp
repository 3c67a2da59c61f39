#include "settings/SettingsFile.h"

#include "settings/SettingsKeys.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace ostrivane::settings {

namespace {

std::string Utf8(const QString& text) {
    return text.toStdString();
}

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// Makes `folder` and the folders missing above it, each for this user alone (0700), as a
// configuration folder in the user's home should be. True when the folder exists afterwards.
bool MakeMissingFolders(const QString& folder) {
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (info.exists() || info.isSymLink())
        return false;
    const QString parent = info.absolutePath();
    if (parent != folder && !MakeMissingFolders(parent))
        return false;
    return ::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || errno == EEXIST;
}

} // namespace

SettingsFile::SettingsFile(const QString& path)
    : path_(QFileInfo(path).absoluteFilePath()), profile_(QFile::encodeName(path).toStdString()) {}

QString SettingsFile::Path() const {
    return path_;
}

QString SettingsFile::ReadText(const QString& section, const QString& key,
                               const QString& def) const {
    return FromUtf8(profile_.GetString(Utf8(section), Utf8(key), Utf8(def)));
}

int SettingsFile::ReadInt(const QString& section, const QString& key, int def) const {
    return profile_.GetInt(Utf8(section), Utf8(key), def);
}

bool SettingsFile::ReadBool(const QString& section, const QString& key) const {
    return ReadInt(section, key, 0) != 0;
}

bool SettingsFile::WriteText(const QString& section, const QString& key, const QString& value) {
    return profile_.WriteString(Utf8(section), Utf8(key), Utf8(value));
}

void SettingsFile::WriteInt(const QString& section, const QString& key, int value) {
    profile_.WriteString(Utf8(section), Utf8(key), std::to_string(value));
}

void SettingsFile::WriteBool(const QString& section, const QString& key, bool value) {
    profile_.WriteString(Utf8(section), Utf8(key), value ? "1" : "0");
}

void SettingsFile::EraseSection(const QString& section) {
    profile_.EraseSection(Utf8(section));
}

bool SettingsFile::Unreadable() const {
    return profile_.Unreadable();
}

std::optional<QString> SettingsFile::UnstorableLine() const {
    if (const auto line = profile_.UnstorableLine())
        return FromUtf8(*line);
    return std::nullopt;
}

bool SettingsFile::Flush() {
    MakeMissingFolders(QFileInfo(path_).absolutePath());
    return profile_.Flush();
}

TZalohaList ReadSources(const SettingsFile& file) {
    TZalohaList sources;
    for (int i = 0; i < kMaxSourcePairs; ++i) {
        TZaloha entry{file.ReadText(kSectionSources, SourceFolderKey(i), kMissingFolder),
                      file.ReadText(kSectionSources, SourceMaskKey(i), kMissingMask)};
        if (entry.Folder == kMissingFolder && entry.Mask == kMissingMask)
            break;
        sources.push_back(std::move(entry));
    }
    return sources;
}

bool WriteSources(SettingsFile& file, const TZalohaList& sources, QString* refused) {
    file.EraseSection(kSectionSources);
    int i = 0;
    for (const TZaloha& entry : sources) {
        if (!file.WriteText(kSectionSources, SourceFolderKey(i), entry.Folder)) {
            *refused = entry.Folder;
            return false;
        }
        if (!file.WriteText(kSectionSources, SourceMaskKey(i), entry.Mask)) {
            *refused = entry.Mask;
            return false;
        }
        ++i;
    }
    return true;
}

bool IsStorable(const QString& text) {
    return profile::PrivateProfile::IsRepresentable(Utf8(text));
}

} // namespace ostrivane::settings
