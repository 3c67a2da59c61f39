// Cancel flag, error reporting, property setters, temporary folder, stored-name rule, DOS
// date-times and the registry of the engine's own files.
#include "archive/component/TZipCommon.h"

#include "platform/fs/DosDateTime.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>

namespace {

// Keeps the stopwatch paused for the lifetime of the guard, also when a handler throws.
class TimerPause {
public:
    explicit TimerPause(TvrkTimer& timer) : timer_(timer) { timer_.Pause(); }
    ~TimerPause() { timer_.Resume(); }
    TimerPause(const TimerPause&) = delete;
    TimerPause& operator=(const TimerPause&) = delete;

private:
    TvrkTimer& timer_;
};

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

std::string WithSlash(std::string s) {
    if (!s.empty() && s.back() != '/')
        s += '/';
    return s;
}

// The group folder's own last name followed by "/" ("" for the root "/").
std::string LastComponentWithSlash(const std::string& groupRoot) {
    std::string folder = groupRoot;
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    if (folder.empty())
        return {};
    return ostrivane::fs::NameOf(folder) + "/";
}

std::string RemoveRelative(const std::string& path, const std::string& groupRoot) {
    if (!groupRoot.empty() && StartsWith(path, groupRoot))
        return path.substr(groupRoot.size());
    return path;
}

int DaysFromCivil(int y, unsigned m, unsigned d) {
    using namespace std::chrono;
    sys_days day = year{y} / month{m} / std::chrono::day{d};
    return static_cast<int>((day - sys_days{year{1899} / December / 30}).count());
}

} // namespace

std::string StoredNameFor(TStoredDirNames rule, const std::string& path,
                          const std::string& groupRoot, const std::string& defaultDir) {
    switch (rule) {
    case sdNone:
        return ostrivane::fs::NameOf(path);
    case sdAbsolute:
    case sdAbsoluteNoDrv: // paths carry no drive or server part on this platform
        return path;
    case sdAbsoluteNoRoot:
        return !path.empty() && path[0] == '/' ? path.substr(1) : path;
    case sdRelative:
        return RemoveRelative(path, groupRoot);
    case sdRelativeStoreStart: {
        if (groupRoot.empty() || !StartsWith(path, groupRoot))
            return path;
        std::size_t keep = LastComponentWithSlash(groupRoot).size();
        return path.substr(groupRoot.size() - keep);
    }
    case sdExplorer_Auto:
    case sdExplorer_UserDefineDefaultDir: {
        if (!groupRoot.empty() && !defaultDir.empty() &&
            WithSlash(groupRoot) == WithSlash(defaultDir))
            return RemoveRelative(path, groupRoot);
        std::string base = WithSlash(defaultDir);
        if (!base.empty() && StartsWith(path, base))
            return path.substr(base.size());
        return path;
    }
    }
    return path;
}

TZipCommon::TZipCommon(TComponent* owner) : TArchiveBase(owner) {}

bool TZipCommon::GetCancel() {
    return *cancel_;
}

void TZipCommon::SetCancel(bool value) {
    *cancel_ = value;
    if (value)
        DoError(CurrentEntry.StoredName, "", kErrUserCanceled, "");
}

void TZipCommon::UseCancelFlag(std::atomic<bool>* flag) {
    cancel_ = flag != nullptr ? flag : &cancelStore_;
}

void TZipCommon::ClearCancelFlag() {
    cancelStore_ = false;
}

