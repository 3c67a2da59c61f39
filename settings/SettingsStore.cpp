#include "settings/SettingsStore.h"

#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"
#include "platform/profile/IntegerText.h"
#include "platform/profile/PrivateProfile.h"
#include "platform/text/TextTrim.h"

#include <sys/stat.h>

#include <optional>

namespace ostrivane::settings {

namespace {

using profile::PrivateProfile;

std::int32_t IntegerOf(const Default& def) {
    return profile::ParseProfileInt(def.Text()).value_or(0);
}

void ReadKey(const PrivateProfile& file, const KeyRow& row, SettingsRecord& record) {
    if (const auto* text = std::get_if<TextField>(&row.Fill))
        (*text)(record) = file.GetString(kSectionSettings, row.Key, row.Def.Text());
    else if (const auto* flag = std::get_if<FlagField>(&row.Fill))
        (*flag)(record) = file.GetInt(kSectionSettings, row.Key, IntegerOf(row.Def)) != 0;
    else
        std::get<NumberField>(row.Fill)(record) =
            file.GetInt(kSectionSettings, row.Key, IntegerOf(row.Def));
}

// The key's value as it is stored; false, writing nothing, when it cannot be stored.
bool WriteKey(PrivateProfile& file, const KeyRow& row, SettingsRecord& record,
              std::string& stored) {
    if (const auto* text = std::get_if<TextField>(&row.Fill))
        stored = text::TrimBlanks((*text)(record));
    else if (const auto* flag = std::get_if<FlagField>(&row.Fill))
        stored = (*flag)(record) ? "1" : "0";
    else
        stored = std::to_string(std::get<NumberField>(row.Fill)(record));
    return file.WriteString(kSectionSettings, row.Key, stored);
}

template <class Item, std::size_t Columns>
void ReadList(const PrivateProfile& file, const ListRow<Item, Columns>& list,
              SettingsRecord& record) {
    std::vector<Item>& items = record.*list.Items;
    for (int n = 0; n < list.Most; ++n) {
        Item item;
        bool any = false;
        for (const ListColumn<Item>& column : list.Keys) {
            item.*column.Text = file.GetString(
                list.Section, std::string(column.Prefix) + std::to_string(n), column.Missing);
            any = any || item.*column.Text != column.Missing;
        }
        if (!any)
            break;
        items.push_back(std::move(item));
    }
}

// Nothing when every item was written; else the first text that cannot be stored (the writing
// stops there).
template <class Item, std::size_t Columns>
std::optional<std::string> WriteList(PrivateProfile& file, const ListRow<Item, Columns>& list,
                                     const SettingsRecord& record) {
    file.EraseSection(list.Section);
    int n = 0;
    for (const Item& item : record.*list.Items) {
        for (const ListColumn<Item>& column : list.Keys) {
            const std::string& text = item.*column.Text;
            if (!file.WriteString(list.Section, std::string(column.Prefix) + std::to_string(n),
                                  text))
                return text;
        }
        ++n;
    }
    return std::nullopt;
}

} // namespace

LoadedSettings LoadSettings(const std::string& path) {
    LoadedSettings loaded;
    struct stat st {};
    loaded.Missing = ::stat(path.c_str(), &st) != 0;
    const PrivateProfile file(path);
    loaded.Unreadable = file.Unreadable();
    for (const KeyRow& row : kSettingsKeys)
        ReadKey(file, row, loaded.Record);
    ReadList(file, kSourceList, loaded.Record);
    ReadList(file, kExclusionList, loaded.Record);
    return loaded;
}

SaveOutcome SaveSettings(const std::string& path, const SettingsRecord& record) {
    PrivateProfile file(path);
    SettingsRecord fields = record;     // the table reaches the fields of a record it may change
    std::optional<std::string> refused; // the first text that cannot be stored
    for (const KeyRow& row : kSettingsKeys) {
        std::string stored;
        if (!WriteKey(file, row, fields, stored) && !refused)
            refused = stored;
    }
    if (!refused)
        refused = WriteList(file, kSourceList, record);
    if (!refused)
        refused = WriteList(file, kExclusionList, record);
    if (!refused)
        refused = file.UnstorableLine();
    if (refused)
        return {SaveResult::Unstorable, *refused};
    fs::CreateDirectories(fs::FolderOf(path), 0700);
    return {file.Flush() ? SaveResult::Saved : SaveResult::NotWritten, {}};
}

bool IsStorable(std::string_view text) {
    return PrivateProfile::IsRepresentable(text);
}

} // namespace ostrivane::settings
