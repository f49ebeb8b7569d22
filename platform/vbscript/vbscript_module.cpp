// The VBScript module: its type library ("VBScript") with its creatable classes: the engine,
// registered under the ProgID "VBScript" so hosts find it as the platform's engine, and the
// regular expression object ("VBScript.RegExp").
#include "platform/com/class_factory.h"
#include "platform/vbscript/engine.h"
#include "platform/vbscript/regexp_module.h"

namespace {

constexpr GUID kLibraryId = {
    0x5B1C9F40, 0x2E7D, 0x4A63, {0x8D, 0x05, 0x3C, 0x9E, 0x41, 0xB2, 0x6F, 0x18}};

constexpr CLSID kRegExpId = {
    0x3F4DACA4, 0x160D, 0x11D2, {0xA8, 0xE9, 0x00, 0x10, 0x4B, 0x36, 0x5C, 0x9F}};
constexpr IID kRegExpInterfaceId = {
    0x3F4DACB0, 0x160D, 0x11D2, {0xA8, 0xE9, 0x00, 0x10, 0x4B, 0x36, 0x5C, 0x9F}};

constexpr TypeLibraryClass kClassTable[] = {
    {u"VBScript", CLSID_WendrelVBScript, u"IActiveScript", IID_IActiveScript, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::Both, u"VBScript"},
    // "VBScript.RegExp": the library name, '.', the class name.
    {u"RegExp", kRegExpId, u"IRegExp2", kRegExpInterfaceId, u"", GUID_NULL, kClassCreatable,
     ThreadingModel::Both},
};

constexpr TypeLibrary kLibrary{u"VBScript", kLibraryId, 5, 8, 0, u"VBScript language engine",
                               kClassTable, {}};

// Class factories must not throw: running out of memory is a null object.
IUnknown* CreateEngine() { return CreateVBScriptEngine().Detach(); }

IUnknown* CreateRegExpObject() { return CreateRegExp().Detach(); }

constexpr ModuleClass kClasses[] = {{&CLSID_WendrelVBScript, &CreateEngine}, {&kRegExpId, &CreateRegExpObject}};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)