TDateTime TZipCommon::DosDateToDateTime(std::uint32_t dosDate) {
    if (dosDate == 0)
        return DaysFromCivil(1980, 1, 1) + 1.0 / (24.0 * 60.0);
    const ostrivane::fs::DosFields f = ostrivane::fs::UnpackDosDateTime(
        static_cast<std::uint16_t>(dosDate >> 16), static_cast<std::uint16_t>(dosDate & 0xFFFF));
    const int year = f.Year;
    const unsigned month = std::clamp(static_cast<unsigned>(f.Month), 1u, 12u);
    unsigned day = std::max(static_cast<unsigned>(f.Day), 1u);
    using namespace std::chrono;
    const unsigned lastDay = static_cast<unsigned>(
        (year_month_day_last{std::chrono::year{year} / std::chrono::month{month} / last}).day());
    day = std::min(day, lastDay);
    const unsigned hour = std::min(static_cast<unsigned>(f.Hour), 23u);
    const unsigned minute = std::min(static_cast<unsigned>(f.Minute), 59u);
    const unsigned second = std::min(static_cast<unsigned>(f.Second), 59u);
    return DaysFromCivil(year, month, day) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

void TZipCommon::ClearExtensionList() {
    ExtensionList.clear();
}

void TZipCommon::SetStoredName(const std::string& fileName) {
    if (storedDirNames_ == sdRelativeStoreStart && StartsWith(fileName, GroupRoot)) {
        if (const auto part = GroupNameParts.find(GroupRoot); part != GroupNameParts.end()) {
            CurrentEntry.StoredName = part->second + fileName.substr(GroupRoot.size());
            return;
        }
    }
    CurrentEntry.StoredName = StoredNameFor(storedDirNames_, fileName, GroupRoot, DefaultDir);
}

void TZipCommon::RaiseError(const std::string& fileName, int eCode, const std::string& volumeID,
                            const std::string& extendedMsg) {
    DoError(fileName, extendedMsg, eCode, volumeID);
    if (!*cancel_)
        throw E_RAISE(eCode, ErrorText(eCode));
}

void TZipCommon::DoError(const std::string& fileName, const std::string& extendedMsg, int eCode,
                         const std::string& volumeID) {
    TimerPause pause(Timer);
    int code = *cancel_ ? kErrUserCanceled : eCode;
    if (OnError)
        OnError(this, fileName, extendedMsg, volumeID, code);
}

void TZipCommon::SetAttribute(TvrkFileAttr attr, bool on) {
    if (on)
        attributes_.Include(attr);
    else
        attributes_.Exclude(attr);
}

void TZipCommon::SetAttributeEx(TvrkFileAttr attr, bool on) {
    if (on)
        attributesEx_.Include(attr);
    else
        attributesEx_.Exclude(attr);
}

void TZipCommon::SetCompressMethod(TCompressMethod value) {
    if (value == cmStore || value == cmMsZip || value == cmLzx || value == cmQuantum)
        compressMethod_ = value;
}

std::string TZipCommon::TempDir() {
    if (tempDir_.empty() || !ostrivane::fs::IsDirectory(tempDir_))
        tempDir_ = ostrivane::fs::SystemTempPath();
    return tempDir_;
}

void TZipCommon::SetTempDir(const std::string& value) {
    if (IsLoading()) {
        tempDir_ = value;
        return;
    }
    std::string folder = value.empty() ? ostrivane::fs::SystemTempPath() : WithSlash(value);
    if (!ostrivane::fs::IsDirectory(folder)) {
        bool yes = Hooks.ConfirmYesNo &&
                   Hooks.ConfirmYesNo(folder + "\r\r" + "Directory does not exist... Create?");
        if (yes)
            ostrivane::fs::CreateDirectories(folder);
        else
            folder.clear();
    }
    if (folder.empty() || !ostrivane::fs::IsDirectory(folder))
        folder = ostrivane::fs::SystemTempPath();
    tempDir_ = folder;
}

std::uint32_t TZipCommon::ApplyDateAttribute(std::uint32_t dosDateTime) const {
    switch (dateAttribute_) {
    case daFileDate:
        return dosDateTime;
    case daSysDate:
        return ostrivane::fs::DosDateTimeOf(std::time(nullptr));
    case daMaxFileDate:
        return NewestDosDate;
    }
    return dosDateTime;
}

void TZipCommon::RegisterOwnFile(const std::string& path) {
    ownPaths_.insert(path);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        ownIds_.emplace(static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino));
}

void TZipCommon::ClearOwnFiles() {
    ownPaths_.clear();
    ownIds_.clear();
}

bool TZipCommon::IsOwnFile(const std::string& path, std::uint64_t dev, std::uint64_t ino) const {
    if (ownPaths_.empty())
        return false;
    return ownPaths_.count(path) > 0 || ownIds_.count({dev, ino}) > 0;
}

void TZipCommon::DoProgress(std::uint8_t byFile, std::uint8_t byArchive) {
    if (Hooks.ProcessMessages)
        Hooks.ProcessMessages();
    if (OnProgress)
        OnProgress(this, byFile, byArchive);
}
