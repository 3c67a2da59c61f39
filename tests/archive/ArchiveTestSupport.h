// Helpers of the archive engine tests: a cabinet component stand-in that records every
// CompressFile call instead of writing a cabinet, and the shared scratch folder and file makers.
#pragma once

#include "archive/component/TCabInterface.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using testsupport::MakeDir;
using testsupport::Scratch;
using testsupport::WriteFile;

struct RecordedCall {
    std::string FullName;
    std::string StoredName;
    int Number = 0;
    std::uint32_t BytesLeft = 0;
    std::uint32_t DosDateTime = 0;
};

struct RecordedError {
    std::string FileName;
    std::string ExtendedMsg;
    int Code = 0;
};

// A cabinet component whose CompressFile records the entry the way the cabinet component
// prepares it (group root from the entry's root length, then the stored name).
class RecordingCab : public TCabInterface {
public:
    RecordingCab() {
        OnError = [this](TComponent*, const std::string& file, const std::string& ext,
                         const std::string&, int code) {
            Errors.push_back({file, ext, code});
        };
    }

    std::vector<RecordedCall> Calls;
    std::vector<RecordedError> Errors;
    std::function<void(int index)> DuringCompress;
    std::vector<std::string> OwnFilesToRegister;

    std::vector<std::string> StoredNames() const {
        std::vector<std::string> names;
        for (const auto& c : Calls)
            names.push_back(c.StoredName);
        std::sort(names.begin(), names.end());
        return names;
    }
    bool HasError(int code) const {
        for (const auto& e : Errors)
            if (e.Code == code)
                return true;
        return false;
    }

    void ExecuteCompress(TCompHeaderObj& entries) override {
        for (const auto& path : OwnFilesToRegister)
            RegisterOwnFile(path);
        ScanAndWriteEntries(nullptr, nullptr, entries);
    }
    void CompressFile(TStream*, int index, bool& done, TCompHeaderObj& entries) override {
        done = false;
        const std::string full = entries.FileName(index);
        GroupRoot = full.substr(0, static_cast<std::size_t>(entries.RootLength(index)));
        SetStoredName(full);
        Calls.push_back({full, CurrentEntry.StoredName, CurrentEntry.Number, FileBytesLeft,
                         CurrentEntry.DosDateTime});
        if (DuringCompress)
            DuringCompress(index);
        done = !GetCancel();
    }
};
