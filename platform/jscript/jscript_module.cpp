// The JScript module: its type library ("JScript") with the engine, registered under the
// ProgIDs "JScript" and "JavaScript" (the second written first, so that the class's own ProgID
// entry names "JScript").
#include "platform/com/class_factory.h"
#include "platform/jscript/engine.h"

namespace {

constexpr GUID kLibraryId = {0x4D81A3C6, 0x0E2B, 0x47F9, {0x93, 0x5A, 0x6B, 0x1C, 0xD2, 0x84, 0x7E, 0x30}};

constexpr TypeLibraryClass kClassTable[] = {
    {u"JavaScript", CLSID_WendrelJScript, u"IActiveScript", IID_IActiveScript, u"", GUID_NULL, kClassCreatable,
     ThreadingModel::Both, u"JavaScript"},
    {u"JScript", CLSID_WendrelJScript, u"IActiveScript", IID_IActiveScript, u"", GUID_NULL, kClassCreatable,
     ThreadingModel::Both, u"JScript"},
};

constexpr TypeLibrary kLibrary{u"JScript", kLibraryId, 5, 8, 0, u"JScript language engine", kClassTable, {}};

// Class factories must not throw: running out of memory is a null object.
IUnknown* CreateEngine() { return CreateJScriptEngine().Detach(); }

constexpr ModuleClass kClasses[] = {{&CLSID_WendrelJScript, &CreateEngine}};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)
