#include "wendrel/common/server_file_kinds.h"

#include "wendrel/common/byte_string.h"

namespace {

constexpr std::string_view kDotNetExtensions[] = {
    ".ASPX", ".ASAX", ".ASCX",    ".ASHX", ".ASMX",   ".AXD",     ".CONFIG", ".CS",
    ".CSPROJ", ".LICX", ".RESX", ".VB",   ".VBPROJ", ".VSDISCO", ".WEBINFO",
};

constexpr std::string_view kServerOnlyExtensions[] = {".ASA", ".CSX", ".INC"};

template <size_t N>
bool IsOneOf(std::string_view extension, const std::string_view (&known)[N]) {
  for (std::string_view candidate : known) {
    if (candidate.size() == extension.size() && BytesEqualIgnoringCase(extension, candidate)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsAspPageExtension(std::string_view extension) {
  return BytesEqualIgnoringCase(extension, ".ASP");
}

bool IsDotNetExtension(std::string_view extension) {
  return IsOneOf(extension, kDotNetExtensions);
}

bool IsServerOnlyExtension(std::string_view extension) {
  return IsOneOf(extension, kServerOnlyExtensions);
}

bool IsServerCodeExtension(std::string_view extension) {
  return IsAspPageExtension(extension) || IsDotNetExtension(extension) ||
         IsServerOnlyExtension(extension);
}

std::string_view ExtensionOf(std::string_view path) {
  size_t dot = path.rfind('.');
  size_t slash = path.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot)) return {};
  return path.substr(dot);
}
