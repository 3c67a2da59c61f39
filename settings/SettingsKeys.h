// Names, defaults and limits of the settings file "Ostrivane.ini".
#pragma once

#include <QString>

namespace ostrivane::settings {

inline const QString kFileName = QStringLiteral("Ostrivane.ini");

inline const QString kSectionSettings = QStringLiteral("Nastavení");
inline const QString kSectionSources = QStringLiteral("Archivace");

inline const QString kKeyDestination = QStringLiteral("Adresář zálohy");
inline const QString kKeyArchiveName = QStringLiteral("Soubor zálohy");
inline const QString kKeyDepth = QStringLiteral("Hloubka zálohy");
inline const QString kKeyAutomatic = QStringLiteral("Automatická záloha");
inline const QString kKeySubfolders = QStringLiteral("Podadresáře");
inline const QString kKeyNaming = QStringLiteral("RadioGroup název souboru");
// Whether a missed scheduled backup is made afterwards (1 or 0; 1 when the key is missing).
inline const QString kKeyCatchUp = QStringLiteral("Dodatečná záloha");

inline const QString kDefaultDestination = QStringLiteral("C:\\Dokumenty");
inline const QString kDefaultArchiveName = QStringLiteral("Záloha.zip");
inline const QString kDefaultDepth = QStringLiteral("10");
inline const QString kDefaultTime = QStringLiteral("12:00");
inline constexpr int kDefaultNaming = 0;
inline constexpr int kDefaultCatchUp = 1;

inline constexpr int kDayCount = 7;

// Day 1 = Monday ... 7 = Sunday: the key of the day's tick box.
QString DayKey(int day);
// The key of the day's time: the day's name, one blank and "čas".
QString DayTimeKey(int day);

// The keys of source pair `index` (numbered from 0, decimal without leading zeros).
QString SourceFolderKey(int index);
QString SourceMaskKey(int index);

// What a pair's keys read as when they are missing; both missing ends the list.
inline const QString kMissingFolder = QStringLiteral("99999999");
inline const QString kMissingMask = QStringLiteral("99999999.999");
// At most this many pairs are read back.
inline constexpr int kMaxSourcePairs = 10000;

} // namespace ostrivane::settings
