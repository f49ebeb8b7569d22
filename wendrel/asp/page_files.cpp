#include "wendrel/asp/page_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/system/code_page.h"
#include "wendrel/asp/asp_texts.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/formatted.h"
#include "wendrel/server/file_containment.h"

namespace {

constexpr char kGlobalFileName[] = "global.asa";

std::string WithForwardSlashes(std::string_view path) {
  std::string forward(path);
  std::replace(forward.begin(), forward.end(), '\\', '/');
  return forward;
}

bool LiesInside(const std::string& path, const std::string& root) {
  return root == "/" ? path.starts_with('/') : path.starts_with(root + "/");
}

Error FileError(std::u16string description) {
  return Error::FromHresult(E_FAIL, std::move(description));
}

std::u16string Described(std::string_view what, std::string_view name) {
  return BytesToText(std::string(what) + " \"" + std::string(name) + "\"", CP_ACP);
}

// An open descriptor, closed at the end of its scope.
struct Descriptor {
  int value = -1;
  ~Descriptor() {
    if (value >= 0) close(value);
  }
};

// Reads at most `limit` bytes from the start of an open regular file.
bool ReadUpTo(int file, size_t limit, std::string& text) {
  text.clear();
  char piece[65536];
  while (text.size() < limit) {
    ssize_t got = read(file, piece, std::min(sizeof piece, limit - text.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    text.append(piece, static_cast<size_t>(got));
  }
  return true;
}

// The entry of `folder` whose name equals `name` ignoring letter case (the first in name
// order); nothing when there is none or the folder is too large to search.
std::optional<std::string> EntryIgnoringCase(const std::string& folder, std::string_view name) {
  std::unique_ptr<DIR, int (*)(DIR*)> directory(opendir(folder.c_str()), &closedir);
  if (!directory) return std::nullopt;
  std::optional<std::string> found;
  size_t seen = 0;
  while (dirent* entry = readdir(directory.get())) {
    if (++seen > PageFiles::kMaxEntriesSearched) return std::nullopt;
    std::string_view candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    if (candidate.size() != name.size() || !BytesEqualIgnoringCase(candidate, name)) continue;
    if (!found || candidate < *found) found = std::string(candidate);
  }
  return found;
}

bool Exists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

}  // namespace

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileStamp{path,
                   static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                   static_cast<int64_t>(status.st_size), static_cast<uint64_t>(status.st_ino)};
}

std::optional<std::string> FindIgnoringCase(const std::string& root, const std::string& path) {
  if (Exists(path)) return path;
  if (!LiesInside(path, root)) return std::nullopt;
  std::string current = root == "/" ? "" : root;
  std::string_view rest = std::string_view(path).substr(current.size() + 1);
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view segment = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (segment.empty() || segment == "." || segment == "..") return std::nullopt;
    std::string exact = current + "/" + std::string(segment);
    if (Exists(exact)) {
      current = std::move(exact);
      continue;
    }
    std::optional<std::string> other = EntryIgnoringCase(current.empty() ? "/" : current, segment);
    if (!other) return std::nullopt;
    current += "/" + *other;
  }
  return current;
}

Result<std::string> PageFiles::ReadPage(const std::string& path) {
  IncludedFile page = TRY(ReadContained(path, context_.root, kMaxPageBytes));
  if (page.text.size() > kMaxPageBytes) page.text.resize(kMaxPageBytes);
  return std::move(page.text);
}

std::optional<IncludedFile> PageFiles::ReadGlobalFile() {
  std::string path = NormalisedRoot(context_.root);
  path += path == "/" ? kGlobalFileName : std::string("/") + kGlobalFileName;
  std::atomic<bool>* host_lacks = context_.host_lacks_global_file;
  if (context_.include_callback != nullptr && (host_lacks == nullptr || !host_lacks->load())) {
    if (std::optional<std::string> text = AskHost(path, context_.root)) {
      return IncludedFile{path, std::move(*text)};
    }
    if (host_lacks != nullptr) host_lacks->store(true);  // the host is not asked again
  }
  if (!Exists(path)) return std::nullopt;
  IncludeCallback callback = std::exchange(context_.include_callback, nullptr);
  Result<IncludedFile> global = ReadContained(path, context_.root, kDefaultMaxExpandedBytes);
  context_.include_callback = callback;
  if (!global.ok()) return std::nullopt;
  return std::move(global).value();
}

