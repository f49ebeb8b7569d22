#pragma once
// A small host for engine tests: a site that hands out one named item, "Out", collects the
// errors the engine reports, and helpers that run a snippet and return what it wrote.
//
// Out.Write v        appends the text of v
// Out.Echo a, b, ... appends the texts joined by spaces, then "\n"
// Out.Stop           ends the script as a host's Response.End does
// Out.Fail n         fails with error n raised by the host object (source "TestHost", help
//                    file "host.chm", context 7)
// Out.Swap a, b      exchanges two by-reference arguments
// Out.Items          a collection (For Each gives 1, "two", 3)
// Out.Value          a read/write property; Out(x) / Out.Item(x) the default member (x * 2)
// Out.Numbers        the array (10, 20, 30); Out.Self the object itself

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/safearray.h"
#include "platform/com/dispatch_object.h"
#include "platform/com/enum_variant.h"
#include "platform/scripting/active_script.h"
#include "platform/vbscript/engine.h"

namespace vbscript_test {

inline std::u16string Widen(std::string_view text) {
  std::u16string wide;
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      wide.push_back(c);
    } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
      wide.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (text[++i] & 0x3F)));
    } else if (i + 2 < text.size()) {
      char16_t value = static_cast<char16_t>(((c & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F));
      i += 2;
      wide.push_back(value);
    }
  }
  return wide;
}

inline std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (char16_t c : text) {
    if (c < 0x80) {
      narrow.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      narrow.push_back(static_cast<char>(0xC0 | (c >> 6)));
      narrow.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      narrow.push_back(static_cast<char>(0xE0 | (c >> 12)));
      narrow.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      narrow.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return narrow;
}

class OutputObject : public DispatchObject<OutputObject> {
 public:
  static std::span<const DispatchMember<OutputObject>> Members() {
    static constexpr DispatchMember<OutputObject> kMembers[] = {
        {u"Item", DISPID_VALUE, kMethod | kPropertyGet, 1, 1, &OutputObject::Item},
        {u"Write", 1, kMethod, 1, 1, &OutputObject::Write},
        {u"Echo", 2, kMethod, 0, kAnyArgumentCount, &OutputObject::Echo},
        {u"Stop", 3, kMethod, 0, 0, &OutputObject::Stop},
        {u"Fail", 4, kMethod, 1, 1, &OutputObject::Fail},
        {u"Swap", 5, kMethod, 2, 2, &OutputObject::Swap},
        {u"Items", 6, kPropertyGet | kMethod, 0, 0, &OutputObject::Items},
        {u"Value", 7, kPropertyGet, 0, 0, &OutputObject::GetValue},
        {u"Value", 7, kPropertyPut | kPropertyPutRef, 0, 0, &OutputObject::PutValue},
        {u"Calls", 8, kPropertyGet, 0, 0, &OutputObject::Calls},
        {u"Numbers", 9, kPropertyGet, 0, 0, &OutputObject::Numbers},
        {u"Self", 10, kPropertyGet, 0, 0, &OutputObject::Self},
    };
    return kMembers;
  }
  std::u16string text;
  int calls = 0;

 private:
  Result<Variant> Item(const DispatchArguments& arguments) {
    ++calls;
    return Variant::FromI4(TRY(ToInt32(arguments[0])) * 2);
  }
  Result<Variant> Write(const DispatchArguments& arguments) {
    ++calls;
    Bstr value = TRY(ToBstr(arguments[0]));
    text += value.view();
    return Variant();
  }
  Result<Variant> Echo(const DispatchArguments& arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
      if (i > 0) text += u" ";
      Bstr value = TRY(ToBstr(arguments[i]));
      text += value.view();
    }
    text += u"\n";
    return Variant();
  }
  Result<Variant> Stop(const DispatchArguments&) { return Error::FromHresult(SCRIPT_E_STOP_WITHOUT_ERROR); }
  Result<Variant> Fail(const DispatchArguments& arguments) {
    return Error::Script(TRY(ToInt32(arguments[0])), u"Host failure").WithHelp(u"host.chm", 7);
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
  Result<Variant> Items(const DispatchArguments&) {
    std::vector<Variant> values;
    values.push_back(Variant::FromI2(1));
    values.push_back(Variant::FromString(u"two"));
    values.push_back(Variant::FromI2(3));
    Variant collection = EnumeratorVariant(std::move(values));
    // A collection object whose _NewEnum is this enumerator.
    return collection;
  }
  Result<Variant> GetValue(const DispatchArguments&) { return value_; }
  Result<Variant> PutValue(const DispatchArguments& arguments) {
    value_ = Variant(arguments.value());
    return Variant();
  }
  Result<Variant> Calls(const DispatchArguments&) { return Variant::FromI4(calls); }
  // An array (10, 20, 30) from a property without parameters.
  Result<Variant> Numbers(const DispatchArguments&) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 3);
    for (int i = 0; i < 3; ++i) static_cast<VARIANT*>(array->pvData)[i] = Variant::FromI4((i + 1) * 10).Detach();
    return Variant::FromArray(VT_VARIANT, array);
  }
  Result<Variant> Self(const DispatchArguments&) { return Variant::FromDispatch(this); }
  std::u16string_view ErrorSource() const override { return u"TestHost"; }

  Variant value_;
};

