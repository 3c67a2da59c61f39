// Any bytes as the settings file: every value the program reads is read, written back the way
// the program saves it, flushed and read again. The file must load again to the same values;
// a text the file cannot hold must be refused without changing anything; a second save of the
// same values must give the same bytes.
#include "FuzzScratch.h"
#include "platform/profile/PrivateProfile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using ostrivane::profile::PrivateProfile;

namespace {

const std::string kSettings = "Nastavení";
const std::string kSources = "Archivace";
const std::string kFolderSentinel = "99999999";
const std::string kMaskSentinel = "99999999.999";
// Enough pairs for any file of the fuzzer's sizes; the program reads up to 10000.
constexpr int kMostPairs = 10000;

struct TextKey {
    const char* key;
    const char* def;
};
const TextKey kTextKeys[] = {
    {"Adresář zálohy", "C:\\Dokumenty"},
    {"Soubor zálohy", "Záloha.zip"},
    {"Hloubka zálohy", "10"},
    {"Pondělí čas", "12:00"},
    {"Úterý čas", "12:00"},
    {"Středa čas", "12:00"},
    {"Čtvrtek čas", "12:00"},
    {"Pátek čas", "12:00"},
    {"Sobota čas", "12:00"},
    {"Neděle čas", "12:00"},
};
const char* const kBooleanKeys[] = {"Automatická záloha",
                                    "Podadresáře",
                                    "Pondělí",
                                    "Úterý",
                                    "Středa",
                                    "Čtvrtek",
                                    "Pátek",
                                    "Sobota",
                                    "Neděle"};
const char* const kIntegerKey = "RadioGroup název souboru";

struct Pair {
    std::string folder;
    std::string mask;
};

struct Settings {
    std::vector<std::string> texts;
    std::vector<bool> booleans;
    std::int32_t naming = 0;
    std::vector<Pair> pairs;
};

std::string FolderKey(int i) {
    return "Adresář " + std::to_string(i);
}
std::string MaskKey(int i) {
    return "Přípona " + std::to_string(i);
}

Settings Load(const PrivateProfile& profile) {
    Settings s;
    for (const TextKey& k : kTextKeys)
        s.texts.push_back(profile.GetString(kSettings, k.key, k.def));
    for (const char* key : kBooleanKeys)
        s.booleans.push_back(profile.GetInt(kSettings, key, 0) != 0);
    s.naming = profile.GetInt(kSettings, kIntegerKey, 0);
    for (int i = 0; i < kMostPairs; ++i) {
        Pair p{profile.GetString(kSources, FolderKey(i), kFolderSentinel),
               profile.GetString(kSources, MaskKey(i), kMaskSentinel)};
        if (p.folder == kFolderSentinel && p.mask == kMaskSentinel)
            break;
        s.pairs.push_back(std::move(p));
    }
    return s;
}

// One write; a refused one must leave the value as it was.
bool Write(PrivateProfile& profile, const std::string& section, const std::string& key,
           const std::string& value, const std::string& def) {
    const std::string before = profile.GetString(section, key, def);
    if (profile.WriteString(section, key, value))
        return true;
    if (PrivateProfile::IsRepresentable(value))
        fuzzing::Fail("a representable text was refused for " + key);
    if (profile.GetString(section, key, def) != before)
        fuzzing::Fail("a refused write changed " + key);
    return false;
}

// Writes the settings as the program saves them; the refused texts are noted in `refused`
// (by index) and a refused source pair ends the list there. Returns the number of pairs written.
std::size_t Save(PrivateProfile& profile, const Settings& s, std::vector<bool>& refused) {
    refused.assign(s.texts.size(), false);
    for (std::size_t i = 0; i < s.texts.size(); ++i)
        refused[i] = !Write(profile, kSettings, kTextKeys[i].key, s.texts[i], kTextKeys[i].def);
    for (std::size_t i = 0; i < s.booleans.size(); ++i)
        if (!Write(profile, kSettings, kBooleanKeys[i], s.booleans[i] ? "1" : "0", "0"))
            fuzzing::Fail("a Boolean was refused");
    if (!Write(profile, kSettings, kIntegerKey, std::to_string(s.naming), "0"))
        fuzzing::Fail("an integer was refused");
    profile.EraseSection(kSources);
    std::size_t written = 0;
    for (const Pair& p : s.pairs) {
        const int i = static_cast<int>(written);
        if (!Write(profile, kSources, FolderKey(i), p.folder, kFolderSentinel))
            break;
        if (!Write(profile, kSources, MaskKey(i), p.mask, kMaskSentinel))
            break;
        ++written;
    }
    return written;
}

void ExpectSame(const Settings& before, const Settings& after, std::size_t pairsWritten) {
    for (std::size_t i = 0; i < before.texts.size(); ++i)
        if (before.texts[i] != after.texts[i])
            fuzzing::Fail(std::string("reloaded text differs: ") + kTextKeys[i].key + " \"" +
                          before.texts[i] + "\" became \"" + after.texts[i] + "\"");
    if (before.booleans != after.booleans)
        fuzzing::Fail("reloaded Booleans differ");
    if (before.naming != after.naming)
        fuzzing::Fail("reloaded naming rule differs");
    if (after.pairs.size() < pairsWritten)
        fuzzing::Fail("source pairs were lost");
    for (std::size_t i = 0; i < pairsWritten; ++i)
        if (before.pairs[i].folder != after.pairs[i].folder ||
            before.pairs[i].mask != after.pairs[i].mask)
            fuzzing::Fail("source pair " + std::to_string(i) + " differs");
    if (pairsWritten == before.pairs.size() && after.pairs.size() != before.pairs.size())
        fuzzing::Fail("source pairs were added");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzzing::ScratchFolder() + "/Ostrivane.ini";
    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzzing::WriteFile(path, input);

    Settings read;
    std::vector<bool> refused;
    std::size_t pairsWritten = 0;
    {
        PrivateProfile profile(path);
        read = Load(profile);
        pairsWritten = Save(profile, read, refused);
        // A file read as UTF-8 may hold a line Windows-1250 cannot: it is then never written,
        // so that nothing of it is lost.
        if (profile.UnstorableLine()) {
            if (profile.Flush() || fuzzing::ReadFile(path) != input)
                fuzzing::Fail("a file with a line Windows-1250 cannot hold was written");
            return 0;
        }
        if (!profile.Flush())
            fuzzing::Fail("flush into a writable folder failed");
    }
    const std::string firstSave = fuzzing::ReadFile(path);

    Settings reloaded;
    {
        PrivateProfile profile(path);
        reloaded = Load(profile);
        ExpectSame(read, reloaded, pairsWritten);
        // The same values saved once more: the file must not change.
        std::vector<bool> refusedAgain;
        const std::size_t again = Save(profile, reloaded, refusedAgain);
        if (refusedAgain != refused)
            fuzzing::Fail("the second save refused other texts");
        if (pairsWritten == read.pairs.size() && again != pairsWritten)
            fuzzing::Fail("the second save refused source pairs");
        if (!profile.Flush())
            fuzzing::Fail("second flush failed");
    }
    if (pairsWritten == read.pairs.size() && fuzzing::ReadFile(path) != firstSave)
        fuzzing::Fail("saving the same values again changed the file");
    return 0;
}
