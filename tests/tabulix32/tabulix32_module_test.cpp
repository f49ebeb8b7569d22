// The Tabulix32 module's type library and class factories: seven creatable classes in their
// fixed order, each factory making an object of its class.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/com/class_factory.h"
#include "platform/com/guid.h"
#include "platform/com/object_type_name.h"

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
extern "C" HRESULT DllCanUnloadNow();
extern "C" const TypeLibrary* DllGetTypeLibrary();

namespace {

struct ExpectedClass {
  std::u16string_view name;
  std::u16string_view default_interface;
  uint32_t flags;
};

constexpr ExpectedClass kExpectedClasses[] = {
    {u"AnalysisCalculate", u"_AnalysisCalculate", kClassCreatable},
    {u"UtilitiesClass", u"_UtilitiesClass", kClassCreatable | kClassAppObject},
    {u"ReportRender", u"_ReportRender", kClassCreatable},
    {u"StringBuffer", u"_StringBuffer", kClassCreatable},
    {u"SystemSettings", u"_SystemSettings", kClassCreatable},
    {u"ClassFactory", u"_ClassFactory", kClassCreatable},
    {u"ODBCList", u"_ODBCList", kClassCreatable},
};

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

TEST(Tabulix32Module, TypeLibraryDescribesTheLibrary) {
  const TypeLibrary& library = *DllGetTypeLibrary();
  EXPECT_EQ(library.name, u"Tabulix32");
  EXPECT_EQ(library.major_version, 1);
  EXPECT_EQ(library.minor_version, 0);
  EXPECT_EQ(library.lcid, 1033u);
  EXPECT_FALSE(library.help_string.empty());
}

TEST(Tabulix32Module, SevenClassesInTheirOrder) {
  const TypeLibrary& library = *DllGetTypeLibrary();
  ASSERT_EQ(library.classes.size(), std::size(kExpectedClasses));
  for (size_t i = 0; i < library.classes.size(); ++i) {
    const TypeLibraryClass& type = library.classes[i];
    SCOPED_TRACE(Narrow(kExpectedClasses[i].name));
    EXPECT_EQ(type.name, kExpectedClasses[i].name);
    EXPECT_EQ(type.default_interface, kExpectedClasses[i].default_interface);
    EXPECT_EQ(type.flags, kExpectedClasses[i].flags);
    EXPECT_EQ(type.threading, ThreadingModel::Apartment);
    EXPECT_EQ(ProgIdOf(library, type), u"Tabulix32." + std::u16string(type.name));
  }
}

TEST(Tabulix32Module, IdentifiersAreDistinct) {
  const TypeLibrary& library = *DllGetTypeLibrary();
  std::set<std::u16string> seen;
  EXPECT_TRUE(seen.insert(GuidToString(library.libid)).second);
  for (const TypeLibraryClass& type : library.classes) {
    EXPECT_TRUE(seen.insert(GuidToString(type.clsid)).second) << Narrow(type.name);
    EXPECT_TRUE(seen.insert(GuidToString(type.interface_id)).second) << Narrow(type.name);
  }
}

TEST(Tabulix32Module, EveryClassIsCreatedByItsFactory) {
  for (const TypeLibraryClass& type : DllGetTypeLibrary()->classes) {
    SCOPED_TRACE(Narrow(type.name));
    IClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(type.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    IDispatch* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(ObjectTypeName(object), type.name);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    object->Release();
    factory->Release();
  }
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(Tabulix32Module, OtherIdentifiersAreRefused) {
  void* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(DllGetTypeLibrary()->libid, IID_IClassFactory, &factory),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
}

}  // namespace
