// The compress driver: Compress, Prepare, Run and the scan-and-write loop.
#include "archive/component/TCompBase.h"
#include "platform/fs/FileSystem.h"

#include "archive/scan/TvrkFileScan.h"
#include "platform/fs/Paths.h"

#include <algorithm>

void TCompBase::ExecuteCompress(TCompHeaderObj& entries) {
    ScanAndWriteEntries(nullptr, nullptr, entries);
}

void TCompBase::CompressFile(TStream* stream, int index, bool& done, TCompHeaderObj& entries) {
    (void)stream, (void)index, (void)entries;
    done = false;
}

bool TCompBase::UnsupportedHook1() {
    DoError(archiveFile_, "", kErrUnsupportedArc, "0");
    return false;
}
bool TCompBase::UnsupportedHook2() {
    return UnsupportedHook1();
}
bool TCompBase::UnsupportedHook3() {
    return UnsupportedHook1();
}
bool TCompBase::UnsupportedHook4() {
    return UnsupportedHook1();
}
bool TCompBase::UnsupportedHook5() {
    return UnsupportedHook1();
}

int TCompBase::Compress() {
    movePass_ = false;
    entriesFound_ = false;
    if (!Prepare())
        return 0;
    return Run();
}

bool TCompBase::Prepare() {
    CurrentEntry = TCurrentEntry{};
    FileBytesLeft = 0;
    movePass_ = false;
    entriesFound_ = false;
    NewestDosDate = 0;
    FilesAdded = 0;
    FilesSkipped = 0;
    FilesRemoved = 0;
    ArchiveBytesTotal = 0.0;
    ArchiveBytesLeft = 0.0;
    ClearOwnFiles();
    ClearCancelFlag();

    if (!CheckArchiveDisk())
        return false;

    if (!fileSpec_.empty())
        SettleDefaultDir();
    if (!fileSpec_.empty() && OperationMode != omDelete &&
        storedDirNames_ == sdExplorer_UserDefineDefaultDir && DefaultDir.empty()) {
        DoError(archiveFile_, "DefaultDir", kErrRequiredProperty, "");
        return false;
    }
    return true;
}

// The longest folder common to all FileSpec lines (sdExplorer_Auto), compared exactly.
void TCompBase::SettleDefaultDir() {
    if (OperationMode == omDelete) {
        DefaultDir.clear();
        return;
    }
    if (storedDirNames_ != sdExplorer_Auto)
        return;
    std::string common = ostrivane::fs::FolderPartOf(fileSpec_.front());
    for (std::size_t i = 1; i < fileSpec_.size(); ++i) {
        const std::string folder = ostrivane::fs::FolderPartOf(fileSpec_[i]);
        std::size_t n = 0;
        while (n < common.size() && n < folder.size() && common[n] == folder[n])
            ++n;
        common = ostrivane::fs::FolderPartOf(common.substr(0, n));
    }
    DefaultDir = common;
}

int TCompBase::Run() {
    if (archiveFile_.empty() || GetCancel())
        return 0;
    try {
        TCompHeaderObj entries;
        MoveList.clear();
        struct ListsRelease {
            TCompHeaderObj& entries;
            std::vector<std::string>& moves;
            ~ListsRelease() {
                entries.Clear();
                moves.clear();
            }
        } release{entries, MoveList};
        ExecuteCompress(entries);
    } catch (...) {
        return 0;
    }
    return OperationMode == omDelete ? FilesRemoved : FilesAdded;
}

void TCompBase::SetCurrentEntryInfo(const TEntryInfo& info) {
    CurrentEntry.DateTime = info.DateTime;
    CurrentEntry.DosDateTime = info.DosDateTime;
    CurrentEntry.Size = info.Size;
    CurrentEntry.Attributes = info.Attributes;
}

