// Creating classes of a module registered in a temporary registry, and calling them by name.
#include "platform/com/creation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "platform/com/guid.h"
#include "platform/com/module_loader.h"
#include "platform/com/type_library.h"
#include "tests/support/temporary_registry.h"

namespace {

using EntryPoint = HRESULT (*)();

HRESULT CallModuleEntry(const char* name) {
  Result<void*> module = LoadModule(u"" TEST_MODULE_PATH_U);
  if (!module.ok()) return E_FAIL;
  Result<void*> entry = ModuleEntryPoint(module.value(), name);
  if (!entry.ok()) return E_FAIL;
  return reinterpret_cast<EntryPoint>(entry.value())();
}

std::u16string DefaultValue(std::u16string_view path) {
  Result<RegistryKey> key = RegistryKey::Open(RegistryHive::ClassesRoot, path);
  if (!key.ok()) return u"<missing>";
  Result<RegistryValue> value = key.value().Query(u"");
  return value.ok() ? value.value().text : u"<no value>";
}

std::u16string CurrentThreadText() {
  std::ostringstream text;
  text << std::this_thread::get_id();
  std::string id = text.str();
  return std::u16string(id.begin(), id.end());
}

constexpr char16_t kCalculatorClsid[] = u"{5C1D0F10-1B7E-4C2A-9E11-6A3B70010001}";
constexpr char16_t kRecordClsid[] = u"{5C1D0F10-1B7E-4C2A-9E11-6A3B70010003}";

class Creation : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CallModuleEntry("DllRegisterServer"), S_OK); }
  TemporaryRegistry registry_;
};

}  // namespace

TEST_F(Creation, RegistrationWritesTheSixEntries) {
  std::u16string clsid_key = std::u16string(u"CLSID\\") + kCalculatorClsid;
  EXPECT_EQ(DefaultValue(clsid_key), u"Calculator");
  EXPECT_EQ(DefaultValue(clsid_key + u"\\InprocServer32"), u"" TEST_MODULE_PATH_U);
  EXPECT_EQ(DefaultValue(clsid_key + u"\\ProgID"), u"TestModule.Calculator");
  EXPECT_EQ(DefaultValue(u"TestModule.Calculator"), u"Calculator");
  EXPECT_EQ(DefaultValue(u"TestModule.Calculator\\CLSID"), kCalculatorClsid);
  EXPECT_EQ(DefaultValue(clsid_key + u"\\TypeLib"), u"{5C1D0F10-1B7E-4C2A-9E11-6A3B70010F0F}");
  // Without a threading model the class belongs to the main apartment; with one it is written.
  RegistryKey server = RegistryKey::Open(RegistryHive::ClassesRoot, clsid_key + u"\\InprocServer32").value();
  EXPECT_FALSE(server.Query(u"ThreadingModel").ok());
  RegistryKey apartment = RegistryKey::Open(RegistryHive::ClassesRoot,
                                            u"CLSID\\{5C1D0F10-1B7E-4C2A-9E11-6A3B70010002}\\InprocServer32").value();
  EXPECT_EQ(apartment.Query(u"ThreadingModel").value().text, u"Apartment");
  // A class that is registered but not creatable has no server entry.
  EXPECT_EQ(DefaultValue(std::u16string(u"CLSID\\") + kRecordClsid + u"\\InprocServer32"), u"<missing>");
}

TEST_F(Creation, RegisteringTwiceLeavesTheSameEntriesAndUnregisterKeepsTheLibrary) {
  ASSERT_EQ(CallModuleEntry("DllRegisterServer"), S_OK);
  EXPECT_EQ(DefaultValue(u"TestModule.Calculator\\CLSID"), kCalculatorClsid);
  ASSERT_EQ(CallModuleEntry("DllUnregisterServer"), S_OK);
  EXPECT_EQ(DefaultValue(u"TestModule.Calculator"), u"<missing>");
  EXPECT_EQ(DefaultValue(std::u16string(u"CLSID\\") + kCalculatorClsid), u"<missing>");
  EXPECT_EQ(DefaultValue(u"TypeLib\\{5C1D0F10-1B7E-4C2A-9E11-6A3B70010F0F}\\1.0"), u"Test Module Type Library");
}

