// Values and calls between scripts and host objects: the VARIANT <-> script value rules for
// every type, methods against properties, default members, assignments to calls, host errors,
// VBArray, Enumerator, ActiveXObject and script objects the host calls.
#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "platform/automation/conversion.h"
#include "platform/automation/date_time.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "platform/com/creation.h"
#include "platform/com/dispatch_object.h"
#include "platform/com/enum_variant.h"
#include "tests/platform/jscript/jscript_test_site.h"
#include "tests/support/temporary_registry.h"

namespace {

using jscript_test::ExpectOutputs;
using jscript_test::JScriptHarness;
using jscript_test::Narrow;
using jscript_test::OutputCase;

// An object whose default value is a date, as a recordset's field is.
class DatedField : public DispatchObject<DatedField> {
 public:
  static std::span<const DispatchMember<DatedField>> Members() {
    static constexpr DispatchMember<DatedField> kMembers[] = {
        {u"Value", DISPID_VALUE, kPropertyGet, 0, 0, &DatedField::Value},
    };
    return kMembers;
  }

 private:
  Result<Variant> Value(const DispatchArguments&) {
    return Variant::FromDate(DateFromParts(2024, 2, 29, 13, 45, 30).value());
  }
};

// Hands out one value of each automation type (Give), keeps what it is given (Take), and has a
// default property (its name).
class TypedValues : public DispatchObject<TypedValues> {
 public:
  static std::span<const DispatchMember<TypedValues>> Members() {
    static constexpr DispatchMember<TypedValues> kMembers[] = {
        {u"Name", DISPID_VALUE, kPropertyGet, 0, 0, &TypedValues::Name},
        {u"Give", 1, kMethod, 1, 1, &TypedValues::Give},
        {u"Take", 2, kMethod, 1, 1, &TypedValues::Take},
    };
    return kMembers;
  }
  Variant taken;

