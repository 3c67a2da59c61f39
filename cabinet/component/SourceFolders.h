// The folders a build reads its source files from, opened as the scan walked them: the group's
// folder by its path, every folder below it relative to its parent and never through a symbolic
// link. The files are then opened relative to their folder, so that a folder replaced by a link
// since the scan is never followed, and a path is looked up once per folder instead of once per
// file. The folders of the last path asked for stay open; the next one reuses what it shares.
#pragma once

#include "platform/fs/UniqueFd.h"

#include <string>
#include <string_view>
#include <vector>

class SourceFolders {
public:
    // The descriptor of `folder` (a full path ending with "/") whose first `rootLength` bytes are
    // its group's folder; -1, with errno set, when it cannot be opened.
    int Open(std::string_view folder, std::size_t rootLength);
    // Closes every folder.
    void Close();

private:
    struct Opened {
        std::string Name;
        UniqueFd Fd;
    };
    std::string root_;
    UniqueFd rootFd_;
    int rootError_ = 0;
    std::vector<Opened> below_; // the folders from the root down to the last one asked for
    std::string last_;          // the last folder asked for, and its descriptor or error
    int lastFd_ = -1;
    int lastError_ = 0;
};
