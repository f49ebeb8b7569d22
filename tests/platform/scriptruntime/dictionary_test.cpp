#include "platform/scriptruntime/dictionary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "platform/com/class_factory.h"
#include "platform/com/creation.h"
#include "platform/com/enum_variant.h"
#include "platform/com/module_loader.h"
#include "tests/support/fake_dispatch.h"
#include "tests/support/temporary_registry.h"

namespace {

constexpr CLSID kDictionaryClassId = {
    0xEE09B103, 0x97E0, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};
constexpr IID kDictionaryInterfaceId = {
    0x42C642C1, 0x97E1, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};
constexpr GUID kScriptingLibraryId = {
    0x420B2830, 0xE718, 0x11CF, {0x89, 0x3D, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x28}};

constexpr std::u16string_view kKeyAlreadyAssociatedText =
    u"This key is already associated with an element of this collection";

Variant S(std::u16string_view text) { return Variant::FromString(text); }
Variant I(int32_t value) { return Variant::FromI4(value); }

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// "key0", "key1", ...
Variant NumberedKey(int32_t number) {
  std::string digits = std::to_string(number);
  return S(u"key" + std::u16string(digits.begin(), digits.end()));
}

// The out parameter of a QueryInterface-style call filling `pointer`.
template <class T>
void** Out(ComPtr<T>& pointer) {
  return reinterpret_cast<void**>(pointer.Receive());
}

// A call by name through IDispatch (method call or property read).
Result<Variant> Call(IDispatch* object, std::u16string_view name,
                     std::initializer_list<Variant> arguments = {}) {
  std::vector<VARIANT> borrowed(arguments.begin(), arguments.end());
  return CallMember(object, name, borrowed);
}

// A call expected to succeed; its value.
Variant Get(IDispatch* object, std::u16string_view name,
            std::initializer_list<Variant> arguments = {}) {
  Result<Variant> outcome = Call(object, name, arguments);
  EXPECT_TRUE(outcome.ok()) << Narrow(name) << " failed: "
                            << (outcome.ok() ? "" : Narrow(outcome.error().Description()));
  return outcome.ok() ? std::move(outcome).value() : Variant();
}

// A call expected to fail; its error.
Error Fails(IDispatch* object, std::u16string_view name,
            std::initializer_list<Variant> arguments = {}) {
  Result<Variant> outcome = Call(object, name, arguments);
  EXPECT_FALSE(outcome.ok()) << Narrow(name) << " succeeded";
  return outcome.ok() ? Error(ErrorNumber::InternalError) : outcome.error();
}

Result<void> Let(IDispatch* object, std::u16string_view name, const Variant& index,
                 const Variant& value) {
  VARIANT indices[] = {index};
  return PutMember(object, name, indices, value);
}

Result<void> Set(IDispatch* object, std::u16string_view name, const Variant& index,
                 const Variant& value) {
  DISPID dispid = TRY(GetDispatchId(object, name));
  VARIANT arguments[] = {index, value};
  TRY(InvokeDispatch(object, dispid, DISPATCH_PROPERTYPUTREF, arguments));
  return {};
}

int32_t CountOf(IDispatch* object) {
  Variant count = Get(object, u"Count");
  EXPECT_EQ(count.Type(), VT_I4);
  return count.lVal;
}

bool Contains(IDispatch* object, const Variant& key) {
  Variant found = Get(object, u"Exists", {key});
  EXPECT_EQ(found.Type(), VT_BOOL);
  return found.boolVal != VARIANT_FALSE;
}

// The elements of a 0-based one-dimensional VARIANT array.
std::vector<Variant> ElementsOf(const Variant& array) {
  EXPECT_EQ(array.Type(), VT_ARRAY | VT_VARIANT);
  if (array.Type() != (VT_ARRAY | VT_VARIANT)) return {};
  EXPECT_EQ(SafeArrayGetDim(array.parray), 1u);
  EXPECT_EQ(SafeArrayLowerBound(array.parray, 1).value(), 0);
  int32_t upper = SafeArrayUpperBound(array.parray, 1).value();
  std::vector<Variant> elements;
  for (int32_t i = 0; i <= upper; ++i) {
    elements.push_back(SafeArrayGetElement(array.parray, &i, 1).value());
  }
  return elements;
}

// Each element's text form, for comparing whole lists at once.
std::vector<std::u16string> TextsOf(const std::vector<Variant>& values) {
  std::vector<std::u16string> texts;
  for (const Variant& value : values) texts.emplace_back(ToBstr(value).value().view());
  return texts;
}

std::vector<std::u16string> KeyTexts(IDispatch* object) {
  return TextsOf(ElementsOf(Get(object, u"Keys")));
}

std::vector<std::u16string> ItemTexts(IDispatch* object) {
  return TextsOf(ElementsOf(Get(object, u"Items")));
}

// An object whose IDispatch pointer is not its IUnknown pointer, as with objects that
// implement their interfaces in separate parts. The test owns it.
class SplitObject : public IUnknown {
 public:
  IDispatch* dispatch() { return &facet_; }
  ULONG references() const { return references_; }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (iid == IID_IUnknown) *object = static_cast<IUnknown*>(this);
    if (iid == IID_IDispatch) *object = &facet_;
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override { return --references_; }