TEST_F(Creation, ProgIdLookupIgnoresCaseAndRefusesOddNames) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"testmodule.CALCULATOR", &clsid), S_OK);
  EXPECT_EQ(GuidToString(clsid), kCalculatorClsid);
  EXPECT_EQ(CLSIDFromProgID(u"TestModule.Missing", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(u"CLSID\\..", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(u"", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(u"{not-a-guid}", &clsid), CO_E_CLASSSTRING);
}

TEST_F(Creation, CreateObjectByProgIdAndCallLateBound) {
  ComPtr<IDispatch> calculator = CreateObject(u"TestModule.Calculator").value();
  Variant two = Variant::FromI4(2);
  Variant three = Variant::FromI4(3);
  EXPECT_EQ(CallMember(calculator.get(), u"Add", std::vector<VARIANT>{two, three}).value().lVal, 5);
  EXPECT_EQ(CallMember(calculator.get(), u"Repeat", std::vector<VARIANT>{Variant::FromString(u"ab")}).value().StringView(),
            u"abab");
  Result<Variant> failure = CallMember(calculator.get(), u"Fail", std::vector<VARIANT>{Variant::FromI4(5)});
  ASSERT_FALSE(failure.ok());
  EXPECT_EQ(failure.error().Number(), 5);
  EXPECT_EQ(failure.error().Description(), u"Calculator refused");
  EXPECT_EQ(failure.error().Source(), u"Calculator");
}

TEST_F(Creation, UnknownOrNotCreatableClassesAreRefused) {
  Result<ComPtr<IDispatch>> unknown = CreateObject(u"TestModule.Missing");
  ASSERT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.error().Number(), 429);
  CLSID record{};
  ASSERT_EQ(CLSIDFromString(kRecordClsid, &record), S_OK);
  ComPtr<IDispatch> object;
  EXPECT_EQ(CoCreateInstance(record, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(object.Receive())),
            REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(CreateObject(u"TestModule.Record").ok());
}

TEST_F(Creation, ModuleThatCannotBeLoadedIsReported) {
  RegistryKey server = RegistryKey::Create(RegistryHive::ClassesRoot,
                                           std::u16string(u"CLSID\\") + kCalculatorClsid + u"\\InprocServer32").value();
  ASSERT_TRUE(server.SetString(u"", u"/nonexistent/libmissing.so").ok());
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromString(kCalculatorClsid, &clsid), S_OK);
  ComPtr<IDispatch> object;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(object.Receive())),
            ERROR_MOD_NOT_FOUND_HRESULT);
}

// Lookups are kept for a moment, but never past a change this process makes to the registry.
TEST_F(Creation, ClassesRemovedOrMovedInTheRegistryAreSeenAtOnce) {
  ASSERT_TRUE(CreateObject(u"TestModule.Calculator").ok());
  ASSERT_EQ(CallModuleEntry("DllUnregisterServer"), S_OK);
  EXPECT_FALSE(CreateObject(u"TestModule.Calculator").ok());
  ASSERT_EQ(CallModuleEntry("DllRegisterServer"), S_OK);
  ASSERT_TRUE(CreateObject(u"TestModule.Calculator").ok());
  RegistryKey server = RegistryKey::Create(RegistryHive::ClassesRoot,
                                           std::u16string(u"CLSID\\") + kCalculatorClsid + u"\\InprocServer32").value();
  ASSERT_TRUE(server.SetString(u"", u"/nonexistent/libmoved.so").ok());
  EXPECT_FALSE(CreateObject(u"TestModule.Calculator").ok());
}

TEST_F(Creation, TypeLibraryIsFoundByGuidAndByName) {
  GUID libid = GuidFromString(u"{5C1D0F10-1B7E-4C2A-9E11-6A3B70010F0F}").value();
  const TypeLibrary* library = LoadRegisteredTypeLibrary(libid, 1, 0).value();
  EXPECT_EQ(library->name, u"TestModule");
  EXPECT_EQ(library->lcid, 1033u);
  EXPECT_EQ(LoadRegisteredTypeLibrary(libid, 0, 0).value(), library);  // newest version
  EXPECT_EQ(LoadRegisteredTypeLibrary(u"testmodule").value(), library);
  EXPECT_EQ(FindLibraryConstant(*library, u"RNUP").value_or(-1), 1);
  EXPECT_FALSE(FindLibraryConstant(*library, u"rnSideways").has_value());
  ASSERT_NE(FindLibraryClass(*library, u"calculator"), nullptr);
  EXPECT_EQ(ProgIdOf(*library, *FindLibraryClass(*library, u"Calculator")), u"TestModule.Calculator");
  EXPECT_FALSE(LoadRegisteredTypeLibrary(libid, 9, 0).ok());
  EXPECT_FALSE(LoadRegisteredTypeLibrary(u"Nothing").ok());
}

TEST_F(Creation, MainApartmentClassIsCreatedOnTheMainThreadForAWorker) {
  ASSERT_EQ(CoInitialize(), S_OK);
  std::u16string main_thread = CurrentThreadText();
  std::u16string ran_on;
  std::u16string worker_thread;
  int sum = 0;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    CoInitialize();
    worker_thread = CurrentThreadText();
    Result<ComPtr<IDispatch>> calculator = CreateObject(u"TestModule.Calculator");
    if (calculator.ok()) {
      ran_on = std::u16string(CallMember(calculator.value().get(), u"ThreadId").value().StringView());
      Variant a = Variant::FromI4(20);
      Variant b = Variant::FromI4(22);
      sum = CallMember(calculator.value().get(), u"Add", std::vector<VARIANT>{a, b}).value().lVal;
      ComPtr<IDispatch> apartment = CreateObject(u"TestModule.ApartmentCalculator").value();
      EXPECT_EQ(CallMember(apartment.get(), u"ThreadId").value().StringView(), worker_thread);
    }
    calculator = Error(ErrorNumber::InternalError);  // releases the proxy before leaving
    CoUninitialize();
    done = true;
  });
  EXPECT_TRUE(PumpMessagesUntil([&] { return done.load(); }, 10));
  worker.join();
  CoUninitialize();
  EXPECT_EQ(ran_on, main_thread);
  EXPECT_NE(worker_thread, main_thread);
  EXPECT_EQ(sum, 42);
}
