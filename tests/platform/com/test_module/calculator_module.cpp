// A module for the object-layer tests: classes with every argument form, created through the
// registry like any other in-process server.
#include <sstream>
#include <thread>

#include "platform/automation/arithmetic.h"
#include "platform/automation/conversion.h"
#include "platform/com/class_factory.h"
#include "platform/com/dispatch_object.h"
#include "platform/com/enum_variant.h"

namespace {

class Calculator : public DispatchObject<Calculator> {
 public:
  static std::span<const DispatchMember<Calculator>> Members();

 private:
  Result<Variant> Value(const DispatchArguments&) { return Variant::FromI4(total_); }
  Result<Variant> SetValue(const DispatchArguments& arguments) {
    total_ = TRY(ToInt32(arguments.value()));
    return Variant();
  }
  Result<Variant> Add(const DispatchArguments& arguments) {
    return ::Add(arguments[0], arguments[1]);
  }
  // Repeat(Text, [Count = 2]): the text repeated.
  Result<Variant> Repeat(const DispatchArguments& arguments) {
    Bstr text = TRY(ToBstr(arguments[0]));
    int32_t count = arguments.IsMissing(1) ? 2 : TRY(ToInt32(arguments[1]));
    std::u16string repeated;
    for (int32_t i = 0; i < count && i < 100; ++i) repeated += text.view();
    return Variant::FromString(repeated);
  }
  // Swap(a, b): exchanges two by-reference arguments.
  Result<Variant> Swap(const DispatchArguments& arguments) {
    Variant first(arguments[0]);
    Variant second(arguments[1]);
    VariantCopyInd(&first, &first);
    VariantCopyInd(&second, &second);
    TRY(arguments.Assign(0, second));
    TRY(arguments.Assign(1, first));
    return Variant();
  }
  Result<Variant> Fail(const DispatchArguments& arguments) {
    int32_t number = TRY(ToInt32(arguments[0]));
    return Error::Script(number, u"Calculator refused", u"Calculator");
  }
  Result<Variant> ThreadId(const DispatchArguments&) {
    std::ostringstream text;
    text << std::this_thread::get_id();
    std::string id = text.str();
    return Variant::FromString(std::u16string(id.begin(), id.end()));
  }
  Result<Variant> NewEnum(const DispatchArguments&) {
    std::vector<Variant> values;
    for (int32_t i = 1; i <= 3; ++i) values.push_back(Variant::FromI4(i));
    return EnumeratorVariant(std::move(values));
  }
  std::u16string_view ErrorSource() const override { return u"TestModule.Calculator"; }

  int32_t total_ = 0;
};

std::span<const DispatchMember<Calculator>> Calculator::Members() {
static constexpr DispatchMember<Calculator> kMembers[] = {
      {u"Value", 0, kPropertyGet, 0, 0, &Calculator::Value},
      {u"Value", 0, kPropertyPut, 0, 0, &Calculator::SetValue},
      {u"Add", 1, kMethod, 2, 2, &Calculator::Add, u"Left,Right"},
      {u"Repeat", 2, kMethod, 1, 2, &Calculator::Repeat, u"Text,Count"},
      {u"Swap", 3, kMethod, 2, 2, &Calculator::Swap, u"First,Second"},
      {u"Fail", 4, kMethod, 1, 1, &Calculator::Fail},
      {u"ThreadId", 5, kPropertyGet, 0, 0, &Calculator::ThreadId},
      {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &Calculator::NewEnum},
  };
  return kMembers;
}


constexpr CLSID kCalculatorId = {0x5C1D0F10, 0x1B7E, 0x4C2A, {0x9E, 0x11, 0x6A, 0x3B, 0x70, 0x01, 0x00, 0x01}};
constexpr CLSID kApartmentCalculatorId = {0x5C1D0F10, 0x1B7E, 0x4C2A, {0x9E, 0x11, 0x6A, 0x3B, 0x70, 0x01, 0x00, 0x02}};
constexpr CLSID kRecordId = {0x5C1D0F10, 0x1B7E, 0x4C2A, {0x9E, 0x11, 0x6A, 0x3B, 0x70, 0x01, 0x00, 0x03}};
constexpr IID kCalculatorInterface = {0x5C1D0F10, 0x1B7E, 0x4C2A, {0x9E, 0x11, 0x6A, 0x3B, 0x70, 0x01, 0x01, 0x01}};
constexpr GUID kLibraryId = {0x5C1D0F10, 0x1B7E, 0x4C2A, {0x9E, 0x11, 0x6A, 0x3B, 0x70, 0x01, 0x0F, 0x0F}};

constexpr TypeLibraryClass kClassTable[] = {
    {u"Calculator", kCalculatorId, u"ICalculator", kCalculatorInterface, u"", GUID_NULL,
     kClassCreatable, ThreadingModel::None},
    {u"ApartmentCalculator", kApartmentCalculatorId, u"ICalculator", kCalculatorInterface, u"",
     GUID_NULL, kClassCreatable, ThreadingModel::Apartment},
    {u"Record", kRecordId, u"IRecord", GUID_NULL, u"", GUID_NULL, 0, ThreadingModel::None},
};

constexpr TypeLibraryConstant kRoundingConstants[] = {{u"rnNearest", 0}, {u"rnUp", 1}, {u"rnDown", 2}};
constexpr TypeLibraryEnumeration kEnumerations[] = {{u"Rounding", kRoundingConstants}};

constexpr TypeLibrary kLibrary{u"TestModule", kLibraryId, 1, 0, 1033, u"Test Module Type Library",
                               kClassTable, kEnumerations};

IUnknown* CreateCalculator() { return static_cast<IDispatch*>(new (std::nothrow) Calculator()); }

constexpr ModuleClass kClasses[] = {{&kCalculatorId, &CreateCalculator},
                                    {&kApartmentCalculatorId, &CreateCalculator}};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)