 private:
  class Facet : public IDispatch {
   public:
    explicit Facet(SplitObject* owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID iid, void** object) override {
      return owner_->QueryInterface(iid, object);
    }
    ULONG AddRef() override { return owner_->AddRef(); }
    ULONG Release() override { return owner_->Release(); }
    HRESULT GetTypeInfoCount(UINT* count) override {
      *count = 0;
      return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
      return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
      return DISP_E_MEMBERNOTFOUND;
    }

   private:
    SplitObject* owner_;
  };

  Facet facet_{this};
  ULONG references_ = 0;
};

class DictionaryTest : public testing::Test {
 protected:
  IDispatch* object() { return dictionary_.get(); }
  void Add(const Variant& key, const Variant& item) {
    Result<Variant> outcome = Call(object(), u"Add", {key, item});
    ASSERT_TRUE(outcome.ok()) << Narrow(outcome.error().Description());
  }

  // Objects used as keys and items; declared before the dictionary so that it releases them
  // before they go away.
  FakeDispatch seven_{I(7)};
  FakeDispatch other_seven_{I(7)};
  SplitObject split_;
  ComPtr<Dictionary> dictionary_ = MakeObject<Dictionary>();
};

using DictionaryMembers = DictionaryTest;
using DictionaryAdd = DictionaryTest;
using DictionaryItem = DictionaryTest;
using DictionaryKeyRename = DictionaryTest;
using DictionaryRemove = DictionaryTest;
using DictionaryOrder = DictionaryTest;
using DictionaryKeyIdentity = DictionaryTest;
using DictionaryObjectKeys = DictionaryTest;
using DictionaryCompareModes = DictionaryTest;
using DictionaryHashVal = DictionaryTest;
using DictionaryEnumerator = DictionaryTest;
using DictionaryHashing = DictionaryTest;

}  // namespace

// --- Members and arguments ---------------------------------------------------------------

TEST_F(DictionaryMembers, NamesMapToTheirDispatchIdsIgnoringCase) {
  struct Case {
    std::u16string_view name;
    DISPID dispid;
  };
  const Case cases[] = {
      {u"Item", 0},      {u"Add", 1},         {u"COUNT", 2},       {u"exists", 3},
      {u"Items", 4},     {u"Key", 5},         {u"Keys", 6},        {u"Remove", 7},
      {u"RemoveAll", 8}, {u"CompareMode", 9}, {u"HashVal", 10},    {u"_NewEnum", DISPID_NEWENUM},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(Narrow(test.name));
    Result<DISPID> dispid = GetDispatchId(object(), test.name);
    ASSERT_TRUE(dispid.ok());
    EXPECT_EQ(dispid.value(), test.dispid);
  }
  EXPECT_EQ(GetDispatchId(object(), u"Clear").error().Number(), 438);
}

TEST_F(DictionaryMembers, ParameterNamesMapToPositions) {
  std::u16string names[] = {u"Add", u"item", u"KEY"};
  LPOLESTR pointers[] = {names[0].data(), names[1].data(), names[2].data()};
  DISPID dispids[3];
  ASSERT_EQ(object()->GetIDsOfNames(GUID_NULL, pointers, 3, 0, dispids), S_OK);
  EXPECT_EQ(dispids[0], 1);
  EXPECT_EQ(dispids[1], 1);
  EXPECT_EQ(dispids[2], 0);
}

