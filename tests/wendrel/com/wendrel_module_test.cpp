// libwendrel.so registered into a temporary registry: its type library and class table, the
// classes created by ProgID and driven late-bound, the classes that exist only inside a server
// registered but not creatable, and the registry entries registration writes and removes.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "platform/com/creation.h"
#include "platform/com/guid.h"
#include "platform/com/module_loader.h"
#include "platform/com/object_type_name.h"
#include "platform/com/type_library.h"
#include "platform/system/registry.h"
#include "tests/support/registry_dump.h"
#include "tests/support/temporary_registry.h"
#include "wendrel/com/class_identities.h"
#include "wendrel/server/host_events.h"

namespace {

using namespace wendrel_ids;

std::string Narrow(std::u16string_view text) { return TextToBytes(text, CP_UTF8); }

const TypeLibrary& Library() {
  void* module = LoadModule(u"" WENDREL_MODULE_PATH_U).value();
  auto get = reinterpret_cast<const TypeLibrary* (*)()>(ModuleEntryPoint(module, "DllGetTypeLibrary").value());
  return *get();
}

class WendrelModule : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize();
    ASSERT_TRUE(RegisterModuleFile(u"" WENDREL_MODULE_PATH_U).ok());
  }
  HRESULT CallEntry(const char* name) {
    void* module = LoadModule(u"" WENDREL_MODULE_PATH_U).value();
    return reinterpret_cast<HRESULT (*)()>(ModuleEntryPoint(module, name).value())();
  }
  TemporaryRegistry registry_;
};

struct ExpectedClass {
  std::u16string_view name;
  std::u16string_view default_interface;
  std::u16string_view event_interface;
  ClassIndex index;
  uint32_t flags;
};

constexpr ExpectedClass kExpectedClasses[] = {
    {u"Response", u"IResponse", u"", kResponse, 0},
    {u"Server", u"IServer", u"DServer_events", kServer, kClassCreatable},
    {u"Request", u"IRequest", u"", kRequest, 0},
    {u"Item", u"IItem", u"", kItem, 0},
    {u"Collection", u"ICollection", u"", kCollection, 0},
    {u"TextParser", u"ITextParser", u"DTextParser_events", kTextParser, kClassCreatable},
    {u"CASPServer", u"ICASPServer", u"", kCASPServer, kClassHidden},
    {u"CASPApplication", u"ICASPApplication", u"", kCASPApplication, 0},
    {u"CHTTPCookie", u"ICHTTPCookie", u"", kCHTTPCookie, 0},
    {u"CASPSession", u"ICASPSession", u"", kCASPSession, 0},
    {u"CQuavDictionary", u"ICQuavDictionary", u"", kCQuavDictionary, 0},
    {u"PNGCapturer", u"IPNGCapturer", u"", kPNGCapturer, kClassCreatable},
    {u"CVirtDir", u"ICVirtDir", u"", kCVirtDir, 0},
    {u"SysLogClient", u"ISysLogClient", u"", kSysLogClient, kClassCreatable},
};

TEST(WendrelTypeLibrary, DescribesTheLibrary) {
  const TypeLibrary& library = Library();
  EXPECT_EQ(library.name, u"WendrelASP");
  EXPECT_EQ(library.major_version, 2);
  EXPECT_EQ(library.minor_version, 0);
  EXPECT_EQ(library.lcid, 1033u);
  EXPECT_EQ(library.help_string, u"Harborlane Type Library");
  EXPECT_TRUE(library.libid == kLibraryId);
}

TEST(WendrelTypeLibrary, ClassTableInItsOrderWithKindsAndFixedIdentifiers) {
  const TypeLibrary& library = Library();
  ASSERT_EQ(library.classes.size(), std::size(kExpectedClasses));
  std::set<std::u16string> identifiers = {GuidToString(library.libid)};
  for (size_t i = 0; i < library.classes.size(); ++i) {
    const TypeLibraryClass& type = library.classes[i];
    const ExpectedClass& expected = kExpectedClasses[i];
    SCOPED_TRACE(Narrow(expected.name));
    EXPECT_EQ(type.name, expected.name);
    EXPECT_EQ(type.default_interface, expected.default_interface);
    EXPECT_EQ(type.event_interface, expected.event_interface);
    EXPECT_EQ(type.flags, expected.flags);
    EXPECT_EQ(type.threading, ThreadingModel::None);
    EXPECT_TRUE(type.clsid == ClassId(expected.index));
    EXPECT_TRUE(type.interface_id == InterfaceId(expected.index));
    EXPECT_EQ(ProgIdOf(library, type), u"WendrelASP." + std::u16string(type.name));
    EXPECT_TRUE(identifiers.insert(GuidToString(type.clsid)).second);
    EXPECT_TRUE(identifiers.insert(GuidToString(type.interface_id)).second);
    if (!type.event_interface.empty()) {
      EXPECT_TRUE(type.event_interface_id == EventInterfaceId(expected.index));
      EXPECT_TRUE(identifiers.insert(GuidToString(type.event_interface_id)).second);
    }
  }
}

