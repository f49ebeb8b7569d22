#include "wendrel/server/file_containment.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "wendrel/server/path_mapping.h"

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

// Cleared once the kernel has answered ENOSYS: every later open takes the fallback.
std::atomic<bool> openat2_available{true};

int OpenAt2(int folder, const char* relative, int flags) {
  open_how how{};
  how.flags = static_cast<uint64_t>(flags);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  for (;;) {
    long descriptor = syscall(SYS_openat2, folder, relative, &how, sizeof how);
    if (descriptor >= 0 || errno != EINTR) return static_cast<int>(descriptor);
  }
}

}  // namespace

std::string NormalisedRoot(std::string_view folder) {
  std::string normal = NormalisedPath(folder);
  while (normal.size() > 1 && normal.ends_with('/')) normal.pop_back();
  return normal;
}

FileRoot::FileRoot(std::string path) : path_(NormalisedRoot(path)) {
  descriptor_ = open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

FileRoot::~FileRoot() {
  if (descriptor_ >= 0) close(descriptor_);
}

FileRoot::FileRoot(FileRoot&& other) noexcept
    : path_(std::move(other.path_)), descriptor_(std::exchange(other.descriptor_, -1)) {}

FileRoot& FileRoot::operator=(FileRoot&& other) noexcept {
  if (this == &other) return *this;
  if (descriptor_ >= 0) close(descriptor_);
  path_ = std::move(other.path_);
  descriptor_ = std::exchange(other.descriptor_, -1);
  return *this;
}

int FileRoot::OpenBeneath(const std::string& file, int flags) const {
  std::string prefix = path_ == "/" ? "/" : path_ + "/";
  bool below = file.size() > prefix.size() && file.starts_with(prefix);
  if (below && descriptor_ >= 0 && openat2_available.load(std::memory_order_relaxed)) {
    int opened = OpenAt2(descriptor_, file.c_str() + prefix.size(), flags);
    // EXDEV also comes for an absolute link that points back inside the folder: the real
    // path decides then, as it does where openat2 is missing.
    if (opened >= 0 || (errno != ENOSYS && errno != EXDEV)) return opened;
    if (errno == ENOSYS) openat2_available.store(false, std::memory_order_relaxed);
  }
  int opened = open(file.c_str(), flags);
  if (opened < 0) return -1;
  if (!OpenFileIsInsideRoot(path_, opened)) {
    close(opened);
    errno = EXDEV;
    return -1;
  }
  return opened;
}

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
