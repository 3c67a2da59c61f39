// Helpers of the archive engine tests: a scratch folder, file makers, and a cabinet component
// stand-in that records every CompressFile call instead of writing a cabinet.
#pragma once

#include "archive/component/TCabInterface.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = "/tmp/ostrivane-archive-XXXXXX";
        if (const char* env = std::getenv("TMPDIR"); env && *env)
            pattern = std::string(env) + "/ostrivane-archive-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!::mkdtemp(buffer.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = buffer.data();
    }
    ~ScratchDir() {
        int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (fd >= 0)
            RemoveContents(fd);
        ::rmdir(path_.c_str());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

private:
    // Removes everything below the folder open on `fd` (and closes it), relative to each
    // folder, so that paths longer than PATH_MAX go too.
    static void RemoveContents(int fd) {
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return;
        }
        std::vector<std::string> names;
        while (const dirent* e = ::readdir(dir))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        for (const std::string& name : names) {
            int child = ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (child >= 0) {
                RemoveContents(child);
                ::unlinkat(::dirfd(dir), name.c_str(), AT_REMOVEDIR);
            } else {
                ::unlinkat(::dirfd(dir), name.c_str(), 0);
            }
        }
        ::closedir(dir);
    }

    std::string path_;
};

inline void MakeDir(const std::string& path) {
    ::mkdir(path.c_str(), 0755);
}

inline void WriteFile(const std::string& path, const std::string& content = "data") {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ::close(fd);
}

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
    int GetHeadSize() override { return kCabHeadSize; }
    int GetHeadSizeEx() override { return kCabHeadSize; }
    std::uint8_t* GetHeadPtr() override { return CabHeadBuffer.data(); }
    void PutEntryInfo(std::uint8_t* header, const TEntryInfo& info) override {
        StoreCabEntryHeader(header, info);
    }
    void GetEntryInfo(const std::uint8_t* header, int, TEntryInfo& info) override {
        info = LoadCabEntryHeader(header);
        SetCurrentEntryInfo(info);
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
