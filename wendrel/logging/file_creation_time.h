#pragma once
// When a file was made: the access log asks it of an existing day file before appending to it.

#include <chrono>
#include <optional>

/// The birth time of the open file `fd` where the file system records one (ext4, xfs, btrfs,
/// tmpfs on recent kernels). Where it does not, the last modification time stands in for it:
/// a log file is only ever written on the day it is named for, so for our files the two fall on
/// the same UTC day. Nothing when the descriptor cannot be queried at all.
std::optional<std::chrono::system_clock::time_point> FileCreationTime(int fd);
