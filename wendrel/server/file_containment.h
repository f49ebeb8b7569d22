#pragma once
// Whether a file lies inside a folder once symbolic links are resolved: the last check before
// a mapped file is sent.

#include <string>

/// Whether `path` exists and, with links resolved, lies inside `root` (or is `root`).
bool IsInsideRoot(const std::string& root, const std::string& path);

/// The same for a file already open: its real path is read from the descriptor, so the file
/// that was checked is the file that is sent (a link swapped in meanwhile changes nothing).
bool OpenFileIsInsideRoot(const std::string& root, int file);
