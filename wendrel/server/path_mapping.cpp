#include "wendrel/server/path_mapping.h"

#include <algorithm>
#include <optional>

#include "wendrel/common/byte_string.h"

namespace {

std::string WithForwardSlashes(std::string_view path) {
  std::string forward(path);
  std::replace(forward.begin(), forward.end(), '\\', '/');
  return forward;
}

// The root for a request: the host identifier's folder for its server name, else the site root.
std::string RootFor(const SiteMap& site, std::string_view server_name) {
  if (server_name.empty()) return site.default_directory;
  for (const auto& [host, folder] : site.host_ids) {
    if (BytesEqualIgnoringCase(host, server_name)) return folder;
  }
  return site.default_directory;
}

// The folder and the rest of the path when a segment of the path names a virtual directory:
// each "/segment/" from the first is compared with the keys ignoring case; a path with a
// single segment is compared with each key over the key's length.
std::optional<MappedPath> MapVirtualDirectory(const SiteMap& site, std::string_view path) {
  size_t start = path.find('/');
  if (start == std::string_view::npos) return std::nullopt;
  size_t next = path.find('/', start + 1);
  if (next == std::string_view::npos) {
    for (const auto& [key, folder] : site.virtual_dirs) {
      std::string_view bare = std::string_view(key).substr(0, key.size() - 1);  // "/docs"
      if (BytesEqualIgnoringCase(path, bare) || BytesEqualIgnoringCase(path, key)) {
        return MappedPath{folder, folder};
      }
    }
    return std::nullopt;
  }
  while (next != std::string_view::npos) {
    std::string_view segment = path.substr(start, next - start + 1);  // "/docs/"
    for (const auto& [key, folder] : site.virtual_dirs) {
      if (key.size() != segment.size() || !BytesEqualIgnoringCase(segment, key)) continue;
      std::string mapped = folder;
      if (mapped.ends_with('/')) mapped.pop_back();
      mapped += path.substr(next);
      return MappedPath{mapped, folder};
    }
    start = next;
    next = path.find('/', start + 1);
  }
  return std::nullopt;
}

// `path` kept inside `root`: when the normalised path does not start with the root, the part
// of it after the last '/' before the first difference goes under the root.
std::string Contained(const std::string& root, const std::string& path) {
  std::string normal_root = NormalisedPath(root);
  std::string normal = NormalisedPath(path);
  if (normal_root.empty() || normal_root == "/") return normal;
  if (normal == normal_root || normal.starts_with(normal_root + "/")) return normal;
  size_t differ = 0;
  while (differ < normal.size() && differ < normal_root.size() &&
         normal[differ] == normal_root[differ]) {
    ++differ;
  }
  size_t slash = normal.rfind('/', differ);
  std::string rest = slash == std::string::npos ? "/" + normal : normal.substr(slash);
  return NormalisedPath(normal_root + rest);
}

}  // namespace

namespace {

// No empty, "." or ".." segment: the path is its own normal form (the common case, checked
// without building anything).
bool IsNormal(std::string_view path) {
  size_t start = path.starts_with('/') ? 1 : 0;
  while (start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

std::string NormalisedPath(std::string_view path) {
  if (IsNormal(path)) return std::string(path);
  bool absolute = path.starts_with('/');
  std::vector<std::string_view> segments;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(start, end - start);
    start = end + 1;
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      continue;
    }
    segments.push_back(segment);
  }
  std::string normal = absolute ? "/" : "";
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) normal += '/';
    normal += segments[i];
  }
  bool trailing = path.ends_with('/') && !segments.empty();
  if (trailing) normal += '/';
  return normal;
}

MappedPath MapUrlPath(const SiteMap& site, std::string_view url_path,
                      std::string_view server_name) {
  std::string path = WithForwardSlashes(url_path);
  std::string root = RootFor(site, server_name);
  MappedPath mapped;
  if (std::optional<MappedPath> virtual_dir = MapVirtualDirectory(site, path)) {
    mapped = *virtual_dir;
  } else {
    mapped.root = root;
    mapped.path = root;
    if (!mapped.path.ends_with('/')) mapped.path += '/';
    std::string_view rest = path;
    if (rest.starts_with('/')) rest.remove_prefix(1);
    mapped.path += rest;
  }
  bool trailing = mapped.path.ends_with('/');
  mapped.path = Contained(mapped.root, mapped.path);
  if (trailing && !mapped.path.ends_with('/')) mapped.path += '/';
  return mapped;
}
