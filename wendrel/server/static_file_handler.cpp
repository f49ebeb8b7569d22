#include "wendrel/server/static_file_handler.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "wendrel/asp/request.h"
#include "wendrel/server/mime_types.h"
#include "wendrel/server/response.h"
#include "wendrel/server/server_settings.h"

namespace {

bool HasParentSegment(std::string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = path.size();
    if (path.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool Exists(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0;
}

std::optional<std::string> RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
  return std::string(resolved);
}

std::string_view ExtensionOf(std::string_view path) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot)) return {};
  return path.substr(dot);
}

}  // namespace

std::optional<std::string> MapToSiteRoot(const ServerSettings& settings,
                                         std::string_view virtual_path) {
  if (HasParentSegment(virtual_path) || virtual_path.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  std::string path = settings.default_directory;
  if (!path.ends_with('/') && !virtual_path.starts_with('/')) path += '/';
  if (path.ends_with('/') && virtual_path.starts_with('/')) virtual_path.remove_prefix(1);
  path += virtual_path;
  return path;
}

std::optional<std::string> ResolveRequestFile(const ServerSettings& settings,
                                              std::string_view request_page) {
  std::optional<std::string> path = MapToSiteRoot(settings, request_page);
  if (!path) return std::nullopt;
  if (path->ends_with('/')) return *path + settings.default_document;
  size_t slash = path->rfind('/');
  bool last_segment_has_dot = path->find('.', slash == std::string::npos ? 0 : slash) !=
                              std::string::npos;
  if (!last_segment_has_dot && (!Exists(*path) || IsDirectory(*path))) {
    return *path + "/" + settings.default_document;
  }
  return path;
}

bool IsInsideRoot(const std::string& root, const std::string& path) {
  std::optional<std::string> real_root = RealPath(root);
  std::optional<std::string> real_path = RealPath(path);
  if (!real_root || !real_path) return false;
  if (*real_path == *real_root) return true;
  std::string prefix = *real_root == "/" ? "/" : *real_root + "/";
  return real_path->starts_with(prefix);
}

void ServeStaticFile(const ServerSettings& settings, Request& request, Response& response) {
  std::optional<std::string> file = ResolveRequestFile(settings, request.RequestPage());
  if (!file || !IsInsideRoot(settings.default_directory, *file)) {
    response.NotFound(request.RequestPage());
    return;
  }
  request.SetDefaultResponseFile(*file);
  std::string content_type = BuiltInMimeType(ExtensionOf(*file));
  if (content_type.empty()) content_type = "text/html";
  (void)response.SendFile(*file, request.IfModifiedSince(), 0, 0, content_type);
}