TEST_F(DictionaryMembers, NamedArgumentsMayComeInAnyOrder) {
  // Add Item:="value", Key:="name", as the platform passes it: named arguments first in
  // rgvarg, each beside its position in rgdispidNamedArgs.
  Variant item = S(u"value");
  Variant key = S(u"name");
  VARIANT arguments[] = {item, key};
  DISPID positions[] = {1, 0};
  DISPPARAMS params{arguments, positions, 2, 2};
  Variant result;
  ASSERT_EQ(object()->Invoke(1, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(Get(object(), u"Item", {S(u"name")}).StringView(), u"value");
  EXPECT_FALSE(Contains(object(), S(u"value")));
}

// --- Add, Count, Exists ------------------------------------------------------------------

TEST_F(DictionaryAdd, AddedItemIsReadBackByKey) {
  Add(S(u"a"), I(1));
  Add(I(2), S(u"two"));
  EXPECT_EQ(Get(object(), u"Item", {S(u"a")}).lVal, 1);
  EXPECT_EQ(Get(object(), u"Item", {I(2)}).StringView(), u"two");
  EXPECT_EQ(CountOf(object()), 2);
}

TEST_F(DictionaryAdd, PresentKeyIsError457AndChangesNothing) {
  Add(S(u"a"), I(1));
  Error error = Fails(object(), u"Add", {S(u"a"), I(2)});
  EXPECT_EQ(error.Number(), 457);
  EXPECT_EQ(error.Description(), kKeyAlreadyAssociatedText);
  EXPECT_EQ(CountOf(object()), 1);
  EXPECT_EQ(Get(object(), u"Item", {S(u"a")}).lVal, 1);
}

TEST_F(DictionaryAdd, ByReferenceKeyIsStoredAsItsValue) {
  Variant variable = S(u"alpha");
  Add(Variant::RefTo(&variable), I(1));
  variable = S(u"beta");  // the stored key is a copy, not the caller's variable
  EXPECT_TRUE(Contains(object(), S(u"alpha")));
  EXPECT_FALSE(Contains(object(), S(u"beta")));
  std::vector<Variant> keys = ElementsOf(Get(object(), u"Keys"));
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].Type(), VT_BSTR);
  EXPECT_EQ(keys[0].StringView(), u"alpha");
  // A typed reference finds the key by value too.
  int32_t number = 5;
  VARIANT reference{};
  reference.vt = VT_BYREF | VT_I4;
  reference.plVal = &number;
  Add(I(5), S(u"five"));
  EXPECT_TRUE(Contains(object(), Variant(reference)));
  EXPECT_EQ(Get(object(), u"Item", {Variant::RefTo(&variable)}).Type(), VT_EMPTY);  // adds "beta"
  EXPECT_TRUE(Contains(object(), S(u"beta")));
}

TEST_F(DictionaryAdd, ArrayKeyIsInvalidProcedureCall) {
  Variant array = Variant::FromArray(VT_VARIANT, SafeArrayCreateVector(VT_VARIANT, 0, 2));
  Error error = Fails(object(), u"Add", {array, I(1)});
  EXPECT_EQ(error.Number(), 5);
  EXPECT_EQ(error.Description(), u"Invalid procedure call or argument");
  EXPECT_EQ(Fails(object(), u"Exists", {Variant::RefTo(&array)}).Number(), 5);
  EXPECT_EQ(CountOf(object()), 0);
  // As an item an array is fine.
  Add(S(u"list"), array);
  EXPECT_EQ(Get(object(), u"Item", {S(u"list")}).Type(), VT_ARRAY | VT_VARIANT);
}

TEST_F(DictionaryAdd, ExistsAnswersBooleanWithoutAdding) {
  Add(S(u"a"), I(1));
  EXPECT_TRUE(Contains(object(), S(u"a")));
  EXPECT_FALSE(Contains(object(), S(u"b")));
  EXPECT_EQ(CountOf(object()), 1);
}

// --- Item --------------------------------------------------------------------------------

TEST_F(DictionaryItem, ReadingAnAbsentKeyAddsItWithEmptyItem) {
  Variant item = Get(object(), u"Item", {S(u"new")});
  EXPECT_EQ(item.Type(), VT_EMPTY);
  EXPECT_EQ(CountOf(object()), 1);
  EXPECT_TRUE(Contains(object(), S(u"new")));
  std::vector<Variant> items = ElementsOf(Get(object(), u"Items"));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].Type(), VT_EMPTY);
}

TEST_F(DictionaryItem, IsTheDefaultMember) {
  Add(S(u"a"), S(u"first"));
  Variant key = S(u"a");
  VARIANT arguments[] = {key};
  Result<Variant> item = InvokeDispatch(object(), DISPID_VALUE, DISPATCH_PROPERTYGET, arguments);
  ASSERT_TRUE(item.ok());
  EXPECT_EQ(item.value().StringView(), u"first");
}

