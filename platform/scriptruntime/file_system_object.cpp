#include "platform/scriptruntime/file_system_object.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <cstdio>
#include <optional>
#include <random>

#include "platform/automation/conversion.h"
#include "platform/automation/date_time.h"
#include "platform/automation/text_case.h"
#include "platform/com/enum_variant.h"
#include "platform/scriptruntime/file_paths.h"
#include "platform/scriptruntime/text_stream.h"
#include "platform/system/code_page.h"
#include "platform/system/file_path.h"

namespace {

constexpr int32_t kForReading = 1;
constexpr int32_t kForWriting = 2;
constexpr int32_t kForAppending = 8;
constexpr int32_t kTristateUseDefault = -2;
constexpr int32_t kTristateTrue = -1;
constexpr int32_t kTristateFalse = 0;
constexpr int32_t kUtf8Format = 65001;
// File attributes as the platform numbers them.
constexpr int32_t kReadOnly = 1;
constexpr int32_t kHidden = 2;
constexpr int32_t kDirectory = 16;
constexpr int32_t kArchive = 32;
constexpr int32_t kAlias = 1024;
// Folder.Size walks at most this deep.
constexpr int kMaxSizeDepth = 64;

namespace fs = std::filesystem;

Result<std::u16string> TextArgument(const VARIANT& value) {
  Bstr text = TRY(ToBstr(value));
  return std::u16string(text.view());
}

// A path argument: checked, and with '/' for separators.
Result<std::u16string> PathArgument(const VARIANT& value) {
  std::u16string path = TRY(TextArgument(value));
  TRY(NativePath(path));
  return NormalizeSeparators(path);
}

Result<bool> OptionalBool(const DispatchArguments& arguments, size_t index, bool fallback) {
  if (index >= arguments.size() || arguments.IsMissing(index)) return fallback;
  return ToBool(arguments[index]);
}

Result<int32_t> OptionalInt(const DispatchArguments& arguments, size_t index, int32_t fallback) {
  if (index >= arguments.size() || arguments.IsMissing(index)) return fallback;
  return ToInt32(arguments[index]);
}

std::string Native(std::u16string_view path) { return TextToBytes(path, CP_UTF8); }

std::optional<struct stat> StatOf(std::u16string_view path, bool follow = true) {
  struct stat status {};
  std::string native = Native(path);
  int result = follow ? ::stat(native.c_str(), &status) : ::lstat(native.c_str(), &status);
  if (result != 0) return std::nullopt;
  return status;
}

bool IsFile(std::u16string_view path) {
  std::optional<struct stat> status = StatOf(path);
  return status && !S_ISDIR(status->st_mode);
}

bool IsFolder(std::u16string_view path) {
  std::optional<struct stat> status = StatOf(path);
  return status && S_ISDIR(status->st_mode);
}

std::u16string CurrentFolder() {
  std::error_code error;
  fs::path current = fs::current_path(error);
  return error ? u"/" : BytesToText(current.string(), CP_UTF8);
}

std::u16string Absolute(std::u16string_view path) { return AbsolutePath(path, CurrentFolder()); }

// The entries of a folder that are files or folders, sorted by name.
std::vector<std::u16string> ListFolder(std::u16string_view folder, bool folders) {
  std::vector<std::u16string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(Native(folder), error)) {
    std::error_code kind_error;
    bool is_folder = entry.is_directory(kind_error);
    if (is_folder != folders) continue;
    names.push_back(BytesToText(entry.path().filename().string(), CP_UTF8));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The paths a spec names: itself, or the entries of its folder matching its wildcards.
std::vector<std::u16string> Expand(std::u16string_view spec, bool folders) {
  if (!HasWildcards(spec)) return {std::u16string(spec)};
  std::u16string parent = ParentFolderName(spec);
  std::string pattern = Native(LastComponent(spec));
  std::vector<std::u16string> matches;
  for (const std::u16string& name : ListFolder(parent.empty() ? u"." : parent, folders)) {
    if (fnmatch(pattern.c_str(), Native(name).c_str(), FNM_PERIOD) == 0) {
      matches.push_back(JoinPath(parent, name));
    }
  }
  return matches;
}

bool EndsWithSeparator(std::u16string_view path) { return !path.empty() && path.back() == u'/'; }

// Where a copy or move of `source` goes: into `destination` when it names a folder (ends with a
// separator, or `many` sources go there), else to `destination` itself.
std::u16string TargetOf(std::u16string_view source, std::u16string_view destination, bool many) {
  if (EndsWithSeparator(destination) || many) return JoinPath(destination, LastComponent(source));
  return std::u16string(destination);
}

Result<void> CopyOneFile(std::u16string_view source, std::u16string_view target, bool overwrite) {
  int input = ::open(Native(source).c_str(), O_RDONLY | O_CLOEXEC);
  if (input < 0) return FileSystemError(errno, source, PathKind::File);
  struct stat status {};
  fstat(input, &status);
  if (S_ISDIR(status.st_mode)) {
    ::close(input);
    return ErrorNumber::FileNotFound;
  }
  if (IsFolder(target)) {
    ::close(input);
    return ErrorNumber::PermissionDenied;
  }
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (overwrite ? 0 : O_EXCL);
  int output = ::open(Native(target).c_str(), flags, status.st_mode & 0777);
  if (output < 0) {
    int error = errno;
    ::close(input);
    return FileSystemError(error, target, PathKind::File);
  }
  char piece[65536];
  Result<void> copied;
  for (;;) {
    ssize_t got = ::read(input, piece, sizeof(piece));
    if (got == 0) break;
    if (got < 0 || ::write(output, piece, static_cast<size_t>(got)) != got) {
      copied = Error(ErrorNumber::DeviceIoError);
      break;
    }
  }
  ::close(input);
  if (::close(output) != 0 && copied.ok()) copied = Error(ErrorNumber::DeviceIoError);
  return copied;
}

Result<void> MoveOne(std::u16string_view source, std::u16string_view target, PathKind kind) {
  if (StatOf(target, false)) return ErrorNumber::FileAlreadyExists;
  if (::rename(Native(source).c_str(), Native(target).c_str()) == 0) return {};
  int error = errno;
  if (error != EXDEV) return FileSystemError(error, kind == PathKind::File ? target : source, kind);
  // Another file system: copy, then remove the source.
  std::error_code copy_error;
  fs::copy(Native(source), Native(target), fs::copy_options::recursive, copy_error);
  if (copy_error) return FileSystemError(copy_error.value(), target, kind);
  fs::remove_all(Native(source), copy_error);
  return {};
}

Result<void> RemoveFile(std::u16string_view path, bool force) {
  std::optional<struct stat> status = StatOf(path, false);
  if (!status || S_ISDIR(status->st_mode)) return ErrorNumber::FileNotFound;
  if (!force && (status->st_mode & S_IWUSR) == 0) return ErrorNumber::PermissionDenied;
  if (::unlink(Native(path).c_str()) != 0) return FileSystemError(errno, path, PathKind::File);
  return {};
}

Result<void> RemoveFolder(std::u16string_view path, bool force) {
  std::optional<struct stat> status = StatOf(path, false);
  if (!status || !S_ISDIR(status->st_mode)) return ErrorNumber::PathNotFound;
  if (!force && (status->st_mode & S_IWUSR) == 0) return ErrorNumber::PermissionDenied;
  std::error_code error;
  fs::remove_all(Native(path), error);
  if (error) return FileSystemError(error.value(), path, PathKind::Folder);
  return {};
}

int32_t AttributesOf(std::u16string_view path) {
  std::optional<struct stat> status = StatOf(path, false);
  if (!status) return 0;
  int32_t attributes = 0;
  if ((status->st_mode & S_IWUSR) == 0) attributes |= kReadOnly;
  if (LastComponent(path).starts_with(u".")) attributes |= kHidden;
  if (S_ISLNK(status->st_mode)) attributes |= kAlias;
  std::optional<struct stat> target = StatOf(path);
  if (target && S_ISDIR(target->st_mode)) attributes |= kDirectory;
  else attributes |= kArchive;
  return attributes;
}

// One of a path's times (st_mtim, st_atim, st_ctim) as a local date; `missing` when the path
// is gone.
using StatTime = timespec stat::*;
Result<Variant> TimeOf(std::u16string_view path, StatTime which, ErrorNumber missing) {
  std::optional<struct stat> status = StatOf(path);
  if (!status) return missing;
  return Variant::FromDate(TRY(LocalDateOfMoment(((*status).*which).tv_sec)));
}

Result<Variant> ModifiedDate(std::u16string_view path) {
  return TimeOf(path, &stat::st_mtim, ErrorNumber::PathNotFound);
}

// Opens a text file as OpenTextFile does; `must_not_exist` is CreateTextFile without Overwrite.
Result<Variant> OpenText(std::u16string_view path, int32_t mode, bool create, int32_t format,
                         bool must_not_exist) {
  if (mode != kForReading && mode != kForWriting && mode != kForAppending) return ErrorNumber::InvalidProcedureCall;
  if (format != kTristateFalse && format != kTristateTrue && format != kTristateUseDefault &&
      format != kUtf8Format) {
    return ErrorNumber::InvalidProcedureCall;
  }
  int flags = O_CLOEXEC;
  if (mode == kForReading) flags |= O_RDONLY;
  if (mode == kForWriting) flags |= O_WRONLY | O_TRUNC;
  if (mode == kForAppending) flags |= O_WRONLY | O_APPEND;
  if (create && mode != kForReading) flags |= O_CREAT;
  if (must_not_exist) flags |= O_EXCL;
  if (IsFolder(path)) return ErrorNumber::PermissionDenied;
  int descriptor = ::open(Native(path).c_str(), flags, 0644);
  if (descriptor < 0) return FileSystemError(errno, path, PathKind::File);
  TextEncoding encoding = format == kTristateTrue ? TextEncoding::Unicode
                          : format == kUtf8Format ? TextEncoding::Utf8
                                                  : TextEncoding::Ansi;
  if (mode == kForReading) {
    ComPtr<TextStream> stream = MakeObject<TextStream>(descriptor, TextStream::Mode::Reading, encoding,
                                                       format == kTristateUseDefault, false);
    return Variant::FromDispatch(stream.get());
  }
  struct stat status {};
  fstat(descriptor, &status);
  ComPtr<TextStream> stream = MakeObject<TextStream>(descriptor, TextStream::Mode::Writing, encoding,
                                                     false, status.st_size == 0);
  return Variant::FromDispatch(stream.get());
}

Result<Variant> MakeFileItem(std::u16string_view path) {
  if (!IsFile(path)) return ErrorNumber::FileNotFound;
  ComPtr<FileItem> item = MakeObject<FileItem>(Absolute(path));
  return Variant::FromDispatch(item.get());
}

Result<Variant> MakeFolderItem(std::u16string_view path) {
  if (!IsFolder(path)) return ErrorNumber::PathNotFound;
  ComPtr<FolderItem> item = MakeObject<FolderItem>(Absolute(path));
  return Variant::FromDispatch(item.get());
}

uint64_t FolderSize(const std::string& folder) {
  uint64_t total = 0;
  std::error_code error;
  fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied, error);
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    if (walk.depth() >= kMaxSizeDepth) walk.disable_recursion_pending();
    std::error_code size_error;
    if (walk->is_regular_file(size_error)) total += walk->file_size(size_error);
  }
  return total;
}

