#include "wendrel/server/file_containment.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <optional>

namespace {

std::optional<std::string> RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
  return std::string(resolved);
}

// The real path of a root, remembered per thread while the root stays the same: it is asked
// for on every request.
std::optional<std::string> RealRoot(const std::string& root) {
  thread_local std::string cached_root;
  thread_local std::optional<std::string> cached_real;
  if (root != cached_root || !cached_real) {
    cached_root = root;
    cached_real = RealPath(root);
  }
  return cached_real;
}

bool StartsInside(const std::string& real_root, const std::string& real_path) {
  if (real_path == real_root) return true;
  std::string prefix = real_root == "/" ? "/" : real_root + "/";
  return real_path.starts_with(prefix);
}

}  // namespace

bool IsInsideRoot(const std::string& root, const std::string& path) {
  std::optional<std::string> real_root = RealRoot(root);
  std::optional<std::string> real_path = RealPath(path);
  return real_root && real_path && StartsInside(*real_root, *real_path);
}

bool OpenFileIsInsideRoot(const std::string& root, int file) {
  std::optional<std::string> real_root = RealRoot(root);
  if (!real_root) return false;
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", file);
  char target[PATH_MAX];
  ssize_t length = readlink(link, target, sizeof target - 1);
  if (length <= 0) return false;
  return StartsInside(*real_root, std::string(target, static_cast<size_t>(length)));
}
