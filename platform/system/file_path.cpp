#include "platform/system/file_path.h"

#include <algorithm>

#include "platform/system/code_page.h"

std::u16string NormalizeSeparators(std::u16string_view path) {
  std::u16string normal(path);
  std::replace(normal.begin(), normal.end(), u'\\', u'/');
  return normal;
}

Result<std::string> NativePath(std::u16string_view path) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) {
    return ErrorNumber::BadFileNameOrNumber;
  }
  std::string native = TextToBytes(NormalizeSeparators(path), CP_UTF8);
  if (native.size() > kMaxPathBytes) return ErrorNumber::BadFileNameOrNumber;
  return native;
}