 private:
  Result<Variant> Name(const DispatchArguments&) { return Variant::FromString(u"typed"); }
  Result<Variant> Take(const DispatchArguments& arguments) {
    taken.Clear();
    VariantCopyInd(&taken, &arguments[0]);
    return Variant();
  }
  Result<Variant> Give(const DispatchArguments& arguments) {
    std::string kind = Narrow(TRY(ToBstr(arguments[0])).view());
    Variant value;
    if (kind == "i1") { value.vt = VT_I1; value.bVal = static_cast<uint8_t>(-5); }
    if (kind == "i2") return Variant::FromI2(-7);
    if (kind == "i4") return Variant::FromI4(123456);
    if (kind == "r4") return Variant::FromR4(1.5f);
    if (kind == "r8") return Variant::FromR8(2.25);
    if (kind == "cy") return Variant::FromCurrency(CY{123456});
    if (kind == "date") return Variant::FromDate(DateFromParts(2024, 2, 29, 13, 45, 30).value());
    if (kind == "bstr") return Variant::FromString(u"h\u00e9llo \U0001F600");
    if (kind == "bool") return Variant::FromBool(true);
    if (kind == "empty") return Variant();
    if (kind == "null") return Variant::Null();
    if (kind == "ui1") return Variant::FromByte(200);
    if (kind == "ui2") { value.vt = VT_UI2; value.iVal = static_cast<int16_t>(60000); }
    if (kind == "ui4") { value.vt = VT_UI4; value.lVal = static_cast<int32_t>(4000000000u); }
    if (kind == "i8") { value.vt = VT_I8; value.llVal = int64_t{1} << 40; }
    if (kind == "ui8") { value.vt = VT_UI8; value.llVal = int64_t{1} << 41; }
    if (kind == "missing") return Variant::Missing();
    if (kind == "nothing") return Variant::FromDispatch(nullptr);
    if (kind == "matrix") return Matrix();
    if (kind == "dated") return Variant::FromDispatch(MakeObject<DatedField>().get());
    return value;
  }
  // A 3 x 2 array with bounds (1 to 3, 0 to 1); element (i, j) is i * 10 + j.
  static Variant Matrix() {
    SAFEARRAYBOUND bounds[] = {{3, 1}, {2, 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    for (int32_t j = 0; j <= 1; ++j) {
      for (int32_t i = 1; i <= 3; ++i) {
        int32_t indices[] = {i, j};
        (void)SafeArrayPutElement(array, indices, 2, Variant::FromI4(i * 10 + j));
      }
    }
    return Variant::FromArray(VT_VARIANT, array);
  }
};

// A keyed store with a default member that takes an index and can be assigned (as Session and
// Application are), and a read-only `Contents` that is the store itself.
class Bag : public DispatchObject<Bag> {
 public:
  static std::span<const DispatchMember<Bag>> Members() {
    static constexpr DispatchMember<Bag> kMembers[] = {
        {u"Item", DISPID_VALUE, kPropertyGet, 1, 1, &Bag::Get},
        {u"Item", DISPID_VALUE, kPropertyPut | kPropertyPutRef, 1, 1, &Bag::Put},
        {u"Contents", 1, kPropertyGet, 0, 0, &Bag::Contents},
    };
    return kMembers;
  }
  std::map<std::u16string, Variant> values;

 private:
  Result<Variant> Get(const DispatchArguments& arguments) {
    Bstr key = TRY(ToBstr(arguments[0]));
    auto found = values.find(std::u16string(key.view()));
    return found == values.end() ? Variant() : found->second;
  }
  Result<Variant> Put(const DispatchArguments& arguments) {
    Bstr key = TRY(ToBstr(arguments[0]));
    Variant value;
    VariantCopyInd(&value, &arguments.value());
    values[std::u16string(key.view())] = std::move(value);
    return Variant();
  }
  Result<Variant> Contents(const DispatchArguments&) { return Variant::FromDispatch(this); }
};

// The harness with the objects above as the items "T" and "Bag".
class BridgeHarness : public JScriptHarness {
 public:
  BridgeHarness() : typed_(MakeObject<TypedValues>()), bag_(MakeObject<Bag>()) {
    site().extra_items[u"T"] = static_cast<IDispatch*>(typed_.get());
    site().extra_items[u"Bag"] = static_cast<IDispatch*>(bag_.get());
    engine()->AddNamedItem(u"T", SCRIPTITEM_ISVISIBLE);
    engine()->AddNamedItem(u"Bag", SCRIPTITEM_ISVISIBLE);
  }
  TypedValues& typed() { return *typed_; }
  Bag& bag() { return *bag_; }

 private:
  ComPtr<TypedValues> typed_;
  ComPtr<Bag> bag_;
};

std::string RunBridge(std::string_view script) {
  BridgeHarness harness;
  harness.Run(script);
  if (!harness.site().errors.empty()) {
    return "error " + std::to_string(harness.last_error().number()) + ": " + harness.last_error().description;
  }
  return harness.output();
}

TEST(JScriptValuesIn, EveryAutomationTypeBecomesAScriptValue) {
  struct Case {
    const char* kind;
    const char* expected;
  } cases[] = {
      {"i1", "number:-5"},           {"i2", "number:-7"},          {"i4", "number:123456"},
      {"r4", "number:1.5"},          {"r8", "number:2.25"},        {"cy", "number:12.3456"},
      {"bool", "boolean:true"},      {"empty", "undefined:undefined"}, {"null", "object:null"},
      {"ui1", "number:200"},         {"ui2", "number:60000"},      {"ui4", "number:4000000000"},
      {"i8", "number:1099511627776"}, {"ui8", "number:2199023255552"}, {"missing", "undefined:undefined"},
      {"nothing", "object:null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    EXPECT_EQ(RunBridge(std::string("var v = T.Give('") + c.kind + "'); Out.Write(typeof v + ':' + v);"), c.expected);
  }
}

TEST(JScriptValuesIn, StringsKeepEveryCodeUnit) {
  EXPECT_EQ(RunBridge("var s = T.Give('bstr'); Out.Write(s.length + ' ' + s.charCodeAt(1) + ' ' + s.charCodeAt(6) + "
                      "' ' + s.charCodeAt(7));"),
            "8 233 55357 56832");
  BridgeHarness harness;
  harness.Run("T.Take(T.Give('bstr') + '\\uD800');");
  EXPECT_EQ(harness.typed().taken.StringView(), u"h\u00e9llo \U0001F600\xD800");
  harness.Run("T.Take('a\\u0000b');");
  EXPECT_EQ(harness.typed().taken.StringView(), std::u16string_view(u"a\0b", 3));
}

TEST(JScriptValuesIn, DatesBecomeDateObjectsOfTheLocalTime) {
  EXPECT_EQ(RunBridge("var d = T.Give('date'); Out.Write((d instanceof Date) + ' ' + d.getFullYear() + '-' + "
                      "(d.getMonth() + 1) + '-' + d.getDate() + ' ' + d.getHours() + ':' + d.getMinutes() + ':' + "
                      "d.getSeconds());"),
            "true 2024-2-29 13:45:30");
  // new Date(field) takes the date of an object whose default value is one.
  EXPECT_EQ(RunBridge("var d = new Date(T.Give('dated')); Out.Write(d.getTime() === T.Give('date').getTime());"), "True");
}

TEST(JScriptValuesIn, ArraysBecomeVBArrays) {
  EXPECT_EQ(RunBridge("var a = new VBArray(T.Give('matrix'));\n"
                      "Out.Write([a.dimensions(), a.lbound(), a.ubound(), a.lbound(2), a.ubound(2), a.getItem(2, 1), "
                      "a.toArray().join(' ')].join(','));"),
            "2,1,3,0,1,21,10 20 30 11 21 31");
  EXPECT_EQ(RunBridge("var a = VBArray(Out.Numbers); Out.Write(a.toArray().join(',') + ';' + Out.Numbers(1));"),
            "10,20,30;20");
  EXPECT_EQ(RunBridge("try { new VBArray(5); } catch (e) { Out.Write(e.number & 0xFFFF); }"), "5013");
  EXPECT_EQ(RunBridge("try { VBArray(Out.Numbers).getItem(3); } catch (e) { Out.Write(e.number & 0xFFFF); }"), "9");
  EXPECT_EQ(RunBridge("try { VBArray(Out.Numbers).ubound(2); } catch (e) { Out.Write(e.number & 0xFFFF); }"), "9");
}

TEST(JScriptValuesOut, ScriptValuesBecomeTheirAutomationTypes) {
  struct Case {
    const char* expression;
    VARTYPE type;
  } cases[] = {
      {"undefined", VT_EMPTY}, {"null", VT_NULL},   {"true", VT_BOOL},        {"42", VT_I4},
      {"-2147483648", VT_I4},  {"2147483648", VT_R8}, {"2.5", VT_R8},         {"-0", VT_R8},
      {"'text'", VT_BSTR},     {"new Date()", VT_DATE}, {"Out", VT_DISPATCH}, {"function () {}", VT_DISPATCH},
      {"[1, 2]", VT_DISPATCH}, {"VBArray(Out.Numbers)", VT_ARRAY | VT_VARIANT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    BridgeHarness harness;
    harness.Run(std::string("T.Take(") + c.expression + ");");
    EXPECT_TRUE(harness.site().errors.empty());
    EXPECT_EQ(harness.typed().taken.vt, c.type);
  }
}

TEST(JScriptValuesOut, ValuesKeepTheirContent) {
  BridgeHarness harness;
  harness.Run("T.Take(true);");
  EXPECT_EQ(harness.typed().taken.boolVal, VARIANT_TRUE);
  harness.Run("T.Take(new Date(2020, 0, 2, 3, 4, 5, 500));");
  EXPECT_DOUBLE_EQ(harness.typed().taken.date, DateFromParts(2020, 1, 2, 3, 4, 5).value() + 0.5 / 86400);
  harness.Run("T.Take(Out);");
  EXPECT_EQ(harness.typed().taken.pdispVal, static_cast<IDispatch*>(&harness.site().out()));
  harness.Run("T.Take(VBArray(T.Give('matrix')));");
  int32_t indices[] = {3, 1};
  EXPECT_EQ(ToInt32(SafeArrayGetElement(harness.typed().taken.parray, indices, 2).value()).value(), 31);
  harness.Run("T.Take(new Date(NaN));");
  EXPECT_EQ(harness.last_error().number(), 6);
}

TEST(JScriptValuesOut, ScriptObjectsComeBackAsThemselves) {
  EXPECT_EQ(RunBridge("var o = {a: 1}; Out.Value = o; Out.Write((Out.Value === o) + ' ' + Out.Value.a);"), "true 1");
}

TEST(JScriptHostObjects, MethodsPropertiesAndDefaultMembers) {
  ExpectOutputs({
      {"Out.Write('x');", "x"},
      {"Out.Value = 5; Out.Write(Out.Value + 1);", "6"},
      {"Out.Write(Out(3) + Out.Item(4));", "14"},
      {"var write = Out.Write; write('bound');", "bound"},
      {"Out.Write(typeof Out.NoSuchMember);", "undefined"},
      // Booleans reach the host as Booleans, which it writes as True and False.
      {"Out.Write('Write' in Out);", "True"},
      {"Out.Write(('Nope' in Out) + '');", "false"},
      // Objects of the host are objects to typeof, though they can be called.
      {"Out.Write(typeof Out);", "object"},
      {"var d = new ActiveXObject('Scripting.Dictionary'); Out.Write(typeof d + ' ' + typeof function () {});",
       "object function"},
      {"Out.Echo('a', 1, true);", "a 1 True\n"},
  });
  EXPECT_EQ(RunBridge("Out.Write('' + T + (T == 'typed'));"), "typedtrue");
}

TEST(JScriptHostObjects, HostErrorsAreCatchableWithTheirNumberAndDescription) {
  EXPECT_EQ(RunBridge("try { Out.Fail(13); } catch (e) {\n"
                      "  Out.Write((e.number & 0xFFFF) + ' ' + e.description + ' ' + (e.number == -2146828275) + "
                      "' ' + (e instanceof Error) + ' ' + e.message);\n}"),
            "13 Host failure true true Host failure");
  EXPECT_EQ(RunBridge("try { Out.Nope(); } catch (e) { Out.Write(e.number & 0xFFFF); }"), "438");
  BridgeHarness harness;
  harness.Run("var x = 1;\nOut.Fail(9);");
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().number(), 9);
  EXPECT_EQ(harness.last_error().description, "Host failure");
  EXPECT_EQ(harness.last_error().line, 1u);
}

TEST(JScriptHostObjects, AssignmentsToCallsPutTheMember) {
  BridgeHarness harness;
  harness.Run("Bag('a') = 5;\nBag('a') += 2;\nBag.Item('b') = 'x';\nBag('n') = 0; Bag('n')++; Bag('n')++;\n"
              "Bag['Item']('c') = Out;\nBag.Contents('z') = 1;\n"
              "Out.Write(Bag('a') + Bag.Item('b') + Bag('n') + Bag('z') + typeof Bag('c'));");
  EXPECT_TRUE(harness.site().errors.empty()) << harness.last_error().description;
  EXPECT_EQ(harness.output(), "7x21object");
  EXPECT_EQ(harness.bag().values[u"c"].vt, VT_DISPATCH);
  EXPECT_EQ(RunBridge("function f() {}\ntry { f(1) = 2; } catch (e) { Out.Write(e.number & 0xFFFF); }"), "5003");
}

TEST(JScriptHostObjects, EnumeratorsWalkCollectionsAndArrays) {
  ExpectOutputs({
      {"for (var e = new Enumerator(Items); !e.atEnd(); e.moveNext()) Out.Write(e.item());", "1two3"},
      {"var e = new Enumerator(Items); e.moveNext(); e.moveNext(); e.moveNext(); "
       "Out.Write(e.atEnd() + ' ' + typeof e.item()); e.moveFirst(); Out.Write(' ' + e.item());",
       "true undefined 1"},
      {"var e = new Enumerator([4, 'five']); Out.Write(e.item()); e.moveNext(); Out.Write(e.item());", "4five"},
      {"Out.Write(new Enumerator().atEnd());", "True"},
      {"try { new Enumerator(Out); } catch (e) { Out.Write(e.number & 0xFFFF); }", "451"},
      {"try { Enumerator.prototype.atEnd.call({}); } catch (e) { Out.Write(e.number & 0xFFFF); }", "5015"},
  });
}

TEST(JScriptHostObjects, TheHostCallsIntoScriptObjects) {
  BridgeHarness harness;
  harness.Run("var o = {name: 'x', twice: function (v) { return v * 2; }};\nT.Take(o);\n"
              "var list = [1, 'two', 3]; Bag('list') = list;\nOut.Value = function () { return o.name; };");
  IDispatch* object = harness.typed().taken.pdispVal;
  EXPECT_EQ(Narrow(ToBstr(CallMember(object, u"name").value()).value().view()), "x");
  Variant four = Variant::FromI4(4);
  EXPECT_EQ(ToInt32(CallMember(object, u"twice", {static_cast<VARIANT*>(&four), 1}).value()).value(), 8);
  ASSERT_TRUE(PutMember(object, u"name", {}, Variant::FromString(u"y")).ok());
  Result<Variant> callback = CallMember(&harness.site().out(), u"Value");
  EXPECT_EQ(Narrow(ToBstr(InvokeDispatch(callback.value().pdispVal, DISPID_VALUE, DISPATCH_METHOD).value()).value().view()),
            "y");
  Result<Variant> enumerator = InvokeDispatch(harness.bag().values[u"list"].pdispVal, DISPID_NEWENUM,
                                              DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  ASSERT_TRUE(enumerator.ok());
  ComPtr<IEnumVARIANT> values = ComPtr<IUnknown>(enumerator.value().punkVal).As<IEnumVARIANT>(IID_IEnumVARIANT);
  Variant first;
  ULONG fetched = 0;
  ASSERT_EQ(values->Next(1, &first, &fetched), S_OK);
  EXPECT_EQ(ToInt32(first).value(), 1);
}

// Calls a script object's member from another thread while the script is running.
class ThreadProbe : public DispatchObject<ThreadProbe> {
 public:
  static std::span<const DispatchMember<ThreadProbe>> Members() {
    static constexpr DispatchMember<ThreadProbe> kMembers[] = {
        {u"Call", 1, kMethod, 1, 1, &ThreadProbe::Call},
    };
    return kMembers;
  }

 private:
  Result<Variant> Call(const DispatchArguments& arguments) {
    IDispatch* object = PeekValue(arguments[0]).pdispVal;
    HRESULT hr = S_OK;
    std::thread caller([&] {
      Result<Variant> value = CallMember(object, u"a");
      hr = value.ok() ? S_OK : value.error().Hresult();
    });
    caller.join();
    return Variant::FromI4(hr);
  }
};

TEST(JScriptHostObjects, AScriptObjectIsRefusedToOtherThreadsWhileItsScriptRuns) {
  BridgeHarness harness;
  ComPtr<ThreadProbe> probe = MakeObject<ThreadProbe>();
  harness.site().extra_items[u"Probe"] = static_cast<IDispatch*>(probe.get());
  harness.engine()->AddNamedItem(u"Probe", SCRIPTITEM_ISVISIBLE);
  harness.Run("var o = {a: 1}; T.Take(o); Out.Write(Probe.Call(o) == -2147417842);");
  EXPECT_EQ(harness.output(), "True");
  // Between runs any thread may call.
  ComPtr<IDispatch> object(harness.typed().taken.pdispVal);
  HRESULT idle = E_FAIL;
  std::thread caller([&] { idle = CallMember(object.get(), u"a").ok() ? S_OK : E_FAIL; });
  caller.join();
  EXPECT_EQ(idle, S_OK);
}

TEST(JScriptHostObjects, ActiveXObjectCreatesRegisteredClasses) {
  TemporaryRegistry registry;
  ASSERT_TRUE(RegisterModuleFile(u"" SCRIPT_RUNTIME_PATH_U).ok());
  EXPECT_EQ(RunBridge("var d = new ActiveXObject('Scripting.Dictionary');\n"
                      "d.Add('b', 2); d.Add('a', 1); d('c') = 3;\n"
                      "Out.Write(new VBArray(d.Keys()).toArray().join(',') + ' ' + d.Count + ' ' + d.Item('a'));\n"
                      "for (var e = new Enumerator(d); !e.atEnd(); e.moveNext()) Out.Write(' ' + e.item());"),
            "b,a,c 3 1 b a c");
  EXPECT_EQ(RunBridge("try { new ActiveXObject('No.Such.Class'); } catch (e) { "
                      "Out.Write((e.number & 0xFFFF) + ' ' + e.description); }"),
            "429 Automation server can't create object");
}

}  // namespace