TEST(WendrelTypeLibrary, IdentifiersKeepTheirValues) {
  // The registry form written into registrations in the field: it never changes.
  EXPECT_EQ(GuidToString(kLibraryId), u"{5E0D4C21-7A3B-4C8E-A16F-2D93B4170A00}");
  EXPECT_EQ(GuidToString(ClassId(kServer)), u"{5E0D4C21-7A3B-4C8E-A16F-2D93B4170A02}");
  EXPECT_EQ(GuidToString(ClassId(kTextParser)), u"{5E0D4C21-7A3B-4C8E-A16F-2D93B4170A06}");
  EXPECT_EQ(GuidToString(ClassId(kSysLogClient)), u"{5E0D4C21-7A3B-4C8E-A16F-2D93B4170A0E}");
  EXPECT_TRUE(kServerEventsId == EventInterfaceId(kServer));
}

TEST(WendrelTypeLibrary, EventsWithTheirDispatchIdentifiers) {
  const TypeLibrary& library = Library();
  const TypeLibraryClass* server = FindLibraryClass(library, u"Server");
  ASSERT_NE(server, nullptr);
  EXPECT_EQ(FindEventName(*server, 0x60000004), u"PageRequested");
  EXPECT_EQ(FindEventName(*server, 0x60000001), u"DebugASPPage");
  EXPECT_EQ(FindEventName(*server, 0x60000002), u"LogMessage");
  const TypeLibraryClass* parser = FindLibraryClass(library, u"TextParser");
  ASSERT_NE(parser, nullptr);
  EXPECT_EQ(FindEventName(*parser, 0), u"Parse");
  EXPECT_EQ(FindEventName(*parser, 1), u"");
}

TEST(WendrelTypeLibrary, SeverityAndFacilityEnumerations) {
  const TypeLibrary& library = Library();
  ASSERT_EQ(library.enumerations.size(), 2u);
  EXPECT_EQ(library.enumerations[0].name, u"SeverityLevel");
  EXPECT_EQ(library.enumerations[0].constants.size(), 8u);
  EXPECT_EQ(library.enumerations[1].name, u"FacilityLevel");
  EXPECT_EQ(library.enumerations[1].constants.size(), 24u);
  struct Case {
    std::u16string_view name;
    int32_t value;
  } cases[] = {{u"sevEmergency", 0}, {u"sevAlert", 1},     {u"sevCritical", 2},  {u"sevError", 3},
               {u"sevWarning", 4},   {u"sevNotice", 5},    {u"sevInfo", 6},      {u"sevDebug", 7},
               {u"fctKernel", 0},    {u"fctSysDFaemon", 3}, {u"fctSyslogD", 5},  {u"fctUUCP", 8},
               {u"fctClockD", 9},    {u"fctFTP", 11},      {u"fctLogAlert", 14}, {u"fctClockD2", 15},
               {u"fctLevel0", 16},   {u"fctLevel3", 19},   {u"fctLevel7", 23}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    EXPECT_EQ(FindLibraryConstant(library, c.name), c.value);
  }
}

TEST_F(WendrelModule, CreatableClassesAreCreatedByProgIdAndAnswerLateBound) {
  Result<ComPtr<IDispatch>> server = CreateObject(u"WendrelASP.Server");
  ASSERT_TRUE(server.ok());
  EXPECT_EQ(CallMember(server.value().get(), u"DefaultDocument").value().StringView(), u"index.htm");
  EXPECT_EQ(CallMember(server.value().get(), u"StopServer").value().boolVal, VARIANT_TRUE);
  Result<ComPtr<IDispatch>> parser = CreateObject(u"WendrelASP.TextParser");
  ASSERT_TRUE(parser.ok());
  EXPECT_EQ(CallMember(parser.value().get(), u"StartMark").value().StringView(), u"<!--#");
  Result<ComPtr<IDispatch>> capturer = CreateObject(u"WendrelASP.PNGCapturer");
  ASSERT_TRUE(capturer.ok());
  EXPECT_EQ(CallMember(capturer.value().get(), u"Width").value().lVal, 0);
  Result<ComPtr<IDispatch>> syslog = CreateObject(u"WendrelASP.SysLogClient");
  ASSERT_TRUE(syslog.ok());
  EXPECT_EQ(CallMember(syslog.value().get(), u"Port").value().lVal, 514);
}

TEST_F(WendrelModule, InnerClassesAreRegisteredButNotCreatable) {
  for (std::u16string_view prog_id :
       {u"WendrelASP.Request", u"WendrelASP.Response", u"WendrelASP.Collection", u"WendrelASP.Item",
        u"WendrelASP.CHTTPCookie", u"WendrelASP.CQuavDictionary", u"WendrelASP.CVirtDir",
        u"WendrelASP.CASPServer", u"WendrelASP.CASPSession", u"WendrelASP.CASPApplication"}) {
    SCOPED_TRACE(Narrow(prog_id));
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(prog_id, &clsid), S_OK);  // the ProgID maps to its class
    EXPECT_FALSE(IsProgIdRegistered(prog_id));           // but no server entry makes one
    Result<ComPtr<IDispatch>> created = CreateObject(prog_id);
    ASSERT_FALSE(created.ok());
    EXPECT_EQ(created.error().Number(), 429);  // ActiveX component can't create object
  }
}

