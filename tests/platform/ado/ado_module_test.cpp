// The ADO module's entry points: registration with plain and versioned ProgIDs, creation of
// each class, and the ad... constants of its type library.
#include <gtest/gtest.h>

#include <set>

#include "platform/com/class_factory.h"
#include "platform/com/creation.h"
#include "platform/com/type_library.h"
#include "tests/support/temporary_registry.h"

extern "C" HRESULT DllRegisterServer();
extern "C" HRESULT DllUnregisterServer();
extern "C" const TypeLibrary* DllGetTypeLibrary();
extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);

namespace {

TEST(AdoModuleTest, RegistersPlainAndVersionedProgIds) {
  TemporaryRegistry registry;
  ASSERT_EQ(DllRegisterServer(), S_OK);
  const std::u16string_view kClasses[] = {u"Connection", u"Recordset", u"Command", u"Parameter", u"Stream"};
  for (std::u16string_view name : kClasses) {
    std::u16string plain = u"ADODB." + std::u16string(name);
    CLSID by_plain{}, by_version{};
    ASSERT_EQ(CLSIDFromProgID(plain, &by_plain), S_OK);
    ASSERT_EQ(CLSIDFromProgID(plain + u".6.0", &by_version), S_OK);
    EXPECT_TRUE(by_plain == by_version);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(by_plain, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive())), S_OK);
    ComPtr<IDispatch> object;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.Receive())), S_OK);
  }
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  CLSID gone{};
  EXPECT_NE(CLSIDFromProgID(u"ADODB.Connection.6.0", &gone), S_OK);
}

TEST(AdoModuleTest, TypeLibraryCarriesTheConstants) {
  const TypeLibrary& library = *DllGetTypeLibrary();
  EXPECT_EQ(library.name, u"ADODB");
  struct Case {
    std::u16string_view name;
    int32_t value;
  };
  const Case kCases[] = {
      {u"adOpenForwardOnly", 0}, {u"adOpenStatic", 3},       {u"adLockOptimistic", 3},
      {u"adCmdText", 1},         {u"adCmdStoredProc", 4},    {u"adExecuteNoRecords", 0x80},
      {u"adInteger", 3},         {u"adVarWChar", 202},       {u"adDBTimeStamp", 135},
      {u"adParamInput", 1},      {u"adStateOpen", 1},        {u"adUseClient", 3},
      {u"adGetRowsRest", -1},    {u"adBookmarkFirst", 1},    {u"adPosEOF", -3},
      {u"adTypeBinary", 1},      {u"adSaveCreateOverWrite", 2}, {u"adCRLF", -1},
      {u"ADERRNOCURRENTRECORD", 3021}, {u"adClipString", 2}, {u"adAddNew", 0x1000400},
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(std::string(test.name.begin(), test.name.end()));
    std::optional<int32_t> value = FindLibraryConstant(library, test.name);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, test.value);
  }
}

TEST(AdoModuleTest, ConstantNamesAreUnique) {
  const TypeLibrary& library = *DllGetTypeLibrary();
  std::set<std::u16string> seen;
  for (const TypeLibraryEnumeration& enumeration : library.enumerations) {
    for (const TypeLibraryConstant& constant : enumeration.constants) {
      std::u16string upper;
      for (char16_t c : constant.name) upper += (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
      EXPECT_TRUE(seen.insert(upper).second) << std::string(constant.name.begin(), constant.name.end());
    }
  }
}

}  // namespace
