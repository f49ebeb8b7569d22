#include "wendrel/server/handlers/request_target.h"

#include <sys/stat.h>

#include "wendrel/common/byte_string.h"
#include "wendrel/server/mime_types.h"

namespace {

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool Exists(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0;
}

}  // namespace

std::string ResolveRequestFile(const std::string& mapped_path, std::string_view default_document) {
  if (mapped_path.ends_with('/')) return mapped_path + std::string(default_document);
  size_t slash = mapped_path.rfind('/');
  bool has_dot = mapped_path.find('.', slash == std::string::npos ? 0 : slash) != std::string::npos;
  if (!has_dot && (!Exists(mapped_path) || IsDirectory(mapped_path))) {
    return mapped_path + "/" + std::string(default_document);
  }
  return mapped_path;
}

std::string_view ContentTypeOf(std::string_view extension,
                               const std::vector<std::pair<std::string, std::string>>& mime_types) {
  if (extension.empty()) return {};
  std::string_view built_in = BuiltInMimeType(extension);
  if (!built_in.empty()) return built_in;
  for (const auto& [known, type] : mime_types) {
    if (BytesEqualIgnoringCase(known, extension)) return type;
  }
  return {};
}
