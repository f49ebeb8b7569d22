#include "platform/com/dispatch_object.h"

#include <gtest/gtest.h>

#include "platform/automation/arithmetic.h"
#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/com/enum_variant.h"
#include "platform/com/error_info.h"

namespace {

// A class with one member of each form the table supports.
class Account : public DispatchObject<Account> {
 public:
  static std::span<const DispatchMember<Account>> Members() {
    static constexpr DispatchMember<Account> kMembers[] = {
        {u"Balance", 0, kPropertyGet, 0, 0, &Account::Balance},
        {u"Balance", 0, kPropertyPut, 0, 0, &Account::SetBalance},
        {u"Deposit", 1, kMethod, 1, 2, &Account::Deposit, u"Amount,Times"},
        {u"Swap", 2, kMethod, 2, 2, &Account::Swap, u"First,Second"},
        {u"Withdraw", 3, kMethod, 1, 1, &Account::Withdraw, u"Amount"},
        {u"Owner", 4, kPropertyPutRef, 0, 0, &Account::SetOwner},
        {u"Owner", 4, kPropertyGet, 0, 0, &Account::Owner},
        {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &Account::NewEnum},
    };
    return kMembers;
  }

 private:
  Result<Variant> Balance(const DispatchArguments&) { return Variant::FromI4(balance_); }
  Result<Variant> SetBalance(const DispatchArguments& arguments) {
    balance_ = TRY(ToInt32(arguments.value()));
    return Variant();
  }
  // Deposit(Amount, [Times = 1])
  Result<Variant> Deposit(const DispatchArguments& arguments) {
    int32_t amount = TRY(ToInt32(arguments[0]));
    int32_t times = arguments.IsMissing(1) ? 1 : TRY(ToInt32(arguments[1]));
    balance_ += amount * times;
    return Variant::FromI4(balance_);
  }
  Result<Variant> Swap(const DispatchArguments& arguments) {
    Variant first;
    Variant second;
    VariantCopyInd(&first, &arguments[0]);
    VariantCopyInd(&second, &arguments[1]);
    TRY(arguments.Assign(0, second));
    TRY(arguments.Assign(1, first));
    return Variant();
  }
  Result<Variant> Withdraw(const DispatchArguments& arguments) {
    int32_t amount = TRY(ToInt32(arguments[0]));
    if (amount > balance_) return Error::Script(10001, u"Insufficient funds");
    balance_ -= amount;
    return Variant::FromI4(balance_);
  }
  Result<Variant> SetOwner(const DispatchArguments& arguments) {
    owner_ = Variant(arguments.value());
    return Variant();
  }
  Result<Variant> Owner(const DispatchArguments&) { return owner_; }
  Result<Variant> NewEnum(const DispatchArguments&) {
    return EnumeratorVariant({Variant::FromI4(balance_), Variant::FromString(u"end")});
  }
  std::u16string_view ErrorSource() const override { return u"Bank.Account"; }

  int32_t balance_ = 0;
  Variant owner_;
};

class DispatchObjectTest : public testing::Test {
 protected:
  ComPtr<Account> account_ = MakeObject<Account>();
  IDispatch* object() { return account_.get(); }

  // Invoke with explicit DISPPARAMS (arguments last first, as the platform passes them).
  HRESULT RawInvoke(DISPID member, WORD flags, std::vector<VARIANT> reversed,
                    std::vector<DISPID> named, VARIANT* result, EXCEPINFO* exception = nullptr) {
    DISPPARAMS params{reversed.data(), named.data(), static_cast<UINT>(reversed.size()),
                      static_cast<UINT>(named.size())};
    return object()->Invoke(member, GUID_NULL, 0, flags, &params, result, exception, nullptr);
  }
};

// A store whose members can only be read, as Session.Contents and Response.Cookies are.
class Cell : public DispatchObject<Cell> {
 public:
  static std::span<const DispatchMember<Cell>> Members() {
    static constexpr DispatchMember<Cell> kMembers[] = {
        {u"Value", DISPID_VALUE, kPropertyGet, 0, 0, &Cell::Get},
        {u"Value", DISPID_VALUE, kPropertyPut, 0, 0, &Cell::Put},
    };
    return kMembers;
  }
  Variant value;

