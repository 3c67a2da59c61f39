// Scratch folders and whole files for the tests: a fresh folder removed with everything in it,
// file makers and readers, and the contents of a tree.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace testsupport {

// A fresh folder under $TMPDIR (or /tmp), readable by everyone so that a step run as the
// unprivileged user can reach it, and removed with everything in it, at any depth.
class Scratch {
public:
    // With `inMemory`, below /dev/shm when it can be written (for trees of very many files and
    // for writers that sync every file).
    explicit Scratch(bool inMemory = false);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // The folder's path, without a trailing "/".
    const std::string& Path() const { return path_; }
    // The same as a path, for code that composes std::filesystem paths.
    std::filesystem::path Folder() const { return path_; }
    // Path() + "/" + relative.
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// Removes `path` and everything below it without following symbolic links: read-only folders
// and paths longer than PATH_MAX included. Nothing when it does not exist.
void RemoveTree(const std::string& path);

// Writes `bytes` to `path`, creating the missing parent folders; throws when it cannot.
void WriteFile(const std::string& path, const std::string& bytes = "data");
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// True when `path` exists, without following a final symbolic link.
bool Exists(const std::string& path);
// Makes the folder `path` (its parent must exist); throws when it cannot.
void MakeDir(const std::string& path);

// The names of the entries of `folder`, sorted and separated by single spaces.
std::string Listing(const std::string& folder);
// Every regular file below `root`, not through linked folders: relative path -> contents. Empty
// when `root` does not exist.
std::map<std::string, std::string> TreeContents(const std::string& root);

} // namespace testsupport
