#include "platform/scriptruntime/file_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "platform/system/code_page.h"
#include "platform/system/file_path.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

// The path without trailing separators (the root stays "/").
std::u16string_view TrimTrailing(std::u16string_view path) {
  while (path.size() > 1 && IsSeparator(path.back())) path.remove_suffix(1);
  return path;
}

size_t LastSeparator(std::u16string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i - 1;
  }
  return std::u16string_view::npos;
}

bool ParentExists(std::u16string_view path) {
  std::u16string parent = ParentFolderName(path);
  if (parent.empty()) return true;
  struct stat status {};
  std::string native = TextToBytes(NormalizeSeparators(parent), CP_UTF8);
  return ::stat(native.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::u16string JoinPath(std::u16string_view path, std::u16string_view name) {
  if (path.empty()) return std::u16string(name);
  if (name.empty()) return std::u16string(path);
  std::u16string joined(path);
  if (!IsSeparator(path.back()) && !IsSeparator(name.front())) joined += u'/';
  joined += name;
  return joined;
}

std::u16string LastComponent(std::u16string_view path) {
  std::u16string_view trimmed = TrimTrailing(path);
  if (trimmed.size() == 1 && IsSeparator(trimmed[0])) return u"";
  size_t separator = LastSeparator(trimmed);
  return std::u16string(separator == std::u16string_view::npos ? trimmed : trimmed.substr(separator + 1));
}

std::u16string BaseName(std::u16string_view path) {
  std::u16string name = LastComponent(path);
  size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? name : name.substr(0, dot);
}

std::u16string ExtensionName(std::u16string_view path) {
  std::u16string name = LastComponent(path);
  size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? u"" : name.substr(dot + 1);
}

std::u16string ParentFolderName(std::u16string_view path) {
  std::u16string_view trimmed = TrimTrailing(path);
  size_t separator = LastSeparator(trimmed);
  if (separator == std::u16string_view::npos) return u"";
  if (trimmed.size() == 1) return u"";  // the root has no parent
  std::u16string_view parent = trimmed.substr(0, separator);
  while (!parent.empty() && IsSeparator(parent.back())) parent.remove_suffix(1);
  if (parent.empty()) return u"/";
  return NormalizeSeparators(parent);
}

std::u16string AbsolutePath(std::u16string_view path, std::u16string_view current_folder) {
  std::u16string whole = !path.empty() && IsSeparator(path[0])
                             ? std::u16string(path)
                             : JoinPath(current_folder, path);
  std::vector<std::u16string_view> parts;
  std::u16string_view rest = whole;
  while (!rest.empty()) {
    size_t separator = 0;
    while (separator < rest.size() && !IsSeparator(rest[separator])) ++separator;
    std::u16string_view part = rest.substr(0, separator);
    rest = separator < rest.size() ? rest.substr(separator + 1) : std::u16string_view();
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::u16string absolute;
  for (std::u16string_view part : parts) {
    absolute += u'/';
    absolute += part;
  }
  return absolute.empty() ? u"/" : absolute;
}

Error FileSystemError(int error_number, std::u16string_view path, PathKind kind) {
  switch (error_number) {
    case ENOENT:
    case ENOTDIR:
      if (kind == PathKind::Folder || !ParentExists(path)) return ErrorNumber::PathNotFound;
      return ErrorNumber::FileNotFound;
    case EEXIST:
    case ENOTEMPTY:
      return ErrorNumber::FileAlreadyExists;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return ErrorNumber::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
      return ErrorNumber::DiskFull;
    case ENAMETOOLONG:
    case EINVAL:
      return ErrorNumber::BadFileNameOrNumber;
    default:
      return ErrorNumber::PathFileAccessError;
  }
}

bool HasWildcards(std::u16string_view path) {
  std::u16string name = LastComponent(path);
  return name.find_first_of(u"*?") != std::u16string::npos;
}
