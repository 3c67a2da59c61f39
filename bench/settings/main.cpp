// Writes and loads a settings file the size of a full source list (the settings section and
// 10 000 folder/mask pairs) through the profile layer, and the same through QSettings in INI
// form, and prints the best wall time of several rounds of each.
#include "platform/profile/PrivateProfile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#ifdef OSTRIVANE_BENCH_QSETTINGS
#include <QSettings>
#include <QString>
#endif

namespace {

using ostrivane::profile::PrivateProfile;
using Pairs = std::vector<std::pair<std::string, std::string>>;

constexpr int kSources = 10000;
constexpr int kRounds = 5;

const char* const kSettingsKeys[] = {
    "Adresář zálohy", "Soubor zálohy", "Hloubka zálohy", "Automatická záloha",
    "Podadresáře",    "Pondělí",       "Pondělí čas",    "Úterý",
    "Úterý čas",      "Středa",        "Středa čas",     "Čtvrtek",
    "Čtvrtek čas",    "Pátek",         "Pátek čas",      "Sobota",
    "Sobota čas",     "Neděle",        "Neděle čas",     "RadioGroup název souboru"};

Pairs SourceKeys() {
    Pairs keys;
    for (int i = 0; i < kSources; ++i) {
        keys.emplace_back("Adresář " + std::to_string(i),
                          "/home/uživatel/Dokumenty/složka " + std::to_string(i));
        keys.emplace_back("Přípona " + std::to_string(i), "*.txt");
    }
    return keys;
}

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Figures {
    double save = 1e9;
    double load = 1e9;
};

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "bench_settings: %s failed\n", what);
        std::exit(1);
    }
}

Figures MeasureProfile(const std::string& folder, const Pairs& sources) {
    Figures best;
    for (int round = 0; round < kRounds; ++round) {
        const std::string path = folder + "/profile-" + std::to_string(round) + ".ini";
        best.save =
            std::min(best.save, Seconds([&] {
                         PrivateProfile ini(path);
                         for (const char* key : kSettingsKeys)
                             Check(ini.WriteString("Nastavení", key, "12:00"), "WriteString");
                         ini.EraseSection("Archivace");
                         for (const auto& [key, value] : sources)
                             Check(ini.WriteString("Archivace", key, value), "WriteString");
                         Check(ini.Flush(), "Flush");
                     }));
        std::size_t total = 0;
        best.load = std::min(best.load, Seconds([&] {
                                 const PrivateProfile ini(path);
                                 for (const char* key : kSettingsKeys)
                                     total += ini.GetString("Nastavení", key, "").size();
                                 for (const auto& [key, value] : sources)
                                     total += ini.GetString("Archivace", key, "99999999").size();
                             }));
        Check(total > 0, "GetString");
    }
    return best;
}

#ifdef OSTRIVANE_BENCH_QSETTINGS
Figures MeasureQSettings(const std::string& folder, const Pairs& sources) {
    std::vector<std::pair<QString, QString>> keys;
    for (const auto& [key, value] : sources)
        keys.emplace_back(QString::fromStdString(key), QString::fromStdString(value));
    Figures best;
    for (int round = 0; round < kRounds; ++round) {
        // A new file name each round: QSettings keeps parsed files in a process-wide cache.
        const QString path =
            QString::fromStdString(folder + "/qsettings-" + std::to_string(round) + ".ini");
        best.save = std::min(best.save, Seconds([&] {
                                 QSettings ini(path, QSettings::IniFormat);
                                 ini.beginGroup(QStringLiteral("Nastavení"));
                                 for (const char* key : kSettingsKeys)
                                     ini.setValue(QString::fromUtf8(key), QStringLiteral("12:00"));
                                 ini.endGroup();
                                 ini.remove(QStringLiteral("Archivace"));
                                 ini.beginGroup(QStringLiteral("Archivace"));
                                 for (const auto& [key, value] : keys)
                                     ini.setValue(key, value);
                                 ini.endGroup();
                                 ini.sync();
                                 Check(ini.status() == QSettings::NoError, "QSettings::sync");
                             }));
        const QString copy = path + QStringLiteral(".copy");
        std::filesystem::copy_file(path.toStdString(), copy.toStdString());
        qsizetype total = 0;
        best.load = std::min(
            best.load, Seconds([&] {
                const QSettings ini(copy, QSettings::IniFormat);
                for (const char* key : kSettingsKeys)
                    total += ini.value(QStringLiteral("Nastavení/") + QString::fromUtf8(key))
                                 .toString()
                                 .size();
                for (const auto& [key, value] : keys)
                    total += ini.value(QStringLiteral("Archivace/") + key).toString().size();
            }));
        Check(total > 0, "QSettings::value");
    }
    return best;
}
#endif

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::temp_directory_path() / "ostrivane-bench-settings";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const Pairs sources = SourceKeys();

    const Figures ours = MeasureProfile(folder.string(), sources);
    std::printf("settings file, %d keys (best of %d rounds)\n", 2 * kSources + 20, kRounds);
    std::printf("  PrivateProfile  save %8.1f ms   load %8.1f ms\n", ours.save * 1e3,
                ours.load * 1e3);
#ifdef OSTRIVANE_BENCH_QSETTINGS
    const Figures peer = MeasureQSettings(folder.string(), sources);
    std::printf("  QSettings (INI) save %8.1f ms   load %8.1f ms\n", peer.save * 1e3,
                peer.load * 1e3);
    std::printf("  ratio to peer   save %8.2f      load %8.2f\n", ours.save / peer.save,
                ours.load / peer.load);
#else
    std::printf("  (QSettings peer not built: Qt was not found)\n");
#endif
    std::filesystem::remove_all(folder);
    return 0;
}
