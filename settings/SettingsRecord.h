// The settings file "Ostrivane.ini" as one typed record. Every key is declared once, in the
// tables below, with the record's field it fills (whose type is the key's form: text, Boolean or
// integer) and its default; SettingsStore loads and saves the record by these tables alone, so
// that a new key is one row here and its use. The window maps the record to its controls and
// back; ostrivane-cab --settings maps it to a backup run.
//
// Forms in the file: a text as it is (written trimmed); a Boolean as "1" or "0", read as an
// integer other than 0; an integer in decimal, read as the profile layer reads integers. A key
// that is missing, or a Boolean or integer that holds no integer, takes the default.
#pragma once

#include "settings/SettingsLocation.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ostrivane::settings {

inline constexpr std::string_view kSectionSettings = "Nastavení";
inline constexpr std::string_view kSectionSources = "Archivace";
inline constexpr std::string_view kSectionExclusions = "Vyloučení";

inline constexpr int kDayCount = 7;
// Monday first: the keys of the days' tick boxes, and their captions.
inline constexpr std::array<std::string_view, kDayCount> kDayNames = {
    "Pondělí", "Úterý", "Středa", "Čtvrtek", "Pátek", "Sobota", "Neděle"};

// One backup source as the file holds it (UTF-8, untrimmed).
struct SourcePair {
    std::string Folder;
    std::string Mask;

    bool operator==(const SourcePair&) const = default;
};

// One exclusion pattern as the file holds it (UTF-8, untrimmed); its rules are the scan's
// (archive/scan/ExclusionPatterns.h).
struct ExclusionPattern {
    std::string Pattern;

    bool operator==(const ExclusionPattern&) const = default;
};

// The settings, UTF-8. A record made otherwise than by LoadSettings holds no defaults.
struct SettingsRecord {
    std::string Destination; // the destination folder
    std::string ArchiveName;
    std::string Depth;       // the text of the number of earlier archives to keep
    bool Automatic = false;  // scheduled backups on
    bool Subfolders = false; // subfolders backed up too
    std::array<bool, kDayCount> DayTicked{};
    std::array<std::string, kDayCount> DayTime;
    std::int32_t Naming = 0;   // scheduled archives: 0 the typed name, 1 date and time; -1 neither
    bool CatchUp = false;      // a missed scheduled backup is made afterwards
    bool RunOnBattery = false; // scheduled backups start on battery power too
    std::vector<SourcePair> Sources;
    std::vector<ExclusionPattern> Exclusions; // files and folders a backup leaves out

    bool operator==(const SettingsRecord&) const = default;
};

// The record's field that a key fills, the field's type being the key's form.
template <auto Member> constexpr auto& Field(SettingsRecord& record) {
    return record.*Member;
}
template <std::size_t Day> constexpr bool& Tick(SettingsRecord& record) {
    return record.DayTicked[Day];
}
template <std::size_t Day> constexpr std::string& Time(SettingsRecord& record) {
    return record.DayTime[Day];
}
using TextField = std::string& (*)(SettingsRecord&);
using FlagField = bool& (*)(SettingsRecord&);
using NumberField = std::int32_t& (*)(SettingsRecord&);

// A key's default as the file would hold it: a fixed text, or one found where the program runs.
struct Default {
    constexpr Default(const char* text) : text_(text) {}
    constexpr Default(std::string (*find)()) : find_(find) {}
    std::string Text() const { return find_ != nullptr ? find_() : std::string(text_); }

private:
    const char* text_ = "";
    std::string (*find_)() = nullptr;
};

struct KeyRow {
    std::string_view Key;
    std::variant<TextField, FlagField, NumberField> Fill;
    Default Def;
};

using R = SettingsRecord;

// Section "Nastavení", in the order the keys are written. Keys the table does not know stay in
// the file when it is saved.
inline constexpr KeyRow kSettingsKeys[] = {
    {"Adresář zálohy", &Field<&R::Destination>, DefaultDestination},
    {"Soubor zálohy", &Field<&R::ArchiveName>, "Záloha.zip"},
    {"Hloubka zálohy", &Field<&R::Depth>, "10"},
    {"Automatická záloha", &Field<&R::Automatic>, "0"},
    {"Podadresáře", &Field<&R::Subfolders>, "0"},
    // A day a line: its tick box, then its time.
    // clang-format off
    {kDayNames[0], &Tick<0>, "0"}, {"Pondělí čas", &Time<0>, "12:00"},
    {kDayNames[1], &Tick<1>, "0"}, {"Úterý čas", &Time<1>, "12:00"},
    {kDayNames[2], &Tick<2>, "0"}, {"Středa čas", &Time<2>, "12:00"},
    {kDayNames[3], &Tick<3>, "0"}, {"Čtvrtek čas", &Time<3>, "12:00"},
    {kDayNames[4], &Tick<4>, "0"}, {"Pátek čas", &Time<4>, "12:00"},
    {kDayNames[5], &Tick<5>, "0"}, {"Sobota čas", &Time<5>, "12:00"},
    {kDayNames[6], &Tick<6>, "0"}, {"Neděle čas", &Time<6>, "12:00"},
    // clang-format on
    {"RadioGroup název souboru", &Field<&R::Naming>, "0"},
    {"Dodatečná záloha", &Field<&R::CatchUp>, "1"},
    {"Záloha na baterii", &Field<&R::RunOnBattery>, "0"},
};

// A numbered list in a section of its own: item n (from 0, decimal without leading zeros) is one
// key per column, the column's prefix followed by n. A missing key reads as its column's
// `Missing` text; the first n at which every column reads so ends the list, and at most `Most`
// items are read. Saving erases the section and writes every item, so keys the list does not
// know are not kept there.
template <class Item> struct ListColumn {
    std::string_view Prefix;
    std::string Item::*Text;
    std::string_view Missing;
};
template <class Item, std::size_t Columns> struct ListRow {
    std::string_view Section;
    std::vector<Item> SettingsRecord::*Items;
    std::array<ListColumn<Item>, Columns> Keys;
    int Most;
};

// Section "Archivace": the backup sources.
inline constexpr ListRow<SourcePair, 2> kSourceList = {
    kSectionSources,
    &R::Sources,
    {{{"Adresář ", &SourcePair::Folder, "99999999"},
      {"Přípona ", &SourcePair::Mask, "99999999.999"}}},
    10000,
};

// Section "Vyloučení": the patterns of files and folders left out of a backup.
inline constexpr ListRow<ExclusionPattern, 1> kExclusionList = {
    kSectionExclusions,
    &R::Exclusions,
    {{{"Vzor ", &ExclusionPattern::Pattern, "99999999"}}},
    10000,
};

// The patterns' texts, in order.
inline std::vector<std::string> PatternTexts(const std::vector<ExclusionPattern>& patterns) {
    std::vector<std::string> texts;
    texts.reserve(patterns.size());
    for (const ExclusionPattern& pattern : patterns)
        texts.push_back(pattern.Pattern);
    return texts;
}

} // namespace ostrivane::settings