 private:
  Result<Variant> Get(const DispatchArguments&) { return value; }
  Result<Variant> Put(const DispatchArguments& arguments) {
    value = Variant(arguments.value());
    return Variant();
  }
};

class Shelf : public DispatchObject<Shelf> {
 public:
  static std::span<const DispatchMember<Shelf>> Members() {
    static constexpr DispatchMember<Shelf> kMembers[] = {
        {u"Item", DISPID_VALUE, kPropertyGet, 1, 1, &Shelf::Get},
        {u"Item", DISPID_VALUE, kPropertyPut, 1, 1, &Shelf::Put},
        {u"Contents", 1, kPropertyGet, 0, 0, &Shelf::Contents},
        {u"Cell", 2, kPropertyGet, 0, 1, &Shelf::CellAt, u"Index"},
        {u"Count", 3, kPropertyGet, 0, 0, &Shelf::Count},
    };
    return kMembers;
  }
  ComPtr<Cell> cell = MakeObject<Cell>();
  std::u16string key;
  Variant stored;

 private:
  Result<Variant> Get(const DispatchArguments&) { return stored; }
  Result<Variant> Put(const DispatchArguments& arguments) {
    key = std::u16string(PeekValue(arguments[0]).bstrVal);
    stored = Variant(arguments.value());
    return Variant();
  }
  Result<Variant> Contents(const DispatchArguments&) { return Variant::FromDispatch(this); }
  Result<Variant> CellAt(const DispatchArguments&) { return Variant::FromDispatch(cell.get()); }
  Result<Variant> Count(const DispatchArguments&) { return Variant::FromI4(1); }
};

TEST(DispatchPutThroughValueTest, AssigningToAReadOnlyMemberWithIndicesGoesThroughItsValue) {
  ComPtr<Shelf> shelf = MakeObject<Shelf>();
  // Contents takes no index: Contents("k") = 5 assigns Contents' default member with "k".
  Variant k = Variant::FromString(u"k");
  const VARIANT key[] = {k};
  ASSERT_TRUE(PutMember(shelf.get(), u"Contents", key, Variant::FromI4(5)).ok());
  EXPECT_EQ(shelf->key, u"k");
  EXPECT_EQ(shelf->stored.lVal, 5);
  // Cell takes the index: Cell("x") = "v" reads Cell("x") and assigns its default member.
  Variant x = Variant::FromString(u"x");
  const VARIANT index[] = {x};
  ASSERT_TRUE(PutMember(shelf.get(), u"Cell", index, Variant::FromString(u"v")).ok());
  EXPECT_EQ(shelf->cell->value.StringView(), u"v");
  // Without indices, or when the member's value is no object, the member cannot be assigned.
  EXPECT_FALSE(PutMember(shelf.get(), u"Contents", {}, Variant::FromI4(1)).ok());
  EXPECT_FALSE(PutMember(shelf.get(), u"Count", index, Variant::FromI4(1)).ok());
}

}  // namespace

TEST_F(DispatchObjectTest, NamesIgnoreCaseAndUnknownNamesFail) {
  EXPECT_EQ(GetDispatchId(object(), u"DEPOSIT").value(), 1);
  EXPECT_EQ(GetDispatchId(object(), u"balance").value(), 0);
  EXPECT_EQ(GetDispatchId(object(), u"Transfer").error().Number(), 438);
}