TEST_F(DictionaryItem, LetAddsAnAbsentKeyAndReplacesAPresentItem) {
  ASSERT_TRUE(Let(object(), u"Item", S(u"a"), I(1)).ok());
  ASSERT_TRUE(Let(object(), u"Item", S(u"b"), I(2)).ok());
  ASSERT_TRUE(Let(object(), u"Item", S(u"a"), I(3)).ok());
  EXPECT_EQ(CountOf(object()), 2);
  EXPECT_EQ(KeyTexts(object()), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_EQ(ItemTexts(object()), (std::vector<std::u16string>{u"3", u"2"}));
}

TEST_F(DictionaryItem, LetStoresTheDereferencedValue) {
  Variant variable = S(u"before");
  ASSERT_TRUE(Let(object(), u"Item", S(u"a"), Variant::RefTo(&variable)).ok());
  variable = S(u"after");
  Variant item = Get(object(), u"Item", {S(u"a")});
  EXPECT_EQ(item.Type(), VT_BSTR);
  EXPECT_EQ(item.StringView(), u"before");
  // An object assigned without Set is stored as the object.
  ASSERT_TRUE(Let(object(), u"Item", S(u"o"), Variant::FromDispatch(&seven_)).ok());
  Variant stored = Get(object(), u"Item", {S(u"o")});
  EXPECT_EQ(stored.Type(), VT_DISPATCH);
  EXPECT_EQ(stored.pdispVal, &seven_);
}

TEST_F(DictionaryItem, SetStoresAnObject) {
  ASSERT_TRUE(Set(object(), u"Item", S(u"o"), Variant::FromDispatch(&seven_)).ok());
  EXPECT_EQ(seven_.references(), 1u);  // held by the dictionary alone
  Variant stored = Get(object(), u"Item", {S(u"o")});
  EXPECT_EQ(stored.pdispVal, &seven_);
  stored.Clear();
  ASSERT_TRUE(Set(object(), u"Item", S(u"o"), Variant::FromDispatch(&other_seven_)).ok());
  EXPECT_EQ(seven_.references(), 0u);  // the replaced item was released
  EXPECT_EQ(other_seven_.references(), 1u);
}

TEST_F(DictionaryItem, SetOfANonObjectIsObjectRequired) {
  Result<void> outcome = Set(object(), u"Item", S(u"a"), I(1));
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 424);
  EXPECT_EQ(outcome.error().Description(), u"Object required");
  EXPECT_EQ(CountOf(object()), 0);
}

// --- Key rename --------------------------------------------------------------------------

TEST_F(DictionaryKeyRename, RenameKeepsThePosition) {
  Add(S(u"a"), I(1));
  Add(S(u"b"), I(2));
  Add(S(u"c"), I(3));
  ASSERT_TRUE(Let(object(), u"Key", S(u"b"), S(u"z")).ok());
  EXPECT_EQ(KeyTexts(object()), (std::vector<std::u16string>{u"a", u"z", u"c"}));
  EXPECT_EQ(Get(object(), u"Item", {S(u"z")}).lVal, 2);
  EXPECT_FALSE(Contains(object(), S(u"b")));
}

TEST_F(DictionaryKeyRename, AbsentOldKeyIsElementNotFound) {
  Add(S(u"a"), I(1));
  Result<void> outcome = Let(object(), u"Key", S(u"missing"), S(u"z"));
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 32811);
  EXPECT_EQ(outcome.error().Description(), u"Element not found");
  EXPECT_EQ(KeyTexts(object()), std::vector<std::u16string>{u"a"});
}

TEST_F(DictionaryKeyRename, PresentNewKeyIsError457AndChangesNothing) {
  Add(S(u"a"), I(1));
  Add(S(u"b"), I(2));
  Result<void> outcome = Let(object(), u"Key", S(u"a"), S(u"b"));
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 457);
  EXPECT_EQ(outcome.error().Description(), kKeyAlreadyAssociatedText);
  EXPECT_EQ(KeyTexts(object()), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_EQ(ItemTexts(object()), (std::vector<std::u16string>{u"1", u"2"}));
}

TEST_F(DictionaryKeyRename, RenameToAnEqualKeyStoresTheNewForm) {
  Add(I(1), S(u"one"));
  ASSERT_TRUE(Let(object(), u"Key", I(1), Variant::FromR8(1.0)).ok());
  std::vector<Variant> keys = ElementsOf(Get(object(), u"Keys"));
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].Type(), VT_R8);
  EXPECT_EQ(Get(object(), u"Item", {I(1)}).StringView(), u"one");
}

// --- Remove ------------------------------------------------------------------------------

TEST_F(DictionaryRemove, RemoveTakesOutOneEntry) {
  Add(S(u"a"), I(1));
  Add(S(u"b"), I(2));
  ASSERT_TRUE(Call(object(), u"Remove", {S(u"a")}).ok());
  EXPECT_EQ(CountOf(object()), 1);
  EXPECT_FALSE(Contains(object(), S(u"a")));
  EXPECT_TRUE(Contains(object(), S(u"b")));
}

TEST_F(DictionaryRemove, AbsentKeyIsElementNotFound) {
  Add(S(u"a"), I(1));
  Error error = Fails(object(), u"Remove", {S(u"b")});
  EXPECT_EQ(error.Number(), 32811);
  EXPECT_EQ(error.Description(), u"Element not found");
  EXPECT_EQ(CountOf(object()), 1);
}

