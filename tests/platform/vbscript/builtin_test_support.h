#pragma once
// Test support for the function library: argument makers, a call by name that checks the
// table's argument counts as the interpreter does, and a one-line description of a result
// ("Long 3", "String \"ab\"", "Null", "Error 5", "Variant(\"a\", \"b\")") that case tables
// compare against.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/locale.h"
#include "platform/automation/safearray.h"
#include "platform/com/object_type_name.h"
#include "platform/vbscript/builtins/builtins.h"
#include "tests/support/fake_dispatch.h"

namespace builtin_test {

inline Variant S(std::u16string_view text) { return Variant::FromString(text); }
inline Variant I(int16_t value) { return Variant::FromI2(value); }
inline Variant L(int32_t value) { return Variant::FromI4(value); }
inline Variant D(double value) { return Variant::FromR8(value); }
inline Variant F(float value) { return Variant::FromR4(value); }
inline Variant B(bool value) { return Variant::FromBool(value); }
inline Variant Cur(int64_t scaled) { return Variant::FromCurrency(CY{scaled}); }
inline Variant Dt(double date) { return Variant::FromDate(date); }
inline Variant Null() { return Variant::Null(); }
inline Variant Empty() { return Variant(); }
inline Variant Missing() { return Variant::Missing(); }

inline std::string Utf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

/// Calls a built-in by name; arguments outside the entry's limits fail with 450 as they do
/// in the interpreter.
inline Result<Variant> Call(BuiltinState& state, std::u16string_view name, const std::vector<Variant>& arguments) {
  const BuiltinEntry* entry = FindBuiltin(name);
  if (entry == nullptr) return ErrorNumber::SubOrFunctionNotDefined;
  if (arguments.size() < entry->min_arguments || arguments.size() > entry->max_arguments) {
    return ErrorNumber::WrongNumberOfArguments;
  }
  std::vector<VARIANT> borrowed(arguments.begin(), arguments.end());  // shallow, never cleared
  BuiltinCall call{std::span<const VARIANT>(borrowed.data(), borrowed.size()), state};
  return entry->function(call);
}

inline std::string ScalarLabel(VARTYPE type) {
  switch (type) {
    case VT_I2: return "Integer";
    case VT_I4: return "Long";
    case VT_R4: return "Single";
    case VT_R8: return "Double";
    case VT_CY: return "Currency";
    case VT_DATE: return "Date";
    case VT_BSTR: return "String";
    case VT_BOOL: return "Boolean";
    case VT_UI1: return "Byte";
    case VT_ERROR: return "Error value";
    case VT_DISPATCH: return "Object";
    case VT_VARIANT: return "Variant";
    default: return "Type " + std::to_string(type);
  }
}

inline std::string DescribeValue(const VARIANT& value);

inline std::string DescribeArray(const VARIANT& value) {
  std::string out = ScalarLabel(value.vt & VT_TYPEMASK) + "(";
  SAFEARRAY* array = value.parray;
  if (array == nullptr) return out + "undimensioned)";
  if (SafeArrayGetDim(array) != 1) return out + std::to_string(SafeArrayGetDim(array)) + " dimensions)";
  int32_t lower = SafeArrayLowerBound(array, 1).ValueOr(0);
  int32_t upper = SafeArrayUpperBound(array, 1).ValueOr(-1);
  for (int32_t i = lower; i <= upper; ++i) {
    Result<Variant> element = SafeArrayGetElement(array, &i, 1);
    if (i > lower) out += ", ";
    out += element.ok() ? DescribeValue(element.value()) : "?";
  }
  return out + ")";
}

inline std::string DescribeValue(const VARIANT& raw) {
  VARIANT value = PeekValue(raw);
  if ((value.vt & VT_ARRAY) != 0) return DescribeArray(value);
  if (value.vt == VT_EMPTY) return "Empty";
  if (value.vt == VT_NULL) return "Null";
  if (value.vt == VT_BSTR) return "String \"" + Utf8(BstrView(value.bstrVal)) + "\"";
  if (value.vt == VT_DISPATCH || value.vt == VT_ERROR) return ScalarLabel(value.vt);
  Result<Bstr> text = ToBstr(value);
  return ScalarLabel(value.vt) + " " + (text.ok() ? Utf8(text.value().view()) : "?");
}

inline std::string Describe(const Result<Variant>& result) {
  if (!result.ok()) return "Error " + std::to_string(result.error().Number());
  return DescribeValue(result.value());
}

/// One row of a case table: a call and the description its result must have.
struct Case {
  std::u16string_view function;
  std::vector<Variant> arguments;
  std::string expected;
};

inline std::string CallText(const Case& row) {
  std::string text = Utf8(row.function) + "(";
  for (size_t i = 0; i < row.arguments.size(); ++i) {
    if (i > 0) text += ", ";
    text += DescribeValue(row.arguments[i]);
  }
  return text + ")";
}

/// Runs every row in the calling thread's current locale.
inline void ExpectCases(BuiltinState& state, const std::vector<Case>& cases) {
  for (const Case& row : cases) {
    SCOPED_TRACE(CallText(row));
    EXPECT_EQ(Describe(Call(state, row.function, row.arguments)), row.expected);
  }
}

/// Runs in en-US (and may switch to another locale); restores the process locale after.
class BuiltinTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetThreadLocale(1033)); }
  void TearDown() override { SetThreadLocale(0); }
  void UseLocale(LCID lcid) { ASSERT_TRUE(SetThreadLocale(lcid)); }

  Result<Variant> Run(std::u16string_view name, const std::vector<Variant>& arguments = {}) {
    return Call(state_, name, arguments);
  }
  std::string Text(std::u16string_view name, const std::vector<Variant>& arguments = {}) {
    return Describe(Run(name, arguments));
  }
  void Expect(const std::vector<Case>& cases) { ExpectCases(state_, cases); }

  BuiltinState state_;
};

/// A fake object that names its class, as Scripting.Dictionary does for TypeName.
class NamedFakeDispatch : public FakeDispatch, public IObjectTypeName {
 public:
  NamedFakeDispatch(VARIANT value, std::u16string_view name) : FakeDispatch(value), name_(name) {}

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IObjectTypeName) {
      FakeDispatch::AddRef();
      *object = static_cast<IObjectTypeName*>(this);
      return S_OK;
    }
    return FakeDispatch::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return FakeDispatch::AddRef(); }
  ULONG Release() override { return FakeDispatch::Release(); }
  std::u16string_view TypeName() override { return name_; }

 private:
  std::u16string_view name_;
};

}  // namespace builtin_test