/// A collection whose _NewEnum yields the given values.
class CollectionObject : public DispatchObject<CollectionObject> {
 public:
  static std::span<const DispatchMember<CollectionObject>> Members() {
    static constexpr DispatchMember<CollectionObject> kMembers[] = {
        {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &CollectionObject::NewEnum},
        {u"Count", 1, kPropertyGet, 0, 0, &CollectionObject::Count},
    };
    return kMembers;
  }
  std::vector<Variant> values;

 private:
  Result<Variant> NewEnum(const DispatchArguments&) { return EnumeratorVariant(values); }
  Result<Variant> Count(const DispatchArguments&) { return Variant::FromI4(static_cast<int32_t>(values.size())); }
};

struct ReportedErrorRecord {
  HRESULT scode = S_OK;
  std::string description;
  std::string source;
  DWORD source_context = 0;
  ULONG line = 0;
  int32_t column = 0;
  std::string line_text;

  int32_t number() const { return static_cast<int32_t>(static_cast<uint32_t>(scode) & 0xFFFF); }
};

class TestSite : public IActiveScriptSite {
 public:
  TestSite() : out_(MakeObject<OutputObject>()), items_(MakeObject<CollectionObject>()) {
    items_->values.push_back(Variant::FromI2(1));
    items_->values.push_back(Variant::FromString(u"two"));
    items_->values.push_back(Variant::FromI2(3));
  }
  virtual ~TestSite() = default;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IActiveScriptSite) {
      *object = static_cast<IActiveScriptSite*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override { return --references_; }  // owned by the test

  HRESULT GetLCID(LCID* lcid) override {
    if (lcid_ == 0) return E_NOTIMPL;
    *lcid = lcid_;
    return S_OK;
  }
  HRESULT GetItemInfo(const OLECHAR* name, DWORD mask, IUnknown** item, ITypeInfo** type_info) override {
    if (type_info != nullptr) *type_info = nullptr;
    if (item == nullptr || (mask & SCRIPTINFO_IUNKNOWN) == 0) return E_INVALIDARG;
    *item = nullptr;
    std::u16string_view wanted(name);
    ++item_requests;
    if (wanted == u"Out") {
      *item = static_cast<IDispatch*>(out_.get());
    } else if (wanted == u"Items") {
      *item = static_cast<IDispatch*>(items_.get());
    } else {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    (*item)->AddRef();
    return S_OK;
  }
  HRESULT GetDocVersionString(BSTR* version) override {
    *version = nullptr;
    return E_NOTIMPL;
  }
  HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  HRESULT OnStateChange(SCRIPTSTATE state) override {
    states.push_back(state);
    return S_OK;
  }
  HRESULT OnScriptError(IActiveScriptError* error) override {
    ReportedErrorRecord record;
    EXCEPINFO exception{};
    error->GetExceptionInfo(&exception);
    record.scode = exception.scode;
    record.description = Narrow(BstrView(exception.bstrDescription));
    record.source = Narrow(BstrView(exception.bstrSource));
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    error->GetSourcePosition(&record.source_context, &record.line, &record.column);
    BSTR line = nullptr;
    error->GetSourceLineText(&line);
    record.line_text = Narrow(BstrView(line));
    SysFreeString(line);
    errors.push_back(std::move(record));
    return S_OK;
  }
  HRESULT OnEnterScript() override {
    ++enters;
    return S_OK;
  }
  HRESULT OnLeaveScript() override {
    ++leaves;
    return S_OK;
  }

  OutputObject& out() const { return *out_; }
  void set_lcid(LCID lcid) { lcid_ = lcid; }

  std::vector<ReportedErrorRecord> errors;
  std::vector<SCRIPTSTATE> states;
  int enters = 0;
  int leaves = 0;
  int item_requests = 0;

 private:
  ComPtr<OutputObject> out_;
  ComPtr<CollectionObject> items_;
  ULONG references_ = 1;
  LCID lcid_ = 0;
};

/// An engine with a TestSite and the items "Out" and "Items", ready for text.
class ScriptHarness {
 public:
  ScriptHarness() : engine_(CreateVBScriptEngine()) {
    parse_ = engine_.As<IActiveScriptParse>(IID_IActiveScriptParse);
    parse_->InitNew();
    engine_->SetScriptSite(&site_);
    engine_->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE);
    engine_->AddNamedItem(u"Items", SCRIPTITEM_ISVISIBLE);
  }
  ~ScriptHarness() {
    if (engine_) engine_->Close();
  }

  /// Parses `text` (before the start) and starts the engine; the HRESULT of whichever failed.
  HRESULT Run(std::string_view text, DWORD flags = 0) {
    HRESULT hr = Parse(text, flags);
    if (hr != S_OK) return hr;
    return engine_->SetScriptState(SCRIPTSTATE_STARTED);
  }
  HRESULT Parse(std::string_view text, DWORD flags = 0) {
    std::u16string wide = Widen(text);
    return parse_->ParseScriptText(wide.c_str(), nullptr, nullptr, nullptr, 0, 0, flags, nullptr, nullptr);
  }
  /// Evaluates an expression text in the running engine.
  Variant Evaluate(std::string_view text, HRESULT* hr = nullptr) {
    std::u16string wide = Widen(text);
    Variant result;
    HRESULT outcome = parse_->ParseScriptText(wide.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                              SCRIPTTEXT_ISEXPRESSION, &result, nullptr);
    if (hr != nullptr) *hr = outcome;
    return result;
  }

  std::string output() const { return Narrow(site_.out().text); }
  TestSite& site() { return site_; }
  const TestSite& site() const { return site_; }
  IActiveScript* engine() { return engine_.get(); }
  IActiveScriptParse* parser() { return parse_.get(); }
  /// The error the site heard of last, or an empty record with scode S_OK.
  ReportedErrorRecord last_error() const {
    return site_.errors.empty() ? ReportedErrorRecord{} : site_.errors.back();
  }

 private:
  TestSite site_;
  ComPtr<IActiveScript> engine_;
  ComPtr<IActiveScriptParse> parse_;
};

