#pragma once
// PageFiles: the files one page compilation reads — the page, global.asa and its #include files
// — with the rules that keep them inside the site:
//   - a File-form include is resolved against the directory of the file that holds it, a
//     Virtual-form include through the path map (relative to the page's URL folder when it does
//     not start with '/'); either way the file must lie inside the folder its path was mapped
//     under (opened beneath it, links resolved): ".." segments, absolute paths and links cannot
//     lead out;
//   - a name whose exact spelling does not exist is looked up ignoring case, segment by segment
//     inside the same folder (pages written on a file system that ignores case name "classes/"
//     for "Classes/");
//   - with a host include callback the host is asked first, by the path relative to the root,
//     and the disk is read when it has nothing;
//   - a page is read up to 1 MiB (longer pages are cut there), an include up to the bytes the
//     page has left.
// Every file read from disk is stamped (modification time, size, inode) so a compiled page can
// tell later whether any of its files changed.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wendrel/asp/preprocessor.h"
#include "wendrel/server/path_mapping.h"

class FileRoot;

/// The host's include callback: (path relative to the site root, parameter) gives the file's
/// text as a NUL-terminated block from malloc (the server frees it), or null (or -1) for none.
using IncludeCallback = char* (*)(const char* relative_path, intptr_t parameter);

/// What identifies the version of a file on disk.
struct FileStamp {
  std::string path;
  int64_t modified_ns = 0;
  int64_t size = 0;
  uint64_t inode = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

/// The stamp of a file now; nothing when it is gone.
std::optional<FileStamp> StampOf(const std::string& path);

struct PageFilesContext {
  const SiteMap* site = nullptr;     // for virtual includes
  std::string server_name;           // the request's Host, for host identifiers
  std::string page_url;              // the page's URL path (relative virtual includes)
  std::string root;                  // the folder the page was mapped under
  IncludeCallback include_callback = nullptr;
  intptr_t include_parameter = 0;
  std::function<void(std::string_view)> log;  // the server log
  /// The opened root folder of a folder the path map names; null when the snapshot lacks it.
  std::function<const FileRoot*(std::string_view folder)> root_for;
  /// Set once the host's include callback had no global.asa: it is not asked for it again.
  std::atomic<bool>* host_lacks_global_file = nullptr;
};

class PageFiles final : public PreprocessorSite {
 public:
  /// Pages are read up to this size; the rest is cut.
  static constexpr size_t kMaxPageBytes = 1048576;
  /// A folder with more entries than this is not searched for another letter case.
  static constexpr size_t kMaxEntriesSearched = 10000;

  explicit PageFiles(PageFilesContext context) : context_(std::move(context)) {}

  /// The page's text; an error (with errno's number as the HRESULT's low bits) when it cannot
  /// be read.
  Result<std::string> ReadPage(const std::string& path);
  /// global.asa of the page's root, when there is one: from the host's include callback until
  /// it once has none, else from the root folder on disk.
  std::optional<IncludedFile> ReadGlobalFile();
  Result<IncludedFile> ReadInclude(const IncludeRequest& request) override;
  void Log(std::string_view line) override;

  /// The files read from disk so far.
  const std::vector<FileStamp>& Stamps() const { return stamps_; }
  /// A file came from the host: the compiled page must not be kept.
  bool FromHost() const { return from_host_; }
  /// The system error of the last file that could not be opened (ENOENT: it does not exist).
  int LastErrno() const { return last_errno_; }

 private:
  // The text of a file inside `root`, the host asked first; at most `max_bytes` (one more is
  // read so that a longer file can be told apart).
  Result<IncludedFile> ReadContained(const std::string& path, const std::string& root,
                                     size_t max_bytes);
  std::optional<std::string> AskHost(const std::string& path, const std::string& root);

  PageFilesContext context_;
  std::vector<FileStamp> stamps_;
  bool from_host_ = false;
  int last_errno_ = 0;
};

/// The path of an existing file under `root` that matches `path` (a path inside `root`) when
/// letter case is ignored segment by segment; the exact path when it exists; nothing when no
/// match exists or the search would leave the root.
std::optional<std::string> FindIgnoringCase(const std::string& root, const std::string& path);