TEST_F(DictionaryRemove, RemoveAllEmptiesAndReleases) {
  Add(Variant::FromDispatch(&seven_), Variant::FromDispatch(&other_seven_));
  Add(S(u"b"), I(2));
  ASSERT_TRUE(Call(object(), u"RemoveAll").ok());
  EXPECT_EQ(CountOf(object()), 0);
  EXPECT_EQ(seven_.references(), 0u);
  EXPECT_EQ(other_seven_.references(), 0u);
  Add(S(u"b"), I(3));  // the old key is gone from the index too
  EXPECT_EQ(Get(object(), u"Item", {S(u"b")}).lVal, 3);
}

// --- Order -------------------------------------------------------------------------------

TEST_F(DictionaryOrder, KeysAndItemsFollowInsertionOrderAfterRemoval) {
  Add(S(u"d"), I(4));
  Add(S(u"a"), I(1));
  Add(S(u"c"), I(3));
  Add(S(u"b"), I(2));
  ASSERT_TRUE(Call(object(), u"Remove", {S(u"a")}).ok());
  Add(S(u"a"), I(5));  // re-added keys go to the end
  EXPECT_EQ(KeyTexts(object()), (std::vector<std::u16string>{u"d", u"c", u"b", u"a"}));
  EXPECT_EQ(ItemTexts(object()), (std::vector<std::u16string>{u"4", u"3", u"2", u"5"}));
}

TEST_F(DictionaryOrder, EmptyDictionaryGivesEmptyArrays) {
  for (std::u16string_view member : {u"Keys", u"Items"}) {
    SCOPED_TRACE(Narrow(member));
    Variant array = Get(object(), member);
    ASSERT_EQ(array.Type(), VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(SafeArrayLowerBound(array.parray, 1).value(), 0);
    EXPECT_EQ(SafeArrayUpperBound(array.parray, 1).value(), -1);
  }
}

// --- Key identity ------------------------------------------------------------------------

TEST_F(DictionaryKeyIdentity, KeysCompareByValueAcrossTypes) {
  Variant null_text;
  null_text.vt = VT_BSTR;  // a null BSTR is the empty string
  struct Case {
    const char* description;
    Variant first;
    Variant second;
    bool same;
  };
  const Case cases[] = {
      {"Long 1 and Double 1.0", I(1), Variant::FromR8(1.0), true},
      {"Integer 1 and Long 1", Variant::FromI2(1), I(1), true},
      {"Single 1 and Currency 1", Variant::FromR4(1), Variant::FromCurrency(CY{10000}), true},
      {"Byte 1 and Date 1", Variant::FromByte(1), Variant::FromDate(1.0), true},
      {"Single 1.5 and Double 1.5", Variant::FromR4(1.5f), Variant::FromR8(1.5), true},
      {"True and -1", Variant::FromBool(true), I(-1), true},
      {"False and 0", Variant::FromBool(false), Variant::FromI2(0), true},
      {"0 and -0", Variant::FromR8(0.0), Variant::FromR8(-0.0), true},
      {"True and 1", Variant::FromBool(true), I(1), false},
      {"1 and 2", I(1), I(2), false},
      {"1.5 and 1", Variant::FromR8(1.5), I(1), false},
      {"number 1 and string 1", I(1), S(u"1"), false},
      {"Empty and Empty", Variant(), Variant(), true},
      {"Empty and 0", Variant(), I(0), false},
      {"Empty and empty string", Variant(), S(u""), false},
      {"Null and Null", Variant::Null(), Variant::Null(), true},
      {"Null and Empty", Variant::Null(), Variant(), false},
      {"Null and 0", Variant::Null(), I(0), false},
      {"equal strings", S(u"key"), S(u"key"), true},
      {"strings differing in case", S(u"key"), S(u"KEY"), false},
      {"null string and empty string", null_text, S(u""), true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.description);
    ComPtr<Dictionary> dictionary = MakeObject<Dictionary>();
    ASSERT_TRUE(Call(dictionary.get(), u"Add", {test.first, S(u"first")}).ok());
    EXPECT_EQ(Contains(dictionary.get(), test.second), test.same);
    Result<Variant> second_add = Call(dictionary.get(), u"Add", {test.second, S(u"second")});
    EXPECT_EQ(second_add.ok(), !test.same);
  }
}

TEST_F(DictionaryKeyIdentity, NotANumberIsOneKey) {
  Add(Variant::FromR8(std::nan("")), I(1));
  EXPECT_TRUE(Contains(object(), Variant::FromR8(-std::nan(""))));
}

TEST_F(DictionaryKeyIdentity, StoredKeyKeepsItsOriginalTypeAndValue) {
  Add(Variant::FromCurrency(CY{25000}), I(1));
  Add(Variant::FromBool(true), I(2));
  Add(Variant::FromDate(2.0), I(3));
  EXPECT_EQ(Fails(object(), u"Add", {Variant::FromR8(2.5), I(4)}).Number(), 457);
  std::vector<Variant> keys = ElementsOf(Get(object(), u"Keys"));
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].Type(), VT_CY);
  EXPECT_EQ(keys[0].cyVal.int64, 25000);
  EXPECT_EQ(keys[1].Type(), VT_BOOL);
  EXPECT_EQ(keys[1].boolVal, VARIANT_TRUE);
  EXPECT_EQ(keys[2].Type(), VT_DATE);
  // Lookups by another numeric type reach the same entries.
  EXPECT_EQ(Get(object(), u"Item", {Variant::FromR8(2.5)}).lVal, 1);
  EXPECT_EQ(Get(object(), u"Item", {I(-1)}).lVal, 2);
  EXPECT_EQ(Get(object(), u"Item", {I(2)}).lVal, 3);
}