TEST_F(WendrelModule, EntriesOfACreatableAndAnInnerClass) {
  std::u16string parser = GuidToString(ClassId(kTextParser));
  std::u16string request = GuidToString(ClassId(kRequest));
  auto value = [](std::u16string_view key) {
    Result<RegistryKey> opened = RegistryKey::Open(RegistryHive::ClassesRoot, key);
    if (!opened.ok()) return std::string("<absent>");
    Result<RegistryValue> read = opened.value().Query(u"");
    return read.ok() ? Narrow(read.value().text) : std::string("<no value>");
  };
  EXPECT_EQ(value(u"CLSID\\" + parser), "TextParser");
  EXPECT_EQ(value(u"CLSID\\" + parser + u"\\InprocServer32"), WENDREL_MODULE_PATH);
  EXPECT_EQ(value(u"CLSID\\" + parser + u"\\ProgID"), "WendrelASP.TextParser");
  EXPECT_EQ(value(u"WendrelASP.TextParser"), "TextParser");
  EXPECT_EQ(value(u"WendrelASP.TextParser\\CLSID"), Narrow(parser));
  EXPECT_EQ(value(u"CLSID\\" + parser + u"\\TypeLib"), Narrow(GuidToString(kLibraryId)));
  Result<RegistryKey> server = RegistryKey::Open(RegistryHive::ClassesRoot, u"CLSID\\" + parser + u"\\InprocServer32");
  ASSERT_TRUE(server.ok());
  EXPECT_FALSE(server.value().Query(u"ThreadingModel").ok());  // the host's main apartment
  EXPECT_EQ(value(u"CLSID\\" + request), "Request");
  EXPECT_EQ(value(u"CLSID\\" + request + u"\\InprocServer32"), "<absent>");
  EXPECT_EQ(value(u"WendrelASP.Request\\CLSID"), Narrow(request));
  std::u16string version = u"TypeLib\\" + GuidToString(kLibraryId) + u"\\2.0";
  EXPECT_EQ(value(version), "Harborlane Type Library");
  EXPECT_EQ(value(version + u"\\0\\linux"), WENDREL_MODULE_PATH);
}

TEST_F(WendrelModule, RegisteringTwiceLeavesTheSameEntries) {
  std::string first = DumpRegistry(RegistryHive::LocalMachine, u"Software\\Classes");
  ASSERT_EQ(CallEntry("DllRegisterServer"), S_OK);
  EXPECT_EQ(DumpRegistry(RegistryHive::LocalMachine, u"Software\\Classes"), first);
}

TEST_F(WendrelModule, UnregisteringKeepsOnlyTheTypeLibrary) {
  ASSERT_EQ(CallEntry("DllUnregisterServer"), S_OK);
  for (const ExpectedClass& type : kExpectedClasses) {
    SCOPED_TRACE(Narrow(type.name));
    EXPECT_FALSE(RegistryKey::Open(RegistryHive::ClassesRoot, u"CLSID\\" + GuidToString(ClassId(type.index))).ok());
    EXPECT_FALSE(RegistryKey::Open(RegistryHive::ClassesRoot, u"WendrelASP." + std::u16string(type.name)).ok());
  }
  EXPECT_TRUE(RegistryKey::Open(RegistryHive::ClassesRoot, u"TypeLib\\" + GuidToString(kLibraryId)).ok());
  EXPECT_TRUE(LoadRegisteredTypeLibrary(kLibraryId, 2, 0).ok());
  EXPECT_FALSE(CreateObject(u"WendrelASP.Server").ok());
  ASSERT_EQ(CallEntry("DllUnregisterServer"), S_OK);  // nothing left to delete is no failure
}

TEST_F(WendrelModule, StaleServerEntryOfAnInnerClassIsRemoved) {
  // An earlier registration that made Request creatable: registering again takes it back.
  std::u16string key = u"CLSID\\" + GuidToString(ClassId(kRequest)) + u"\\InprocServer32";
  ASSERT_TRUE(RegistryKey::Create(RegistryHive::ClassesRoot, key).value().SetString(u"", u"" WENDREL_MODULE_PATH_U).ok());
  ASSERT_EQ(CallEntry("DllRegisterServer"), S_OK);
  EXPECT_FALSE(RegistryKey::Open(RegistryHive::ClassesRoot, key).ok());
  ASSERT_TRUE(RegistryKey::Create(RegistryHive::ClassesRoot, key).ok());
  EXPECT_EQ(CallEntry("DllUnregisterServer"), S_OK);
  EXPECT_FALSE(RegistryKey::Open(RegistryHive::ClassesRoot, u"CLSID\\" + GuidToString(ClassId(kRequest))).ok());
}

}  // namespace