/// Runs a snippet in a fresh engine; what Out received.
inline std::string RunOutput(std::string_view text) {
  ScriptHarness harness;
  harness.Run(text);
  return harness.output();
}

/// Runs a snippet in a fresh engine; the error number the site heard (0 for none).
inline int32_t RunErrorNumber(std::string_view text) {
  ScriptHarness harness;
  harness.Run(text);
  return harness.site().errors.empty() ? 0 : harness.last_error().number();
}

/// A snippet and the output it must write.
struct OutputCase {
  const char* script;
  const char* expected;
};

/// Runs each snippet (after `prelude`) in a fresh engine and checks its output; an error the
/// site heard fails the case with its number, text and line.
inline void ExpectOutputs(std::string_view prelude, std::initializer_list<OutputCase> cases) {
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.script);
    ScriptHarness harness;
    harness.Run(std::string(prelude) + c.script);
    EXPECT_EQ(harness.output(), c.expected);
    if (!harness.site().errors.empty()) {
      ADD_FAILURE() << "error " << harness.last_error().number() << ": "
                    << harness.last_error().description << " (line "
                    << harness.last_error().line << ")";
    }
  }
}
inline void ExpectOutputs(std::initializer_list<OutputCase> cases) { ExpectOutputs("", cases); }

}  // namespace vbscript_test
