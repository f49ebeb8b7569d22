#include "wendrel/logging/file_creation_time.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

std::chrono::system_clock::time_point TimePointOf(const struct statx_timestamp& stamp) {
  auto since_epoch = std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(since_epoch));
}

}  // namespace

std::optional<std::chrono::system_clock::time_point> FileCreationTime(int fd) {
  struct statx status {};
  if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &status) != 0) return std::nullopt;
  if (status.stx_mask & STATX_BTIME) return TimePointOf(status.stx_btime);
  if (status.stx_mask & STATX_MTIME) return TimePointOf(status.stx_mtime);
  return std::nullopt;
}