TEST_F(DispatchObjectTest, ParameterNamesMapToPositions) {
  std::u16string names[] = {u"Deposit", u"times", u"AMOUNT"};
  LPOLESTR pointers[] = {names[0].data(), names[1].data(), names[2].data()};
  DISPID dispids[3];
  ASSERT_EQ(object()->GetIDsOfNames(GUID_NULL, pointers, 3, 0, dispids), S_OK);
  EXPECT_EQ(dispids[0], 1);
  EXPECT_EQ(dispids[1], 1);
  EXPECT_EQ(dispids[2], 0);
  std::u16string unknown = u"Currency";
  pointers[1] = unknown.data();
  EXPECT_EQ(object()->GetIDsOfNames(GUID_NULL, pointers, 2, 0, dispids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(dispids[1], DISPID_UNKNOWN);
}

TEST_F(DispatchObjectTest, PositionalOptionalAndNamedArguments) {
  Variant amount = Variant::FromI4(10);
  EXPECT_EQ(InvokeDispatch(object(), 1, DISPATCH_METHOD, std::vector<VARIANT>{amount}).value().lVal, 10);
  Variant times = Variant::FromI4(3);
  EXPECT_EQ(InvokeDispatch(object(), 1, DISPATCH_METHOD, std::vector<VARIANT>{amount, times}).value().lVal, 40);
  // Deposit(Times:=2, Amount:=5): named arguments in any order.
  Variant result;
  ASSERT_EQ(RawInvoke(1, DISPATCH_METHOD, {Variant::FromI4(5), Variant::FromI4(2)}, {0, 1}, &result), S_OK);
  EXPECT_EQ(result.lVal, 50);
  // An explicitly missing optional argument is like an absent one.
  EXPECT_EQ(InvokeDispatch(object(), 1, DISPATCH_METHOD, std::vector<VARIANT>{amount, Variant::Missing()}).value().lVal, 60);
}

TEST_F(DispatchObjectTest, ArgumentCountsAreChecked) {
  Variant result;
  EXPECT_EQ(RawInvoke(1, DISPATCH_METHOD, {}, {}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(RawInvoke(1, DISPATCH_METHOD, {Variant::FromI4(1), Variant::FromI4(1), Variant::FromI4(1)}, {}, &result),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(RawInvoke(1, DISPATCH_METHOD, {Variant::Missing()}, {}, &result), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(RawInvoke(1, DISPATCH_METHOD, {Variant::FromI4(1)}, {7}, &result), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(InvokeDispatch(object(), 1, DISPATCH_METHOD).error().Number(), 450);
}

TEST_F(DispatchObjectTest, ByReferenceArgumentsAreWrittenBack) {
  Variant first = Variant::FromString(u"left");
  Variant second = Variant::FromI4(2);
  Variant references[] = {Variant::RefTo(&first), Variant::RefTo(&second)};
  ASSERT_TRUE(InvokeDispatch(object(), 2, DISPATCH_METHOD, std::vector<VARIANT>{references[0], references[1]}).ok());
  EXPECT_EQ(first.Type(), VT_I4);
  EXPECT_EQ(second.StringView(), u"left");
  // Passed by value, nothing is written anywhere.
  Variant by_value = Variant::FromI4(9);
  ASSERT_TRUE(InvokeDispatch(object(), 2, DISPATCH_METHOD, std::vector<VARIANT>{by_value, by_value}).ok());
  EXPECT_EQ(by_value.lVal, 9);
}

TEST_F(DispatchObjectTest, TypedByReferenceArgumentConvertsOnWriteBack) {
  int16_t number = 1;
  BSTR text = SysAllocString(u"7");
  VARIANT number_reference{};
  number_reference.vt = VT_BYREF | VT_I2;
  number_reference.piVal = &number;
  VARIANT text_reference{};
  text_reference.vt = VT_BYREF | VT_BSTR;
  text_reference.pbstrVal = &text;
  ASSERT_TRUE(InvokeDispatch(object(), 2, DISPATCH_METHOD, std::vector<VARIANT>{number_reference, text_reference}).ok());
  EXPECT_EQ(number, 7);
  EXPECT_EQ(BstrView(text), u"1");
  SysFreeString(text);
}

TEST_F(DispatchObjectTest, DefaultMemberPropertyPutAndPutRef) {
  ASSERT_TRUE(PutMember(object(), u"Balance", {}, Variant::FromI4(25)).ok());
  EXPECT_EQ(ToInt32(Variant::FromDispatch(object())).value(), 25);  // default member read
  Variant owner = Variant::FromString(u"Ann");
  ASSERT_TRUE(InvokeDispatch(object(), 4, DISPATCH_PROPERTYPUTREF, std::vector<VARIANT>{owner}).ok());
  // A put where only put-by-reference exists is answered by it.
  ASSERT_TRUE(InvokeDispatch(object(), 4, DISPATCH_PROPERTYPUT, std::vector<VARIANT>{Variant::FromString(u"Bo")}).ok());
  EXPECT_EQ(CallMember(object(), u"Owner").value().StringView(), u"Bo");
}

TEST_F(DispatchObjectTest, WrongKindOrUnknownDispidIsMemberNotFound) {
  Variant result;
  EXPECT_EQ(RawInvoke(99, DISPATCH_METHOD, {}, {}, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(RawInvoke(1, DISPATCH_PROPERTYPUT, {Variant::FromI4(1)}, {DISPID_PROPERTYPUT}, &result),
            DISP_E_MEMBERNOTFOUND);
}

TEST_F(DispatchObjectTest, RaisedErrorsTravelAsExceptionsWithNumberAndSource) {
  EXCEPINFO exception{};
  Variant result;
  ASSERT_EQ(RawInvoke(3, DISPATCH_METHOD, {Variant::FromI4(100)}, {}, &result, &exception), DISP_E_EXCEPTION);
  EXPECT_EQ(static_cast<uint32_t>(exception.scode), 0x800A0000u + 10001);
  EXPECT_EQ(BstrView(exception.bstrDescription), u"Insufficient funds");
  EXPECT_EQ(BstrView(exception.bstrSource), u"Bank.Account");
  Error error = ErrorFromInvoke(DISP_E_EXCEPTION, exception);
  EXPECT_EQ(error.Number(), 10001);

  std::optional<ThreadErrorInfo> info = TakeThreadErrorInfo();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->number, 10001);
  EXPECT_FALSE(TakeThreadErrorInfo().has_value());  // reading clears it
}

TEST_F(DispatchObjectTest, ConversionErrorsOfArgumentsCarryStandardText) {
  Result<Variant> outcome = CallMember(object(), u"Deposit", std::vector<VARIANT>{Variant::FromString(u"lots")});
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 13);
  EXPECT_EQ(outcome.error().Description(), u"Type mismatch");
  EXPECT_EQ(outcome.error().Source(), u"Bank.Account");
}

TEST_F(DispatchObjectTest, NewEnumWalksTheValues) {
  ASSERT_TRUE(PutMember(object(), u"Balance", {}, Variant::FromI4(3)).ok());
  Variant enumerator = InvokeDispatch(object(), DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET).value();
  ASSERT_EQ(enumerator.Type(), VT_UNKNOWN);
  ComPtr<IEnumVARIANT> walk;
  ASSERT_EQ(enumerator.punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(walk.Receive())), S_OK);
  VARIANT values[3];
  ULONG fetched = 0;
  EXPECT_EQ(walk->Next(3, values, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(values[0].lVal, 3);
  EXPECT_EQ(BstrView(values[1].bstrVal), u"end");
  for (ULONG i = 0; i < fetched; ++i) VariantClear(&values[i]);
  EXPECT_EQ(walk->Reset(), S_OK);
  ComPtr<IEnumVARIANT> copy;
  ASSERT_EQ(walk->Clone(copy.Receive()), S_OK);
  EXPECT_EQ(copy->Skip(5), S_FALSE);
}

TEST_F(DispatchObjectTest, QueryInterfaceAndReferenceCounting) {
  ComPtr<IDispatch> as_dispatch = account_.As<IDispatch>(IID_IDispatch);
  ASSERT_TRUE(as_dispatch);
  ComPtr<IUnknown> as_unknown = account_.As<IUnknown>(IID_IUnknown);
  EXPECT_TRUE(as_unknown);
  EXPECT_FALSE(account_.As<IUnknown>(IID_IEnumVARIANT));
}

// The direct way in follows Invoke's rules: arguments in order, a put's value last, the same
// counts, errors and write-backs, and a put through a read-only member's value still works.
TEST_F(DispatchObjectTest, DirectInvokeFollowsInvokesRules) {
  ComPtr<IDirectInvoke> direct = ComPtr<IDispatch>(object()).As<IDirectInvoke>(IID_IDirectInvoke);
  ASSERT_TRUE(direct);
  Variant amount = Variant::FromI4(5);
  Variant times = Variant::FromI4(3);
  VARIANT deposit[] = {amount, times};
  Result<Variant> balance = InvokeDirectly(direct.get(), 1, DISPATCH_METHOD, deposit);
  ASSERT_TRUE(balance.ok());
  EXPECT_EQ(balance.value().lVal, 15);
  VARIANT put[] = {Variant::FromI4(40)};
  ASSERT_TRUE(InvokeDirectly(direct.get(), 0, DISPATCH_PROPERTYPUT, put).ok());
  EXPECT_EQ(InvokeDirectly(direct.get(), 0, DISPATCH_PROPERTYGET, {}).value().lVal, 40);
  // Counts, missing required arguments, unknown members, raised errors.
  EXPECT_EQ(InvokeDirectly(direct.get(), 1, DISPATCH_METHOD, {}).error().Number(), 450);
  VARIANT three[] = {amount, amount, amount};
  EXPECT_EQ(InvokeDirectly(direct.get(), 1, DISPATCH_METHOD, three).error().Number(), 450);
  VARIANT missing[] = {Variant::Missing()};
  EXPECT_EQ(InvokeDirectly(direct.get(), 1, DISPATCH_METHOD, missing).error().Number(), 449);
  EXPECT_EQ(InvokeDirectly(direct.get(), 99, DISPATCH_METHOD, {}).error().Number(), 438);
  VARIANT too_much[] = {Variant::FromI4(1000)};
  Result<Variant> refused = InvokeDirectly(direct.get(), 3, DISPATCH_METHOD, too_much);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().Number(), 10001);
  EXPECT_EQ(refused.error().Description(), u"Insufficient funds");
  // By-reference arguments are written back.
  Variant first = Variant::FromString(u"left");
  Variant second = Variant::FromI4(2);
  VARIANT references[] = {Variant::RefTo(&first), Variant::RefTo(&second)};
  ASSERT_TRUE(InvokeDirectly(direct.get(), 2, DISPATCH_METHOD, references).ok());
  EXPECT_EQ(first.lVal, 2);
  EXPECT_EQ(second.StringView(), u"left");
  // Contents("k") = 5 on a member that can only be read goes through its value.
  ComPtr<Shelf> shelf = MakeObject<Shelf>();
  ComPtr<IDirectInvoke> shelf_direct = ComPtr<IDispatch>(shelf.get()).As<IDirectInvoke>(IID_IDirectInvoke);
  DISPID contents = GetDispatchId(shelf.get(), u"Contents").value();
  Variant key = Variant::FromString(u"k");
  VARIANT key_and_value[] = {key, Variant::FromI4(5)};
  ASSERT_TRUE(InvokeDirectly(shelf_direct.get(), contents, DISPATCH_PROPERTYPUT, key_and_value).ok());
  EXPECT_EQ(shelf->key, u"k");
  EXPECT_EQ(shelf->stored.lVal, 5);
}
