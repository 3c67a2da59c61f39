#include "cabinet/component/SourceFolders.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>

int SourceFolders::Open(std::string_view folder, std::size_t rootLength) {
    if (lastFd_ >= 0 || lastError_ != 0) {
        if (folder == last_) {
            errno = lastError_;
            return lastFd_;
        }
    }
    last_.assign(folder);
    lastFd_ = -1;
    lastError_ = 0;
    rootLength = std::min(rootLength, folder.size());
    const std::string_view root = folder.substr(0, rootLength);
    if (root != root_ || (!rootFd_.Valid() && rootError_ == 0)) {
        below_.clear();
        root_.assign(root);
        // The group's folder is opened by its path, as the scan opened it.
        rootFd_.Reset(::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        rootError_ = rootFd_.Valid() ? 0 : errno;
    }
    if (!rootFd_.Valid()) {
        lastError_ = rootError_ != 0 ? rootError_ : ENOENT;
        errno = lastError_;
        return -1;
    }
    // The names below the root, each followed by "/".
    std::size_t depth = 0;
    std::size_t at = rootLength;
    int fd = rootFd_.Get();
    while (at < folder.size()) {
        const std::size_t slash = folder.find('/', at);
        const std::size_t end = slash == std::string_view::npos ? folder.size() : slash;
        const std::string_view name = folder.substr(at, end - at);
        at = end + 1;
        if (name.empty())
            continue;
        if (depth < below_.size() && below_[depth].Name == name) {
            fd = below_[depth].Fd.Get();
            ++depth;
            continue;
        }
        below_.resize(depth);
        Opened opened{std::string(name), UniqueFd()};
        opened.Fd.Reset(
            ::openat(fd, opened.Name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!opened.Fd.Valid()) {
            lastError_ = errno;
            return -1;
        }
        fd = opened.Fd.Get();
        below_.push_back(std::move(opened));
        ++depth;
    }
    below_.resize(depth);
    lastFd_ = fd;
    return fd;
}

void SourceFolders::Close() {
    below_.clear();
    rootFd_.Reset();
    root_.clear();
    rootError_ = 0;
    last_.clear();
    lastFd_ = -1;
    lastError_ = 0;
}
