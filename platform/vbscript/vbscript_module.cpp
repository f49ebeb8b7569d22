// The VBScript module: its type library ("VBScript") with the one creatable class, the engine,
// registered under the ProgID "VBScript" so hosts find it as the platform's engine.
#include "platform/com/class_factory.h"
#include "platform/vbscript/engine.h"

namespace {

constexpr GUID kLibraryId = {
    0x5B1C9F40, 0x2E7D, 0x4A63, {0x8D, 0x05, 0x3C, 0x9E, 0x41, 0xB2, 0x6F, 0x18}};

constexpr TypeLibraryClass kClassTable[] = {
    {u"VBScript", CLSID_WendrelVBScript, u"IActiveScript", IID_IActiveScript, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::Both, u"VBScript"},
};

constexpr TypeLibrary kLibrary{u"VBScript", kLibraryId, 5, 8, 0, u"VBScript language engine",
                               kClassTable, {}};

// Class factories must not throw: running out of memory is a null object.
IUnknown* CreateEngine() { return CreateVBScriptEngine().Detach(); }

constexpr ModuleClass kClasses[] = {{&CLSID_WendrelVBScript, &CreateEngine}};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)