TEST_F(DictionaryObjectKeys, ObjectsAreKeysByIdentityNotByValue) {
  Add(Variant::FromDispatch(&seven_), S(u"first"));
  EXPECT_TRUE(Contains(object(), Variant::FromDispatch(&seven_)));
  // Another object with the same default value, and the default value itself, are other keys.
  EXPECT_FALSE(Contains(object(), Variant::FromDispatch(&other_seven_)));
  EXPECT_FALSE(Contains(object(), I(7)));
  EXPECT_EQ(seven_.calls(), 0);  // the default member was never read
  Add(Variant::FromDispatch(&other_seven_), S(u"second"));
  EXPECT_EQ(CountOf(object()), 2);
  std::vector<Variant> keys = ElementsOf(Get(object(), u"Keys"));
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].pdispVal, &seven_);
}

TEST_F(DictionaryObjectKeys, InterfacesOfOneObjectAreOneKey) {
  Add(Variant::FromDispatch(split_.dispatch()), S(u"split"));
  EXPECT_TRUE(Contains(object(), Variant::FromUnknown(&split_)));
  EXPECT_EQ(Fails(object(), u"Add", {Variant::FromUnknown(&split_), I(1)}).Number(), 457);
}

TEST_F(DictionaryObjectKeys, NothingIsAKey) {
  Add(Variant::FromDispatch(nullptr), I(1));
  EXPECT_TRUE(Contains(object(), Variant::FromDispatch(nullptr)));
  EXPECT_FALSE(Contains(object(), Variant()));
}

TEST_F(DictionaryObjectKeys, RemoveReleasesKeyAndItem) {
  Add(Variant::FromDispatch(&seven_), Variant::FromDispatch(&other_seven_));
  EXPECT_EQ(seven_.references(), 1u);
  EXPECT_EQ(other_seven_.references(), 1u);
  ASSERT_TRUE(Call(object(), u"Remove", {Variant::FromDispatch(&seven_)}).ok());
  EXPECT_EQ(seven_.references(), 0u);
  EXPECT_EQ(other_seven_.references(), 0u);
}

// --- CompareMode -------------------------------------------------------------------------

TEST_F(DictionaryCompareModes, BinaryIsTheDefaultAndRespectsCase) {
  Variant mode = Get(object(), u"CompareMode");
  EXPECT_EQ(mode.Type(), VT_I4);
  EXPECT_EQ(mode.lVal, 0);
  Add(S(u"abc"), I(1));
  Add(S(u"ABC"), I(2));
  EXPECT_EQ(CountOf(object()), 2);
}

TEST_F(DictionaryCompareModes, TextAndDatabaseIgnoreCase) {
  for (int32_t mode : {1, 2}) {
    SCOPED_TRACE(mode);
    ComPtr<Dictionary> dictionary = MakeObject<Dictionary>();
    ASSERT_TRUE(PutMember(dictionary.get(), u"CompareMode", {}, I(mode)).ok());
    EXPECT_EQ(Get(dictionary.get(), u"CompareMode").lVal, mode);
    ASSERT_TRUE(Call(dictionary.get(), u"Add", {S(u"Stra\u00DFe \u00C4rger"), I(1)}).ok());
    EXPECT_TRUE(Contains(dictionary.get(), S(u"STRA\u00DFE \u00E4RGER")));
    EXPECT_EQ(Fails(dictionary.get(), u"Add", {S(u"stra\u00DFe \u00E4rger"), I(2)}).Number(), 457);
    // Keys come back as they were added.
    EXPECT_EQ(KeyTexts(dictionary.get()), std::vector<std::u16string>{u"Stra\u00DFe \u00C4rger"});
    // Case is all that is ignored.
    EXPECT_FALSE(Contains(dictionary.get(), S(u"Strasse Arger")));
  }
}

