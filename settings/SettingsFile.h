// The settings file seen with Qt texts: one profile file opened for a load or a save, and the
// list of backup sources kept in its "Archivace" section.
#pragma once

#include "platform/profile/PrivateProfile.h"
#include "settings/Zaloha.h"

#include <QString>

#include <optional>

namespace ostrivane::settings {

class SettingsFile {
public:
    // Reads `path` if it exists; a missing file reads as empty.
    explicit SettingsFile(const QString& path);

    // The file's full path, as shown in messages.
    QString Path() const;

    QString ReadText(const QString& section, const QString& key, const QString& def) const;
    int ReadInt(const QString& section, const QString& key, int def) const;
    // An integer other than 0 is true; a missing key or a text that is no integer is false.
    bool ReadBool(const QString& section, const QString& key) const;

    // False, changing nothing, when `value` cannot be stored in Windows-1250.
    bool WriteText(const QString& section, const QString& key, const QString& value);
    void WriteInt(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void EraseSection(const QString& section);

    // True when the file exists but could not be read; it is never replaced then.
    bool Unreadable() const;
    // A line of the file that Windows-1250 cannot hold (a file saved as UTF-8 by an editor);
    // the file cannot be replaced while there is one.
    std::optional<QString> UnstorableLine() const;

    // Replaces the file on disk, making the folders missing on the way to it (mode 0700); false
    // when it cannot be written (the old file stays).
    bool Flush();

private:
    QString path_;
    profile::PrivateProfile profile_;
};

// The pairs numbered from 0 up, as read (untrimmed); a pair with one key missing has the missing
// key's sentinel text, the first number with both keys missing ends the list, and at most
// kMaxSourcePairs are read.
TZalohaList ReadSources(const SettingsFile& file);

// Erases "Archivace" and writes one pair per source. When a text cannot be stored, the writing
// stops there and the text is returned in `refused`; the result is then false.
bool WriteSources(SettingsFile& file, const TZalohaList& sources, QString* refused);

// True when `text` can be stored in the settings file without loss.
bool IsStorable(const QString& text);

} // namespace ostrivane::settings