Result<IncludedFile> PageFiles::ReadInclude(const IncludeRequest& request) {
  std::string name = WithForwardSlashes(request.name);
  if (request.form == IncludeForm::File) {
    std::string base = name.starts_with('/') ? NormalisedRoot(context_.root) : request.directory;
    std::string path = NormalisedPath(base + "/" + name);
    if (!LiesInside(path, NormalisedRoot(context_.root))) {
      return FileError(Described("outside the site:", request.name));
    }
    return ReadContained(path, context_.root, request.max_bytes);
  }
  if (!name.starts_with('/')) {
    size_t slash = context_.page_url.rfind('/');
    name = context_.page_url.substr(0, slash == std::string::npos ? 0 : slash + 1) + name;
  }
  if (context_.site == nullptr) return FileError(Described("no site for", request.name));
  MappedPath mapped = MapUrlPath(*context_.site, name, context_.server_name);
  return ReadContained(mapped.path, mapped.root, request.max_bytes);
}

void PageFiles::Log(std::string_view line) {
  if (context_.log) context_.log(line);
}

std::optional<std::string> PageFiles::AskHost(const std::string& path, const std::string& root) {
  std::string normal_root = NormalisedRoot(root);
  std::string relative = LiesInside(path, normal_root)
                             ? path.substr(normal_root == "/" ? 1 : normal_root.size() + 1)
                             : path;
  Log(Formatted(AspTextFormat(AspText::IncludeRequested), relative.c_str()));
  char* block = context_.include_callback(relative.c_str(), context_.include_parameter);
  if (block == nullptr || block == reinterpret_cast<char*>(intptr_t{-1})) {
    Log(Formatted(AspTextFormat(AspText::IncludeNotFound), relative.c_str()));
    return std::nullopt;
  }
  std::string text(block);
  std::free(block);
  from_host_ = true;
  return text;
}

Result<IncludedFile> PageFiles::ReadContained(const std::string& path, const std::string& root,
                                              size_t max_bytes) {
  if (context_.include_callback != nullptr) {
    if (std::optional<std::string> text = AskHost(path, root)) return IncludedFile{path, *text};
  }
  std::string normal_root = NormalisedRoot(root);
  std::unique_ptr<FileRoot> own_root;
  const FileRoot* folder = context_.root_for ? context_.root_for(normal_root) : nullptr;
  if (folder == nullptr) {
    own_root = std::make_unique<FileRoot>(normal_root);
    folder = own_root.get();
  }
  constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
  std::string found = path;
  Descriptor file{folder->OpenBeneath(found, kFlags)};
  if (file.value < 0 && errno == ENOENT) {
    if (std::optional<std::string> other = FindIgnoringCase(normal_root, path)) {
      found = *other;
      file.value = folder->OpenBeneath(found, kFlags);
    }
  }
  if (file.value < 0) {
    last_errno_ = errno;
    const char* why = errno == EXDEV ? "outside the site:" : "not found:";
    return FileError(Described(why, path));
  }
  struct stat status {};
  if (fstat(file.value, &status) != 0 || !S_ISREG(status.st_mode)) {
    return FileError(Described("not a file:", path));
  }
  IncludedFile read{found, {}};
  if (!ReadUpTo(file.value, max_bytes == SIZE_MAX ? max_bytes : max_bytes + 1, read.text)) {
    return FileError(Described("cannot be read:", path));
  }
  stamps_.push_back({found,
                     static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                     static_cast<int64_t>(status.st_size), static_cast<uint64_t>(status.st_ino)});
  return read;
}