TEST_F(DictionaryCompareModes, TextModeRenameToOtherCaseKeepsTheEntry) {
  ASSERT_TRUE(PutMember(object(), u"CompareMode", {}, I(1)).ok());
  Add(S(u"name"), I(1));
  ASSERT_TRUE(Let(object(), u"Key", S(u"NAME"), S(u"Name")).ok());
  EXPECT_EQ(KeyTexts(object()), std::vector<std::u16string>{u"Name"});
  EXPECT_EQ(Get(object(), u"Item", {S(u"nAmE")}).lVal, 1);
}

TEST_F(DictionaryCompareModes, UnknownModeIsInvalidProcedureCall) {
  for (int32_t mode : {-1, 3, 1033}) {
    SCOPED_TRACE(mode);
    Result<void> outcome = PutMember(object(), u"CompareMode", {}, I(mode));
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().Number(), 5);
    EXPECT_EQ(outcome.error().Description(), u"Invalid procedure call or argument");
  }
  EXPECT_EQ(Get(object(), u"CompareMode").lVal, 0);
}

TEST_F(DictionaryCompareModes, CannotChangeOnceNotEmpty) {
  Add(S(u"a"), I(1));
  Result<void> outcome = PutMember(object(), u"CompareMode", {}, I(1));
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 5);
  EXPECT_EQ(Get(object(), u"CompareMode").lVal, 0);
  ASSERT_TRUE(Call(object(), u"RemoveAll").ok());
  EXPECT_TRUE(PutMember(object(), u"CompareMode", {}, I(1)).ok());
}

// --- HashVal -----------------------------------------------------------------------------

TEST_F(DictionaryHashVal, EqualKeysHashAlikeAsNonNegativeLong) {
  Variant text = Get(object(), u"HashVal", {S(u"abc")});
  EXPECT_EQ(text.Type(), VT_I4);
  EXPECT_GE(text.lVal, 0);
  EXPECT_EQ(Get(object(), u"HashVal", {S(u"abc")}).lVal, text.lVal);
  EXPECT_EQ(Get(object(), u"HashVal", {I(1)}).lVal,
            Get(object(), u"HashVal", {Variant::FromR8(1)}).lVal);
  EXPECT_EQ(CountOf(object()), 0);  // asking does not add
  Variant array = Variant::FromArray(VT_VARIANT, SafeArrayCreateVector(VT_VARIANT, 0, 1));
  EXPECT_EQ(Fails(object(), u"HashVal", {array}).Number(), 5);
}

TEST_F(DictionaryHashVal, TextModeHashesIgnoringCase) {
  int32_t binary_upper = Get(object(), u"HashVal", {S(u"ABC")}).lVal;
  EXPECT_NE(Get(object(), u"HashVal", {S(u"abc")}).lVal, binary_upper);
  ASSERT_TRUE(PutMember(object(), u"CompareMode", {}, I(1)).ok());
  EXPECT_EQ(Get(object(), u"HashVal", {S(u"abc")}).lVal, binary_upper);
}

// --- _NewEnum ----------------------------------------------------------------------------

