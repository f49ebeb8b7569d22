#pragma once
// Containment of served files: a file the path map produced must lie inside the folder it was
// mapped under, links resolved. Files are opened beneath the root folder's descriptor
// (openat2 with RESOLVE_BENEATH), so the check costs no extra system call and the file that
// was checked is the file that is sent; where the kernel lacks openat2 the real path of the
// opened descriptor is compared instead.

#include <string>
#include <string_view>

/// A folder held open so that files can be opened beneath it. Made once per site snapshot.
class FileRoot {
 public:
  /// Opens the folder (no descriptor when it does not exist or cannot be opened: files are
  /// then checked by their real path).
  explicit FileRoot(std::string path);
  ~FileRoot();
  FileRoot(FileRoot&& other) noexcept;
  FileRoot& operator=(FileRoot&& other) noexcept;
  FileRoot(const FileRoot&) = delete;
  FileRoot& operator=(const FileRoot&) = delete;

  /// The folder, normalised (NormalisedRoot).
  const std::string& path() const { return path_; }
  int descriptor() const { return descriptor_; }
  /// Opens `file` (a path inside this folder as the path map made it) with `flags`, every
  /// component resolved beneath the folder: a link or ".." that leads out fails with EXDEV
  /// (an absolute link that leads back inside is followed, as its real path lies inside).
  /// The descriptor, or -1 with errno set.
  int OpenBeneath(const std::string& file, int flags) const;

 private:
  std::string path_;
  int descriptor_ = -1;
};

/// A folder as FileRoot keeps it: "." and ".." resolved, no trailing '/' (except "/").
std::string NormalisedRoot(std::string_view folder);

/// Whether `path` exists and, with links resolved, lies inside `root` (or is `root`).
bool IsInsideRoot(const std::string& root, const std::string& path);

/// The same for a file already open: its real path is read from the descriptor, so the file
/// that was checked is the file that is sent (a link swapped in meanwhile changes nothing).
bool OpenFileIsInsideRoot(const std::string& root, int file);
