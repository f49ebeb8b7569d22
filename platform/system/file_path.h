#pragma once
// Paths that scripts give (FileSystemObject, ADODB.Stream, a SQLite database): '/' and '\' are
// both separators; the file system gets '/' and UTF-8.

#include <string>
#include <string_view>

#include "platform/automation/result.h"

/// The longest path accepted, in bytes of UTF-8.
inline constexpr size_t kMaxPathBytes = 4096;

/// The path with every '\' turned into '/'.
std::u16string NormalizeSeparators(std::u16string_view path);

/// The path as the file system takes it: separators normalised, UTF-8. BadFileNameOrNumber (52)
/// for an empty path, one holding NUL, or one longer than kMaxPathBytes.
Result<std::string> NativePath(std::u16string_view path);