TEST_F(DictionaryEnumerator, EnumeratesASnapshotOfTheKeys) {
  Add(S(u"a"), I(1));
  Add(I(2), I(2));
  Add(S(u"c"), I(3));
  Variant enumerator = Get(object(), u"_NewEnum");
  ASSERT_EQ(enumerator.Type(), VT_UNKNOWN);
  ComPtr<IEnumVARIANT> keys;
  ASSERT_EQ(enumerator.punkVal->QueryInterface(IID_IEnumVARIANT, Out(keys)), S_OK);
  Add(S(u"later"), I(4));  // not seen by an enumerator made before
  static_assert(sizeof(Variant) == sizeof(VARIANT), "Next fills an array of VARIANT");
  Variant values[5];
  ULONG fetched = 0;
  EXPECT_EQ(keys->Next(5, values, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 3u);
  EXPECT_EQ(values[0].StringView(), u"a");
  EXPECT_EQ(values[1].Type(), VT_I4);
  EXPECT_EQ(values[1].lVal, 2);
  EXPECT_EQ(values[2].StringView(), u"c");
}

// --- Many keys ---------------------------------------------------------------------------

TEST_F(DictionaryHashing, FiftyThousandKeysAreAllFound) {
  constexpr int32_t kKeys = 50000;
  for (int32_t i = 0; i < kKeys; ++i) Add(NumberedKey(i), I(i));
  ASSERT_EQ(CountOf(object()), kKeys);
  for (int32_t i = 0; i < kKeys; ++i) {
    Variant item = Get(object(), u"Item", {NumberedKey(i)});
    ASSERT_EQ(item.Type(), VT_I4);
    ASSERT_EQ(item.lVal, i);
  }
  for (int32_t i = 0; i < kKeys; i += 2) {
    ASSERT_TRUE(Call(object(), u"Remove", {NumberedKey(i)}).ok());
  }
  EXPECT_EQ(CountOf(object()), kKeys / 2);
  std::vector<std::u16string> keys = KeyTexts(object());
  ASSERT_EQ(keys.size(), static_cast<size_t>(kKeys / 2));
  EXPECT_EQ(keys.front(), u"key1");
  EXPECT_EQ(keys.back(), u"key49999");
}

TEST_F(DictionaryHashing, NumericKeysAreHashedByValue) {
  constexpr int32_t kKeys = 20000;
  for (int32_t i = 0; i < kKeys; ++i) Add(I(i), I(i));
  for (int32_t i = 0; i < kKeys; ++i) {
    ASSERT_TRUE(Contains(object(), Variant::FromR8(i))) << i;
  }
  EXPECT_FALSE(Contains(object(), Variant::FromR8(0.5)));
}

// --- The module --------------------------------------------------------------------------

namespace {

using EntryPoint = HRESULT (*)();

// The script runtime module registered in a temporary registry, as an installation does.
class DictionaryModule : public testing::Test {
 protected:
  void SetUp() override {
    Result<void*> module = LoadModule(u"" SCRIPT_RUNTIME_PATH_U);
    ASSERT_TRUE(module.ok());
    module_ = module.value();
    auto register_server = reinterpret_cast<EntryPoint>(ModuleEntryPoint(module_, "DllRegisterServer").value());
    ASSERT_EQ(register_server(), S_OK);
  }
  HRESULT GetClassObject(REFCLSID clsid, void** object) {
    using GetClassObjectEntry = HRESULT (*)(REFCLSID, REFIID, void**);
    auto entry = reinterpret_cast<GetClassObjectEntry>(ModuleEntryPoint(module_, "DllGetClassObject").value());
    return entry(clsid, IID_IClassFactory, object);
  }
  TemporaryRegistry registry_;
  void* module_ = nullptr;
};

}  // namespace

TEST_F(DictionaryModule, CreatedByProgIdInAnyLetterCase) {
  ComPtr<IDispatch> dictionary = CreateObject(u"scripting.DICTIONARY").value();
  ASSERT_TRUE(Call(dictionary.get(), u"Add", {S(u"k"), S(u"v")}).ok());
  EXPECT_EQ(CountOf(dictionary.get()), 1);
  EXPECT_EQ(Get(dictionary.get(), u"Item", {S(u"k")}).StringView(), u"v");
}

TEST_F(DictionaryModule, OtherClassesAndAggregationAreRefused) {
  void* object = nullptr;
  EXPECT_EQ(GetClassObject(kDictionaryInterfaceId, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(GetClassObject(kDictionaryClassId, Out(factory)), S_OK);
  SplitObject outer;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
}

TEST_F(DictionaryModule, TypeLibraryDescribesTheDictionaryClass) {
  const TypeLibrary* library = LoadRegisteredTypeLibrary(u"Scripting").value();
  EXPECT_EQ(library->name, u"Scripting");  // ProgIDs are "Scripting.<class>"
  EXPECT_TRUE(library->libid == kScriptingLibraryId);
  EXPECT_EQ(library->major_version, 1);
  EXPECT_EQ(library->minor_version, 0);
  EXPECT_EQ(library->help_string, u"Script runtime");
  ASSERT_EQ(library->classes.size(), 2u);
  const TypeLibraryClass& type = library->classes[0];
  EXPECT_EQ(type.name, u"Dictionary");
  EXPECT_TRUE(type.clsid == kDictionaryClassId);
  EXPECT_EQ(type.default_interface, u"IDictionary");
  EXPECT_TRUE(type.interface_id == kDictionaryInterfaceId);
  EXPECT_EQ(type.flags, static_cast<uint32_t>(kClassCreatable));
  EXPECT_EQ(type.threading, ThreadingModel::Apartment);
  EXPECT_EQ(ProgIdOf(*library, type), u"Scripting.Dictionary");
  EXPECT_EQ(FindLibraryClass(*library, u"DICTIONARY"), &type);
  const TypeLibraryClass* files = FindLibraryClass(*library, u"FileSystemObject");
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(ProgIdOf(*library, *files), u"Scripting.FileSystemObject");
  EXPECT_EQ(FindLibraryConstant(*library, u"ForAppending"), 8);
  EXPECT_EQ(FindLibraryConstant(*library, u"TristateTrue"), -1);
  EXPECT_EQ(FindLibraryConstant(*library, u"TemporaryFolder"), 2);
}
