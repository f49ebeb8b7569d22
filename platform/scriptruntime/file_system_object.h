#pragma once
// Scripting.FileSystemObject and the File, Folder, Files and Folders objects it hands out.
//
// Paths take '/' and '\' as separators (pages written for the platform keep working); the
// objects report them with '/'. Failures raise the platform's numbers: FileNotFound (53),
// FileAlreadyExists (58), PermissionDenied (70), PathNotFound (76), BadFileNameOrNumber (52)
// for a name that cannot be one. DeleteFile, DeleteFolder, CopyFile and MoveFile take the
// wildcards '*' and '?' in the last component. OpenTextFile's Format also takes 65001 for UTF-8
// (with its byte-order mark), beside TristateFalse (ANSI), TristateTrue (Unicode) and
// TristateUseDefault (read: told by the byte-order mark; written: ANSI).

#include <string>
#include <vector>

#include "platform/com/dispatch_object.h"

class FileSystemObject : public DispatchObject<FileSystemObject> {
 public:
  static std::span<const DispatchMember<FileSystemObject>> Members();
  std::u16string_view TypeName() override { return u"FileSystemObject"; }

 private:
  Result<Variant> BuildPath(const DispatchArguments& arguments);
  Result<Variant> GetFileName(const DispatchArguments& arguments);
  Result<Variant> GetBaseName(const DispatchArguments& arguments);
  Result<Variant> GetExtensionName(const DispatchArguments& arguments);
  Result<Variant> GetParentFolderName(const DispatchArguments& arguments);
  Result<Variant> GetAbsolutePathName(const DispatchArguments& arguments);
  Result<Variant> GetTempName(const DispatchArguments& arguments);
  Result<Variant> FileExists(const DispatchArguments& arguments);
  Result<Variant> FolderExists(const DispatchArguments& arguments);
  Result<Variant> GetFile(const DispatchArguments& arguments);
  Result<Variant> GetFolder(const DispatchArguments& arguments);
  Result<Variant> GetSpecialFolder(const DispatchArguments& arguments);
  Result<Variant> OpenTextFile(const DispatchArguments& arguments);
  Result<Variant> CreateTextFile(const DispatchArguments& arguments);
  Result<Variant> CopyFile(const DispatchArguments& arguments);
  Result<Variant> MoveFile(const DispatchArguments& arguments);
  Result<Variant> DeleteFile(const DispatchArguments& arguments);
  Result<Variant> CreateFolder(const DispatchArguments& arguments);
  Result<Variant> DeleteFolder(const DispatchArguments& arguments);
  Result<Variant> CopyFolder(const DispatchArguments& arguments);
  Result<Variant> MoveFolder(const DispatchArguments& arguments);
};

/// A file (Scripting.File): its default member is Path.
class FileItem : public DispatchObject<FileItem> {
 public:
  explicit FileItem(std::u16string path) : path_(std::move(path)) {}
  static std::span<const DispatchMember<FileItem>> Members();
  std::u16string_view TypeName() override { return u"File"; }

 private:
  Result<Variant> Path(const DispatchArguments& arguments);
  Result<Variant> Name(const DispatchArguments& arguments);
  Result<Variant> LetName(const DispatchArguments& arguments);
  Result<Variant> Size(const DispatchArguments& arguments);
  Result<Variant> DateLastModified(const DispatchArguments& arguments);
  Result<Variant> DateLastAccessed(const DispatchArguments& arguments);
  Result<Variant> DateCreated(const DispatchArguments& arguments);
  Result<Variant> Attributes(const DispatchArguments& arguments);
  // Attributes = value: ReadOnly (1) clears or sets the owner's write permission; the other
  // attributes are the file system's to tell and are left as they are.
  Result<Variant> LetAttributes(const DispatchArguments& arguments);
  Result<Variant> Type(const DispatchArguments& arguments);
  Result<Variant> ParentFolder(const DispatchArguments& arguments);
  Result<Variant> Delete(const DispatchArguments& arguments);
  Result<Variant> Copy(const DispatchArguments& arguments);
  Result<Variant> Move(const DispatchArguments& arguments);
  Result<Variant> OpenAsTextStream(const DispatchArguments& arguments);

  std::u16string path_;
};

/// A folder (Scripting.Folder): its default member is Path.
class FolderItem : public DispatchObject<FolderItem> {
 public:
  explicit FolderItem(std::u16string path) : path_(std::move(path)) {}
  static std::span<const DispatchMember<FolderItem>> Members();
  std::u16string_view TypeName() override { return u"Folder"; }

 private:
  Result<Variant> Path(const DispatchArguments& arguments);
  Result<Variant> Name(const DispatchArguments& arguments);
  Result<Variant> LetName(const DispatchArguments& arguments);
  Result<Variant> Size(const DispatchArguments& arguments);
  Result<Variant> DateLastModified(const DispatchArguments& arguments);
  Result<Variant> DateCreated(const DispatchArguments& arguments);
  Result<Variant> Attributes(const DispatchArguments& arguments);
  Result<Variant> Type(const DispatchArguments& arguments);
  Result<Variant> Files(const DispatchArguments& arguments);
  Result<Variant> SubFolders(const DispatchArguments& arguments);
  Result<Variant> ParentFolder(const DispatchArguments& arguments);
  Result<Variant> IsRootFolder(const DispatchArguments& arguments);
  Result<Variant> Delete(const DispatchArguments& arguments);
  Result<Variant> Copy(const DispatchArguments& arguments);
  Result<Variant> Move(const DispatchArguments& arguments);
  Result<Variant> CreateTextFile(const DispatchArguments& arguments);

  std::u16string path_;
};

/// Files or Folders of a folder, listed when the collection is made (sorted by name).
class FolderEntries : public DispatchObject<FolderEntries> {
 public:
  enum class Kind { Files, Folders };
  FolderEntries(std::u16string folder, Kind kind, std::vector<std::u16string> names)
      : folder_(std::move(folder)), kind_(kind), names_(std::move(names)) {}
  static std::span<const DispatchMember<FolderEntries>> Members();
  std::u16string_view TypeName() override { return kind_ == Kind::Files ? u"Files" : u"Folders"; }

 private:
  Result<Variant> Count(const DispatchArguments& arguments);
  Result<Variant> Item(const DispatchArguments& arguments);
  Result<Variant> Add(const DispatchArguments& arguments);
  Result<Variant> NewEnum(const DispatchArguments& arguments);
  Variant ItemOf(const std::u16string& name) const;

  std::u16string folder_;
  Kind kind_;
  std::vector<std::u16string> names_;
};
