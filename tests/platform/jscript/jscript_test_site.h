#pragma once
// A small host for JScript engine tests, on the test site of the VBScript engine tests (the
// item "Out" with Write, Echo, Stop, Fail, Items, Value, Numbers, ... and "Items"): a harness
// that runs snippets in a JScript engine and returns what they wrote or the error they raised.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>

#include "platform/jscript/engine.h"
#include "tests/platform/vbscript/script_test_site.h"

namespace jscript_test {

using vbscript_test::Narrow;
using vbscript_test::ReportedErrorRecord;
using vbscript_test::TestSite;
using vbscript_test::Widen;

/// The test site with more named items the test adds.
class JScriptTestSite : public TestSite {
 public:
  HRESULT GetItemInfo(const OLECHAR* name, DWORD mask, IUnknown** item, ITypeInfo** type_info) override {
    auto found = extra_items.find(std::u16string(name));
    if (found == extra_items.end() || item == nullptr) return TestSite::GetItemInfo(name, mask, item, type_info);
    if (type_info != nullptr) *type_info = nullptr;
    ++item_requests;
    *item = found->second;
    (*item)->AddRef();
    return S_OK;
  }

  std::map<std::u16string, IDispatch*> extra_items;  // borrowed
};

/// A JScript engine with a TestSite and the items "Out" and "Items", ready for text.
class JScriptHarness {
 public:
  JScriptHarness() : engine_(CreateJScriptEngine()) {
    parse_ = engine_.As<IActiveScriptParse>(IID_IActiveScriptParse);
    parse_->InitNew();
    engine_->SetScriptSite(&site_);
    engine_->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE);
    engine_->AddNamedItem(u"Items", SCRIPTITEM_ISVISIBLE);
  }
  ~JScriptHarness() {
    if (engine_) engine_->Close();
  }
  JScriptHarness(const JScriptHarness&) = delete;
  JScriptHarness& operator=(const JScriptHarness&) = delete;

  /// Parses `text` (before the start) and starts the engine; the HRESULT of whichever failed.
  HRESULT Run(std::string_view text, DWORD flags = 0) {
    HRESULT hr = Parse(text, flags);
    if (hr != S_OK) return hr;
    return engine_->SetScriptState(SCRIPTSTATE_STARTED);
  }
  HRESULT Parse(std::string_view text, DWORD flags = 0, DWORD context = 0, ULONG starting_line = 0) {
    std::u16string wide = Widen(text);
    return parse_->ParseScriptText(wide.c_str(), nullptr, nullptr, nullptr, context, starting_line, flags, nullptr,
                                   nullptr);
  }
  /// Evaluates an expression text.
  Variant Evaluate(std::string_view text, HRESULT* hr = nullptr) {
    std::u16string wide = Widen(text);
    Variant result;
    HRESULT outcome = parse_->ParseScriptText(wide.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                              SCRIPTTEXT_ISEXPRESSION, &result, nullptr);
    if (hr != nullptr) *hr = outcome;
    return result;
  }

  std::string output() const { return Narrow(site_.out().text); }
  JScriptTestSite& site() { return site_; }
  IActiveScript* engine() { return engine_.get(); }
  IActiveScriptParse* parser() { return parse_.get(); }
  ReportedErrorRecord last_error() const { return site_.errors.empty() ? ReportedErrorRecord{} : site_.errors.back(); }

 private:
  JScriptTestSite site_;
  ComPtr<IActiveScript> engine_;
  ComPtr<IActiveScriptParse> parse_;
};

/// A snippet and what it must write through Out.
struct OutputCase {
  const char* script;
  const char* expected;
};

/// Runs each snippet in a fresh engine and checks what it wrote; an error the site heard fails
/// the case with its number, text and line.
inline void ExpectOutputs(std::initializer_list<OutputCase> cases) {
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.script);
    JScriptHarness harness;
    harness.Run(c.script);
    EXPECT_EQ(harness.output(), c.expected);
    if (!harness.site().errors.empty()) {
      ADD_FAILURE() << "error " << harness.last_error().number() << ": " << harness.last_error().description
                    << " (line " << harness.last_error().line << ")";
    }
  }
}

/// A snippet and the JScript error number it must raise (the low word of the HRESULT).
struct ErrorCase {
  const char* script;
  int32_t number;
  ULONG line;  // 0-based, as the site hears it
};

inline void ExpectErrors(std::initializer_list<ErrorCase> cases) {
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.script);
    JScriptHarness harness;
    harness.Run(c.script);
    ASSERT_EQ(harness.site().errors.size(), 1u);
    EXPECT_EQ(harness.last_error().number(), c.number) << harness.last_error().description;
    EXPECT_EQ(harness.last_error().line, c.line);
  }
}

}  // namespace jscript_test
