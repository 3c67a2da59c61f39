// Paths split at their last "/", and a folder's one plain spelling: one rule for the whole
// program.
#pragma once

#include <string>
#include <vector>

namespace ostrivane::fs {

// The folder holding `path`, without a trailing "/": "/" for a name in the root, "." for a bare
// name ("/a/b/c.txt" -> "/a/b").
std::string FolderOf(const std::string& path);

// Everything up to and including the last "/"; "" for a bare name ("/a/b/c.txt" -> "/a/b/").
std::string FolderPartOf(const std::string& path);

// Everything after the last "/" ("/a/b/c.txt" -> "c.txt"; "/a/b/" -> "").
std::string NameOf(const std::string& path);

// The names a path is made of, empty parts left out ("/a//b/" -> {"a", "b"}).
std::vector<std::string> NamesOf(const std::string& path);

// The process's current folder, absolute; "." when it cannot be told.
std::string CurrentFolder();

// `folder` made absolute and lexically plain, ending with "/": "//" and "/./" collapse and ".."
// takes away the name before it (at the root it stays at the root), so that one folder has one
// spelling and no stored name ever holds ".", ".." or an empty part.
std::string PlainFolder(const std::string& folder);

} // namespace ostrivane::fs
