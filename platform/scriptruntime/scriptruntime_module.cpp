// The script runtime module: its type library ("Scripting", with the file constants) and its
// creatable classes. Pages create them by ProgID, e.g. Server.CreateObject("Scripting.Dictionary")
// or "Scripting.FileSystemObject".
#include <new>

#include "platform/com/class_factory.h"
#include "platform/scriptruntime/dictionary.h"
#include "platform/scriptruntime/file_system_object.h"

namespace {

constexpr GUID kLibraryId = {
    0x420B2830, 0xE718, 0x11CF, {0x89, 0x3D, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x28}};
constexpr CLSID kDictionaryId = {
    0xEE09B103, 0x97E0, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};
constexpr IID kDictionaryInterfaceId = {
    0x42C642C1, 0x97E1, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};

constexpr CLSID kFileSystemObjectId = {
    0x0D43FE01, 0xF093, 0x11CF, {0x89, 0x40, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x28}};
constexpr IID kFileSystemInterfaceId = {
    0x2A0B9D10, 0x4B87, 0x11D3, {0xA9, 0x7A, 0x00, 0x10, 0x4B, 0x36, 0x5C, 0x9F}};

constexpr TypeLibraryClass kClassTable[] = {
    {u"Dictionary", kDictionaryId, u"IDictionary", kDictionaryInterfaceId, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::Apartment},
    {u"FileSystemObject", kFileSystemObjectId, u"IFileSystem3", kFileSystemInterfaceId, u"",
     GUID_NULL, kClassCreatable, ThreadingModel::Apartment},
};

constexpr TypeLibraryConstant kIoModes[] = {
    {u"ForReading", 1}, {u"ForWriting", 2}, {u"ForAppending", 8}};
constexpr TypeLibraryConstant kTristates[] = {
    {u"TristateTrue", -1}, {u"TristateFalse", 0}, {u"TristateUseDefault", -2},
    {u"TristateMixed", -2}};
constexpr TypeLibraryConstant kFileAttributes[] = {
    {u"Normal", 0}, {u"ReadOnly", 1}, {u"Hidden", 2}, {u"System", 4}, {u"Volume", 8},
    {u"Directory", 16}, {u"Archive", 32}, {u"Alias", 1024}, {u"Compressed", 2048}};
constexpr TypeLibraryConstant kSpecialFolders[] = {
    {u"WindowsFolder", 0}, {u"SystemFolder", 1}, {u"TemporaryFolder", 2}};
constexpr TypeLibraryConstant kCompareMethods[] = {
    {u"BinaryCompare", 0}, {u"TextCompare", 1}, {u"DatabaseCompare", 2}};

constexpr TypeLibraryEnumeration kEnumerations[] = {
    {u"IOMode", kIoModes},
    {u"Tristate", kTristates},
    {u"FileAttribute", kFileAttributes},
    {u"SpecialFolderConst", kSpecialFolders},
    {u"CompareMethod", kCompareMethods},
};

constexpr TypeLibrary kLibrary{u"Scripting", kLibraryId, 1, 0, 0, u"Script runtime",
                               kClassTable, kEnumerations};

// Class factories must not throw: running out of memory is a null object.
IUnknown* CreateDictionary() { return static_cast<IDispatch*>(new (std::nothrow) Dictionary()); }
IUnknown* CreateFileSystemObject() {
  return static_cast<IDispatch*>(new (std::nothrow) FileSystemObject());
}

constexpr ModuleClass kClasses[] = {{&kDictionaryId, &CreateDictionary},
                                    {&kFileSystemObjectId, &CreateFileSystemObject}};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)