Variant SizeVariant(uint64_t size) {
  // Sizes past a 32-bit integer come as doubles, as on the platform.
  if (size <= INT32_MAX) return Variant::FromI4(static_cast<int32_t>(size));
  return Variant::FromR8(static_cast<double>(size));
}

Result<void> Rename(std::u16string& path, const VARIANT& value, PathKind kind) {
  std::u16string name = TRY(TextArgument(value));
  if (name.empty() || name.find_first_of(u"/\\") != std::u16string::npos || name == u"." || name == u"..") {
    return ErrorNumber::BadFileNameOrNumber;
  }
  std::u16string target = JoinPath(ParentFolderName(path), name);
  TRY(MoveOne(path, target, kind));
  path = target;
  return {};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// FileSystemObject

std::span<const DispatchMember<FileSystemObject>> FileSystemObject::Members() {
  using F = FileSystemObject;
  static constexpr DispatchMember<F> kMembers[] = {
      {u"BuildPath", 10000, kMethod, 2, 2, &F::BuildPath, u"Path,Name"},
      {u"GetParentFolderName", 10002, kMethod, 1, 1, &F::GetParentFolderName, u"Path"},
      {u"GetFileName", 10003, kMethod, 1, 1, &F::GetFileName, u"Path"},
      {u"GetBaseName", 10004, kMethod, 1, 1, &F::GetBaseName, u"Path"},
      {u"GetExtensionName", 10005, kMethod, 1, 1, &F::GetExtensionName, u"Path"},
      {u"GetAbsolutePathName", 10006, kMethod, 1, 1, &F::GetAbsolutePathName, u"Path"},
      {u"GetTempName", 10007, kMethod, 0, 0, &F::GetTempName},
      {u"FileExists", 10010, kMethod, 1, 1, &F::FileExists, u"FileSpec"},
      {u"FolderExists", 10011, kMethod, 1, 1, &F::FolderExists, u"FolderSpec"},
      {u"GetFile", 10013, kMethod, 1, 1, &F::GetFile, u"FilePath"},
      {u"GetFolder", 10014, kMethod, 1, 1, &F::GetFolder, u"FolderPath"},
      {u"GetSpecialFolder", 10015, kMethod, 1, 1, &F::GetSpecialFolder, u"SpecialFolder"},
      {u"DeleteFile", 1200, kMethod, 1, 2, &F::DeleteFile, u"FileSpec,Force"},
      {u"DeleteFolder", 1201, kMethod, 1, 2, &F::DeleteFolder, u"FolderSpec,Force"},
      {u"MoveFile", 1204, kMethod, 2, 2, &F::MoveFile, u"Source,Destination"},
      {u"MoveFolder", 1205, kMethod, 2, 2, &F::MoveFolder, u"Source,Destination"},
      {u"CopyFile", 1202, kMethod, 2, 3, &F::CopyFile, u"Source,Destination,OverWriteFiles"},
      {u"CopyFolder", 1203, kMethod, 2, 3, &F::CopyFolder, u"Source,Destination,OverWriteFiles"},
      {u"CreateFolder", 1120, kMethod, 1, 1, &F::CreateFolder, u"Path"},
      {u"CreateTextFile", 1101, kMethod, 1, 3, &F::CreateTextFile, u"FileName,Overwrite,Unicode"},
      {u"OpenTextFile", 1100, kMethod, 1, 4, &F::OpenTextFile, u"FileName,IOMode,Create,Format"},
  };
  return kMembers;
}

Result<Variant> FileSystemObject::BuildPath(const DispatchArguments& arguments) {
  std::u16string path = TRY(TextArgument(arguments[0]));
  std::u16string name = TRY(TextArgument(arguments[1]));
  return Variant::FromString(JoinPath(path, name));
}

Result<Variant> FileSystemObject::GetFileName(const DispatchArguments& arguments) {
  return Variant::FromString(LastComponent(TRY(TextArgument(arguments[0]))));
}

Result<Variant> FileSystemObject::GetBaseName(const DispatchArguments& arguments) {
  return Variant::FromString(BaseName(TRY(TextArgument(arguments[0]))));
}

Result<Variant> FileSystemObject::GetExtensionName(const DispatchArguments& arguments) {
  return Variant::FromString(ExtensionName(TRY(TextArgument(arguments[0]))));
}

Result<Variant> FileSystemObject::GetParentFolderName(const DispatchArguments& arguments) {
  return Variant::FromString(ParentFolderName(TRY(TextArgument(arguments[0]))));
}

Result<Variant> FileSystemObject::GetAbsolutePathName(const DispatchArguments& arguments) {
  return Variant::FromString(Absolute(TRY(TextArgument(arguments[0]))));
}

Result<Variant> FileSystemObject::GetTempName(const DispatchArguments&) {
  // "rad" and five hexadecimal digits, as the platform names them.
  thread_local std::mt19937 generator{std::random_device{}()};
  uint32_t value = std::uniform_int_distribution<uint32_t>(0, 0xFFFFF)(generator);
  char name[16];
  std::snprintf(name, sizeof(name), "rad%05X.tmp", value);
  return Variant::FromString(BytesToText(name, CP_UTF8));
}

Result<Variant> FileSystemObject::FileExists(const DispatchArguments& arguments) {
  std::u16string path = TRY(TextArgument(arguments[0]));
  if (!NativePath(path).ok()) return Variant::FromBool(false);
  return Variant::FromBool(IsFile(NormalizeSeparators(path)));
}

Result<Variant> FileSystemObject::FolderExists(const DispatchArguments& arguments) {
  std::u16string path = TRY(TextArgument(arguments[0]));
  if (!NativePath(path).ok()) return Variant::FromBool(false);
  return Variant::FromBool(IsFolder(NormalizeSeparators(path)));
}

Result<Variant> FileSystemObject::GetFile(const DispatchArguments& arguments) {
  return MakeFileItem(TRY(PathArgument(arguments[0])));
}

Result<Variant> FileSystemObject::GetFolder(const DispatchArguments& arguments) {
  return MakeFolderItem(TRY(PathArgument(arguments[0])));
}

Result<Variant> FileSystemObject::GetSpecialFolder(const DispatchArguments& arguments) {
  int32_t which = TRY(ToInt32(arguments[0]));
  if (which < 0 || which > 2) return ErrorNumber::InvalidProcedureCall;
  // 0 WindowsFolder and 1 SystemFolder have no counterpart: the system's folders stand in.
  std::error_code error;
  std::string folder = which == 2 ? fs::temp_directory_path(error).string() : (which == 0 ? "/etc" : "/usr/lib");
  if (error) folder = "/tmp";
  return MakeFolderItem(BytesToText(folder, CP_UTF8));
}

Result<Variant> FileSystemObject::OpenTextFile(const DispatchArguments& arguments) {
  std::u16string path = TRY(PathArgument(arguments[0]));
  int32_t mode = TRY(OptionalInt(arguments, 1, kForReading));
  bool create = TRY(OptionalBool(arguments, 2, false));
  int32_t format = TRY(OptionalInt(arguments, 3, kTristateFalse));
  return OpenText(path, mode, create, format, false);
}

Result<Variant> FileSystemObject::CreateTextFile(const DispatchArguments& arguments) {
  std::u16string path = TRY(PathArgument(arguments[0]));
  bool overwrite = TRY(OptionalBool(arguments, 1, true));
  bool unicode = TRY(OptionalBool(arguments, 2, false));
  return OpenText(path, kForWriting, true, unicode ? kTristateTrue : kTristateFalse, !overwrite);
}

Result<Variant> FileSystemObject::CopyFile(const DispatchArguments& arguments) {
  std::u16string source = TRY(PathArgument(arguments[0]));
  std::u16string destination = TRY(PathArgument(arguments[1]));
  bool overwrite = TRY(OptionalBool(arguments, 2, true));
  std::vector<std::u16string> sources = Expand(source, false);
  if (sources.empty() || !IsFile(sources.front())) return ErrorNumber::FileNotFound;
  bool many = HasWildcards(source);
  if (many && !IsFolder(destination)) return ErrorNumber::PathNotFound;
  for (const std::u16string& one : sources) {
    TRY(CopyOneFile(one, TargetOf(one, destination, many), overwrite));
  }
  return Variant();
}

Result<Variant> FileSystemObject::MoveFile(const DispatchArguments& arguments) {
  std::u16string source = TRY(PathArgument(arguments[0]));
  std::u16string destination = TRY(PathArgument(arguments[1]));
  std::vector<std::u16string> sources = Expand(source, false);
  if (sources.empty() || !IsFile(sources.front())) return ErrorNumber::FileNotFound;
  bool many = HasWildcards(source);
  if (many && !IsFolder(destination)) return ErrorNumber::PathNotFound;
  for (const std::u16string& one : sources) {
    TRY(MoveOne(one, TargetOf(one, destination, many || IsFolder(destination)), PathKind::File));
  }
  return Variant();
}

Result<Variant> FileSystemObject::DeleteFile(const DispatchArguments& arguments) {
  std::u16string spec = TRY(PathArgument(arguments[0]));
  bool force = TRY(OptionalBool(arguments, 1, false));
  std::vector<std::u16string> paths = Expand(spec, false);
  if (paths.empty()) return ErrorNumber::FileNotFound;
  for (const std::u16string& path : paths) TRY(RemoveFile(path, force));
  return Variant();
}

Result<Variant> FileSystemObject::CreateFolder(const DispatchArguments& arguments) {
  std::u16string path = TRY(PathArgument(arguments[0]));
  if (::mkdir(Native(path).c_str(), 0755) != 0) {
    int error = errno;
    if (error == ENOENT) return ErrorNumber::PathNotFound;
    return FileSystemError(error, path, PathKind::Folder);
  }
  return MakeFolderItem(path);
}

Result<Variant> FileSystemObject::DeleteFolder(const DispatchArguments& arguments) {
  std::u16string spec = TRY(PathArgument(arguments[0]));
  bool force = TRY(OptionalBool(arguments, 1, false));
  std::vector<std::u16string> paths = Expand(spec, true);
  if (paths.empty()) return ErrorNumber::PathNotFound;
  for (const std::u16string& path : paths) TRY(RemoveFolder(path, force));
  return Variant();
}

Result<Variant> FileSystemObject::CopyFolder(const DispatchArguments& arguments) {
  std::u16string source = TRY(PathArgument(arguments[0]));
  std::u16string destination = TRY(PathArgument(arguments[1]));
  bool overwrite = TRY(OptionalBool(arguments, 2, true));
  std::vector<std::u16string> sources = Expand(source, true);
  if (sources.empty() || !IsFolder(sources.front())) return ErrorNumber::PathNotFound;
  bool many = HasWildcards(source);
  for (const std::u16string& one : sources) {
    std::u16string target = TargetOf(one, destination, many);
    if (!overwrite && StatOf(target)) return ErrorNumber::FileAlreadyExists;
    std::error_code error;
    fs::copy(Native(one), Native(target),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error) return FileSystemError(error.value(), target, PathKind::Folder);
  }
  return Variant();
}

Result<Variant> FileSystemObject::MoveFolder(const DispatchArguments& arguments) {
  std::u16string source = TRY(PathArgument(arguments[0]));
  std::u16string destination = TRY(PathArgument(arguments[1]));
  std::vector<std::u16string> sources = Expand(source, true);
  if (sources.empty() || !IsFolder(sources.front())) return ErrorNumber::PathNotFound;
  bool many = HasWildcards(source);
  for (const std::u16string& one : sources) {
    TRY(MoveOne(one, TargetOf(one, destination, many), PathKind::Folder));
  }
  return Variant();
}

// ---------------------------------------------------------------------------------------------
// File

std::span<const DispatchMember<FileItem>> FileItem::Members() {
  static constexpr DispatchMember<FileItem> kMembers[] = {
      {u"Path", DISPID_VALUE, kPropertyGet, 0, 0, &FileItem::Path},
      {u"Name", 1000, kPropertyGet, 0, 0, &FileItem::Name},
      {u"Name", 1000, kPropertyPut, 0, 0, &FileItem::LetName},
      {u"Size", 1001, kPropertyGet, 0, 0, &FileItem::Size},
      {u"DateLastModified", 1002, kPropertyGet, 0, 0, &FileItem::DateLastModified},
      {u"DateLastAccessed", 1003, kPropertyGet, 0, 0, &FileItem::DateLastAccessed},
      {u"DateCreated", 1004, kPropertyGet, 0, 0, &FileItem::DateCreated},
      {u"Attributes", 1005, kPropertyGet, 0, 0, &FileItem::Attributes},
      {u"Attributes", 1005, kPropertyPut, 0, 0, &FileItem::LetAttributes},
      {u"Type", 1006, kPropertyGet, 0, 0, &FileItem::Type},
      {u"ParentFolder", 1007, kPropertyGet, 0, 0, &FileItem::ParentFolder},
      {u"Delete", 1200, kMethod, 0, 1, &FileItem::Delete, u"Force"},
      {u"Copy", 1202, kMethod, 1, 2, &FileItem::Copy, u"Destination,OverWriteFiles"},
      {u"Move", 1204, kMethod, 1, 1, &FileItem::Move, u"Destination"},
      {u"OpenAsTextStream", 1100, kMethod, 0, 2, &FileItem::OpenAsTextStream, u"IOMode,Format"},
  };
  return kMembers;
}

Result<Variant> FileItem::Path(const DispatchArguments&) { return Variant::FromString(path_); }
Result<Variant> FileItem::Name(const DispatchArguments&) { return Variant::FromString(LastComponent(path_)); }

Result<Variant> FileItem::LetName(const DispatchArguments& arguments) {
  TRY(Rename(path_, arguments.value(), PathKind::File));
  return Variant();
}

Result<Variant> FileItem::Size(const DispatchArguments&) {
  std::optional<struct stat> status = StatOf(path_);
  if (!status) return ErrorNumber::FileNotFound;
  return SizeVariant(static_cast<uint64_t>(status->st_size));
}

Result<Variant> FileItem::DateLastModified(const DispatchArguments&) { return ModifiedDate(path_); }

Result<Variant> FileItem::DateLastAccessed(const DispatchArguments&) {
  return TimeOf(path_, &stat::st_atim, ErrorNumber::FileNotFound);
}

// The file system keeps no creation time everywhere: the time of the last status change
// stands in.
Result<Variant> FileItem::DateCreated(const DispatchArguments&) {
  return TimeOf(path_, &stat::st_ctim, ErrorNumber::FileNotFound);
}

Result<Variant> FileItem::Attributes(const DispatchArguments&) { return Variant::FromI4(AttributesOf(path_)); }

Result<Variant> FileItem::LetAttributes(const DispatchArguments& arguments) {
  int32_t attributes = TRY(ToInt32(arguments.value()));
  std::optional<struct stat> status = StatOf(path_);
  if (!status) return ErrorNumber::FileNotFound;
  mode_t mode = status->st_mode & 07777;
  mode = (attributes & kReadOnly) != 0 ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  if (::chmod(Native(path_).c_str(), mode) != 0) return FileSystemError(errno, path_, PathKind::File);
  return Variant();
}

Result<Variant> FileItem::Type(const DispatchArguments&) {
  std::u16string extension = ExtensionName(path_);
  return Variant::FromString(extension.empty() ? u"File" : ToUpper(extension) + u" File");
}

Result<Variant> FileItem::ParentFolder(const DispatchArguments&) { return MakeFolderItem(ParentFolderName(path_)); }

Result<Variant> FileItem::Delete(const DispatchArguments& arguments) {
  bool force = TRY(OptionalBool(arguments, 0, false));
  TRY(RemoveFile(path_, force));
  return Variant();
}

Result<Variant> FileItem::Copy(const DispatchArguments& arguments) {
  std::u16string destination = TRY(PathArgument(arguments[0]));
  bool overwrite = TRY(OptionalBool(arguments, 1, true));
  TRY(CopyOneFile(path_, TargetOf(path_, destination, IsFolder(destination)), overwrite));
  return Variant();
}

Result<Variant> FileItem::Move(const DispatchArguments& arguments) {
  std::u16string destination = TRY(PathArgument(arguments[0]));
  std::u16string target = TargetOf(path_, destination, IsFolder(destination));
  TRY(MoveOne(path_, target, PathKind::File));
  path_ = Absolute(target);
  return Variant();
}

Result<Variant> FileItem::OpenAsTextStream(const DispatchArguments& arguments) {
  int32_t mode = TRY(OptionalInt(arguments, 0, kForReading));
  int32_t format = TRY(OptionalInt(arguments, 1, kTristateFalse));
  return OpenText(path_, mode, false, format, false);
}

// ---------------------------------------------------------------------------------------------
// Folder

std::span<const DispatchMember<FolderItem>> FolderItem::Members() {
  static constexpr DispatchMember<FolderItem> kMembers[] = {
      {u"Path", DISPID_VALUE, kPropertyGet, 0, 0, &FolderItem::Path},
      {u"Name", 1000, kPropertyGet, 0, 0, &FolderItem::Name},
      {u"Name", 1000, kPropertyPut, 0, 0, &FolderItem::LetName},
      {u"Size", 1001, kPropertyGet, 0, 0, &FolderItem::Size},
      {u"DateLastModified", 1002, kPropertyGet, 0, 0, &FolderItem::DateLastModified},
      {u"DateCreated", 1004, kPropertyGet, 0, 0, &FolderItem::DateCreated},
      {u"Attributes", 1005, kPropertyGet, 0, 0, &FolderItem::Attributes},
      {u"Type", 1006, kPropertyGet, 0, 0, &FolderItem::Type},
      {u"ParentFolder", 1007, kPropertyGet, 0, 0, &FolderItem::ParentFolder},
      {u"IsRootFolder", 1008, kPropertyGet, 0, 0, &FolderItem::IsRootFolder},
      {u"Files", 1009, kPropertyGet, 0, 0, &FolderItem::Files},
      {u"SubFolders", 1010, kPropertyGet, 0, 0, &FolderItem::SubFolders},
      {u"Delete", 1200, kMethod, 0, 1, &FolderItem::Delete, u"Force"},
      {u"Copy", 1202, kMethod, 1, 2, &FolderItem::Copy, u"Destination,OverWriteFiles"},
      {u"Move", 1204, kMethod, 1, 1, &FolderItem::Move, u"Destination"},
      {u"CreateTextFile", 1101, kMethod, 1, 3, &FolderItem::CreateTextFile, u"FileName,Overwrite,Unicode"},
  };
  return kMembers;
}

Result<Variant> FolderItem::Path(const DispatchArguments&) { return Variant::FromString(path_); }
Result<Variant> FolderItem::Name(const DispatchArguments&) { return Variant::FromString(LastComponent(path_)); }

Result<Variant> FolderItem::LetName(const DispatchArguments& arguments) {
  TRY(Rename(path_, arguments.value(), PathKind::Folder));
  return Variant();
}

Result<Variant> FolderItem::Size(const DispatchArguments&) {
  if (!IsFolder(path_)) return ErrorNumber::PathNotFound;
  return SizeVariant(FolderSize(Native(path_)));
}

Result<Variant> FolderItem::DateLastModified(const DispatchArguments&) { return ModifiedDate(path_); }

Result<Variant> FolderItem::DateCreated(const DispatchArguments&) {
  return TimeOf(path_, &stat::st_ctim, ErrorNumber::PathNotFound);
}

Result<Variant> FolderItem::Attributes(const DispatchArguments&) { return Variant::FromI4(AttributesOf(path_)); }
Result<Variant> FolderItem::Type(const DispatchArguments&) { return Variant::FromString(u"File folder"); }

Result<Variant> FolderItem::ParentFolder(const DispatchArguments&) {
  std::u16string parent = ParentFolderName(path_);
  if (parent.empty()) return Variant::FromDispatch(nullptr);
  return MakeFolderItem(parent);
}

Result<Variant> FolderItem::IsRootFolder(const DispatchArguments&) { return Variant::FromBool(path_ == u"/"); }

Result<Variant> FolderItem::Files(const DispatchArguments&) {
  if (!IsFolder(path_)) return ErrorNumber::PathNotFound;
  ComPtr<FolderEntries> files = MakeObject<FolderEntries>(path_, FolderEntries::Kind::Files, ListFolder(path_, false));
  return Variant::FromDispatch(files.get());
}

Result<Variant> FolderItem::SubFolders(const DispatchArguments&) {
  if (!IsFolder(path_)) return ErrorNumber::PathNotFound;
  ComPtr<FolderEntries> folders = MakeObject<FolderEntries>(path_, FolderEntries::Kind::Folders, ListFolder(path_, true));
  return Variant::FromDispatch(folders.get());
}

Result<Variant> FolderItem::Delete(const DispatchArguments& arguments) {
  bool force = TRY(OptionalBool(arguments, 0, false));
  TRY(RemoveFolder(path_, force));
  return Variant();
}

Result<Variant> FolderItem::Copy(const DispatchArguments& arguments) {
  std::u16string destination = TRY(PathArgument(arguments[0]));
  bool overwrite = TRY(OptionalBool(arguments, 1, true));
  if (!overwrite && StatOf(destination)) return ErrorNumber::FileAlreadyExists;
  std::error_code error;
  fs::copy(Native(path_), Native(destination),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
  if (error) return FileSystemError(error.value(), destination, PathKind::Folder);
  return Variant();
}

Result<Variant> FolderItem::Move(const DispatchArguments& arguments) {
  std::u16string destination = TRY(PathArgument(arguments[0]));
  TRY(MoveOne(path_, destination, PathKind::Folder));
  path_ = Absolute(destination);
  return Variant();
}

Result<Variant> FolderItem::CreateTextFile(const DispatchArguments& arguments) {
  std::u16string name = TRY(PathArgument(arguments[0]));
  bool overwrite = TRY(OptionalBool(arguments, 1, true));
  bool unicode = TRY(OptionalBool(arguments, 2, false));
  std::u16string path = name.starts_with(u"/") ? name : JoinPath(path_, name);
  return OpenText(path, kForWriting, true, unicode ? kTristateTrue : kTristateFalse, !overwrite);
}

// ---------------------------------------------------------------------------------------------
// Files and Folders

std::span<const DispatchMember<FolderEntries>> FolderEntries::Members() {
  static constexpr DispatchMember<FolderEntries> kMembers[] = {
      {u"Item", DISPID_VALUE, kPropertyGet | kMethod, 1, 1, &FolderEntries::Item, u"Key"},
      {u"Count", 1, kPropertyGet, 0, 0, &FolderEntries::Count},
      {u"Add", 2, kMethod, 1, 1, &FolderEntries::Add, u"Name"},
      {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &FolderEntries::NewEnum},
  };
  return kMembers;
}

Variant FolderEntries::ItemOf(const std::u16string& name) const {
  std::u16string path = JoinPath(folder_, name);
  if (kind_ == Kind::Files) return Variant::FromDispatch(MakeObject<FileItem>(path).get());
  return Variant::FromDispatch(MakeObject<FolderItem>(path).get());
}

Result<Variant> FolderEntries::Count(const DispatchArguments&) {
  return Variant::FromI4(static_cast<int32_t>(names_.size()));
}

Result<Variant> FolderEntries::Item(const DispatchArguments& arguments) {
  std::u16string name = TRY(TextArgument(arguments[0]));
  // Names compare exactly: this file system tells case apart.
  if (std::find(names_.begin(), names_.end(), name) == names_.end()) {
    return kind_ == Kind::Files ? ErrorNumber::FileNotFound : ErrorNumber::PathNotFound;
  }
  return ItemOf(name);
}

Result<Variant> FolderEntries::Add(const DispatchArguments& arguments) {
  if (kind_ != Kind::Folders) return ErrorNumber::ObjectDoesNotSupportMember;
  std::u16string name = TRY(TextArgument(arguments[0]));
  if (name.empty() || name.find_first_of(u"/\\") != std::u16string::npos) return ErrorNumber::BadFileNameOrNumber;
  std::u16string path = JoinPath(folder_, name);
  if (::mkdir(Native(path).c_str(), 0755) != 0) return FileSystemError(errno, path, PathKind::Folder);
  names_.push_back(name);
  return ItemOf(name);
}

Result<Variant> FolderEntries::NewEnum(const DispatchArguments&) {
  std::vector<Variant> items;
  items.reserve(names_.size());
  for (const std::u16string& name : names_) items.push_back(ItemOf(name));
  return EnumeratorVariant(std::move(items));
}
