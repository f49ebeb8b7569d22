// The script runtime module: its type library ("Scripting") and its creatable classes. Pages
// create them by ProgID, e.g. Server.CreateObject("Scripting.Dictionary").
#include <new>

#include "platform/com/class_factory.h"
#include "platform/scriptruntime/dictionary.h"

namespace {

constexpr GUID kLibraryId = {
    0x420B2830, 0xE718, 0x11CF, {0x89, 0x3D, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x28}};
constexpr CLSID kDictionaryId = {
    0xEE09B103, 0x97E0, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};
constexpr IID kDictionaryInterfaceId = {
    0x42C642C1, 0x97E1, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};

constexpr TypeLibraryClass kClassTable[] = {
    {u"Dictionary", kDictionaryId, u"IDictionary", kDictionaryInterfaceId, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::Apartment},
};

constexpr TypeLibrary kLibrary{u"Scripting", kLibraryId, 1, 0, 0, u"Script runtime",
                               kClassTable, {}};

// Class factories must not throw: running out of memory is a null object.
IUnknown* CreateDictionary() { return static_cast<IDispatch*>(new (std::nothrow) Dictionary()); }

constexpr ModuleClass kClasses[] = {{&kDictionaryId, &CreateDictionary}};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)