void TCompBase::ScanAndWriteEntries(TStream* output, TStream* work, TCompHeaderObj& entries) {
    (void)work;
    if (OperationMode != omDelete) {
        PrepareOwnArchiveLookup();
        TvrkFileScan scanner(this);
        scanner.UpdateList = true;
        scanner.SetFileSpec(fileSpec_);
        specHadSeveralLines_ = fileSpec_.size() > 1;
        scanner.Attributes = attributes_;
        scanner.AttributesEx = attributesEx_;
        if (StoreEmptyDirs)
            scanner.Attributes.Include(fsDirectory);
        scanner.SetEntryHandler(
            [this](const std::string& dir, const TFindData& data, void* user) {
                AddScannedEntry(dir, data, *static_cast<TCompHeaderObj*>(user));
            },
            &entries);
        scanner.RecurseDirs = recurseDirs_;
        scanner.IncludeHiddenDirs = includeHiddenDirs_;
        scanner.Exclusions = exclusions_;
        scanner.KeepLinks = StoreLinks;
        // A folder that holds nothing was the last entry added: it is marked as such.
        scanner.OnEmptyFolder = [this, &entries](TComponent*, const std::string& dir) {
            const int last = entries.Count() - 1;
            std::uint8_t* header = last >= 0 ? entries.Header(last) : nullptr;
            if (header == nullptr || entries.FileName(last) != dir)
                return;
            TEntryInfo info;
            GetEntryInfo(header, 0, info);
            info.Attributes |= ostrivane::fs::kAttrEmptyFolder;
            PutEntryInfo(header, info);
        };
        settledGroups_.clear();
        hashedGroups_ = 0;
        storedHashes_ = {};
        GroupNameParts.clear();
        groupFirstEntry_ = entries.Count();
        scanner.OnRootDirChange = [this, &entries](TComponent*, const std::string& dir) {
            SettleGroupNames(entries);
            GroupRoot = dir;
            if (GroupRoot.empty() || GroupRoot.back() != '/')
                GroupRoot += '/';
            if (StoreEmptyDirs)
                AddGroupFolder(entries);
        };
        if (OnFileScanStatus)
            scanner.OnScanFile = [this](TComponent*, const std::string& name, int count,
                                        double size) { OnFileScanStatus(this, name, count, size); };
        if (OnRecurseDir)
            scanner.OnRecurseDir = [this](TComponent*, const std::string& dir) {
                OnRecurseDir(this, dir);
            };
        // Files in a folder that cannot be read are missing from the archive: say so.
        scanner.OnFolderUnreadable = [this](TComponent*, const std::string& dir, int) {
            DoError(dir, "", kErrNotAccessible, "");
        };
        scanner.ProcessMessages = Hooks.ProcessMessages;
        scanner.SetCancelFlag(CancelFlag());
        struct TotalsAfterScan {
            TCompBase& self;
            TvrkFileScan& scanner;
            ~TotalsAfterScan() {
                // Files left out for their size do not belong to the progress base.
                double total = std::max(0.0, scanner.FilesSize - self.tooLargeBytes_);
                self.ArchiveBytesTotal = total;
                self.ArchiveBytesLeft = total;
            }
        } totals{*this, scanner};
        scanner.Scan();
        SettleGroupNames(entries);
    }

    if (GetCancel() || (OperationMode != omDelete && !entriesFound_)) {
        if (!entriesFound_)
            DoError(archiveFile_, "", kErrNothingToDo, "");
        entries.Clear();
        return;
    }
    if (!EntriesScanned(entries)) {
        entries.Clear();
        return;
    }

    Timer.Start();
    int skippedBefore = FilesSkipped;
    FilesSkipped = 0;
    for (int index = 0; index < entries.Count(); ++index) {
        if (GetCancel())
            break;
        CurrentEntry.Number = index + 1;
        TEntryActionRecord& record = entries.ActionRecord(index);
        TEntryInfo info;
        GetEntryInfo(entries.Header(index), 0, info);
        FileBytesLeft = static_cast<std::uint32_t>(info.Size);
        std::int64_t outputSize = output ? output->Size() : 0;

        switch (record.Action) {
        case eaCompress: {
            if ((info.Attributes & 0x10) && !StoreEmptyDirs) {
                record.Action = eaSkip;
                break;
            }
            bool done = false;
            CompressFile(output, index, done, entries);
            if (done) {
                ++FilesAdded;
                if (OperationMode == omMove && !(info.Attributes & 0x10))
                    MoveList.push_back(entries.FileName(index));
            } else {
                if (GetCancel()) {
                    --CurrentEntry.Number;
                    for (int later = index; later < entries.Count(); ++later)
                        entries.ActionRecord(later).Action = eaSkip;
                    if (output)
                        output->SetSize(outputSize);
                }
                entries.ActionRecord(index).Action = eaSkip;
            }
            break;
        }
        case eaSkip:
            ++FilesSkipped;
            if (OnDeleteFile)
                OnDeleteFile(this, entries.FileName(index), skippedBefore, FilesSkipped);
            break;
        case eaCopy:
        case eaRename:
            break;
        }
    }
    Timer.Stop();
}
