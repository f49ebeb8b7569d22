#pragma once
// The path rules of the FileSystemObject: names taken apart as text (no file system access),
// '/' and '\' both separators, results written with '/'; and the script error a failed file
// system call raises.

#include <string>
#include <string_view>

#include "platform/automation/result.h"

/// BuildPath: `path` and `name` joined by one separator (none added when either side has one).
std::u16string JoinPath(std::u16string_view path, std::u16string_view name);
/// GetFileName: the last component ("" for a path ending in a separator... of the root).
std::u16string LastComponent(std::u16string_view path);
/// GetBaseName: the last component without its extension.
std::u16string BaseName(std::u16string_view path);
/// GetExtensionName: the text after the last '.' of the last component; "" when none.
std::u16string ExtensionName(std::u16string_view path);
/// GetParentFolderName: everything before the last component ("/" for a child of the root, ""
/// for a bare name).
std::u16string ParentFolderName(std::u16string_view path);
/// GetAbsolutePathName: the path made absolute against `current_folder` and normalised ('.' and
/// '..' resolved as text, repeated and trailing separators removed).
std::u16string AbsolutePath(std::u16string_view path, std::u16string_view current_folder);

/// What a path names for an error: a file or a folder.
enum class PathKind { File, Folder };

/// The script error of a failed call on `path` (errno `error_number`): FileNotFound (53) or, for
/// a folder or a missing parent folder, PathNotFound (76); FileAlreadyExists (58);
/// PermissionDenied (70); DiskFull (61); else PathFileAccessError (75).
Error FileSystemError(int error_number, std::u16string_view path, PathKind kind);

/// Whether a last component holds the wildcards '*' or '?'.
bool HasWildcards(std::u16string_view path);
