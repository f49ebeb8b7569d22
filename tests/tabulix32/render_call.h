#pragma once
// Calls ReportRender members by name through IDispatch as a report page does: positionally,
// every argument a variable passed by reference, so that tests see what a member writes back.
// The fixture keeps the variables by parameter name; a variable a test does not set is Empty.

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/locale.h"
#include "platform/automation/safearray.h"
#include "platform/scriptruntime/dictionary.h"
#include "tabulix32/render/report_render.h"
#include "tabulix32/utilities/string_buffer.h"
#include "tabulix32/utilities/utilities_class.h"
#include "tests/tabulix32/utilities_member_call.h"

namespace render_test {

using utilities_test::Array;
using utilities_test::B;
using utilities_test::D;
using utilities_test::I;
using utilities_test::Narrow;
using utilities_test::Rows;
using utilities_test::S;

/// An object that answers through dispatch only, passing every call to `inner`: the renderer
/// cannot recognise what is behind it (a page's own object, a proxy). `failing` names one
/// member that fails with script error `number` and `description` instead.
class Forwarder : public DispatchObject<Forwarder> {
 public:
  explicit Forwarder(IDispatch* inner) : inner_(inner) {}
  static std::span<const DispatchMember<Forwarder>> Members() { return {}; }

  void FailMember(std::u16string name, int32_t number, std::u16string description) {
    failing_ = std::move(name);
    number_ = number;
    description_ = std::move(description);
  }
  int calls = 0;

  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                        DISPID* dispids) override {
    HRESULT hr = inner_->GetIDsOfNames(iid, names, count, lcid, dispids);
    if (SUCCEEDED(hr) && !failing_.empty() && MemberNameMatches(failing_, names[0])) {
      failing_dispid_ = dispids[0];
    }
    return hr;
  }
  HRESULT Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* error) override {
    ++calls;
    if (!failing_.empty() && member == failing_dispid_) {
      if (exception != nullptr) {
        *exception = EXCEPINFO{};
        exception->scode = ScriptErrorHresult(number_);
        exception->bstrDescription = SysAllocString(description_.c_str());
      }
      return DISP_E_EXCEPTION;
    }
    return inner_->Invoke(member, iid, lcid, flags, params, result, exception, error);
  }

 private:
  ComPtr<IDispatch> inner_;
  std::u16string failing_;
  DISPID failing_dispid_ = DISPID_UNKNOWN;
  int32_t number_ = 0;
  std::u16string description_;
};

/// A Scripting.Dictionary holding these entries, in order.
inline Variant Dict(std::initializer_list<std::pair<Variant, Variant>> entries = {}) {
  ComPtr<Dictionary> dictionary = MakeObject<Dictionary>();
  for (const auto& [key, item] : entries) {
    const VARIANT add_arguments[] = {key, item};
    EXPECT_TRUE(CallMember(dictionary.get(), u"Add", add_arguments).ok());
  }
  return Variant::FromDispatch(dictionary.get());
}

/// The same object behind a Forwarder.
inline Variant Forwarded(const Variant& object) {
  ComPtr<Forwarder> forwarder = MakeObject<Forwarder>(object.pdispVal);
  return Variant::FromDispatch(forwarder.get());
}

inline bool Has(const Variant& dictionary, const Variant& key) {
  const VARIANT exists_arguments[] = {key};
  return ToBool(CallMember(dictionary.pdispVal, u"Exists", exists_arguments).value()).value();
}

/// The item under `key`; Empty (and a failed expectation) when the key is absent, which the
/// lookup does not add.
inline Variant ItemOf(const Variant& dictionary, const Variant& key) {
  EXPECT_TRUE(Has(dictionary, key)) << "no key " << Narrow(ToBstr(key).value().view());
  if (!Has(dictionary, key)) return Variant();
  const VARIANT item_arguments[] = {key};
  return CallMember(dictionary.pdispVal, u"Item", item_arguments).value();
}
inline Variant ItemOf(const Variant& dictionary, std::u16string_view key) {
  return ItemOf(dictionary, S(key));
}

/// dictionary(key) = value.
inline void SetItem(const Variant& dictionary, std::u16string_view key, const Variant& value) {
  Variant key_value = S(key);
  const VARIANT index[] = {key_value};
  ASSERT_TRUE(PutMember(dictionary.pdispVal, u"Item", index, value).ok());
}

inline int32_t CountOf(const Variant& dictionary) {
  return ToInt32(CallMember(dictionary.pdispVal, u"Count").value()).value();
}

/// The pre-cell style of the fixture's page settings (8pt Tahoma in black), as export cells
/// carry it.
inline constexpr std::u16string_view kStyle =
    u" style=\"font-size:8pt;font-family:Tahoma;color:#000000;\" ";
/// The mouse handlers of an interactive value with a colour.
inline constexpr std::u16string_view kHandlers =
    u" onMouseOver=\"mOver(this,'#FF0000');\" onMouseOut=\"mOut(this,1);\"";

/// The pieces of an expected HTML text, joined.
inline std::u16string Join(std::initializer_list<std::u16string_view> pieces) {
  std::u16string joined;
  for (std::u16string_view piece : pieces) joined.append(piece);
  return joined;
}

/// The parameter names of a ReportRender member, in order.
inline std::vector<std::u16string> ParametersOf(std::u16string_view method) {
  for (const DispatchMember<ReportRender>& member : ReportRender::Members()) {
    if (member.name != method) continue;
    std::vector<std::u16string> names;
    std::u16string_view list = member.parameters;
    while (!list.empty()) {
      size_t comma = list.find(u',');
      names.emplace_back(list.substr(0, comma));
      if (comma == std::u16string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
    return names;
  }
  ADD_FAILURE() << "no member " << Narrow(method);
  return {};
}

/// A fixture with a ReportRender, a StringBuffer as `sb`, a UtilitiesClass as `uc`, the
/// thread in en-US and the page settings most reports use: 8pt Tahoma in black, "$" as the
/// system currency, rows written, interactive mode with drill-down links.
class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetThreadLocale(utilities_test::kEnglishUnitedStates));
    Arg(u"sb") = Variant::FromDispatch(buffer_.get());
    Arg(u"uc") = Variant::FromDispatch(utilities_.get());
    Arg(u"default_font_size") = S(u"8");
    Arg(u"default_font_family") = S(u"Tahoma");
    Arg(u"default_font_color") = S(u"#000000");
    Arg(u"currency_symbol") = S(u"");
    Arg(u"system_currency_symbol") = S(u"$");
    Arg(u"negative_num_format") = S(u"");
    Arg(u"reporttype1") = S(u"");
    Arg(u"report_rows") = S(u"Yes");
    Arg(u"enable_nondrilldown_hyperlinks") = B(true);
    Arg(u"enable_drilldown_hyperlinks") = B(true);
    Arg(u"config_analysis") = B(true);
    Arg(u"range_char") = S(u"-");
    Arg(u"escape_char") = S(u"\\");
    Arg(u"isGrouped") = B(false);
    Arg(u"week_start_day") = I(0);
    Arg(u"year_start_month") = I(0);
    Arg(u"year_offset") = I(0);
  }
  void TearDown() override { SetThreadLocale(0); }

  /// The page variable passed as the parameter `name`.
  Variant& Arg(std::u16string_view name) { return variables_[std::u16string(name)]; }

  /// Calls `method` with the variables by reference, in its parameter order.
  Result<Variant> Call(std::u16string_view method) {
    std::vector<std::u16string> names = ParametersOf(method);
    std::vector<VARIANT> passed;
    for (const std::u16string& name : names) passed.push_back(Variant::RefTo(&Arg(name)));
    return CallMember(render_.get(), method, passed);
  }
  /// A call expected to succeed.
  void Render(std::u16string_view method) {
    Result<Variant> outcome = Call(method);
    EXPECT_TRUE(outcome.ok()) << Narrow(method) << " failed: "
                              << (outcome.ok() ? "" : Narrow(outcome.error().Description()));
  }
  /// A call expected to fail: its script error number.
  int32_t FailureNumber(std::u16string_view method) {
    Result<Variant> outcome = Call(method);
    EXPECT_FALSE(outcome.ok()) << Narrow(method) << " succeeded";
    return outcome.ok() ? 0 : outcome.error().Number();
  }

  /// What the members appended so far; Clear starts again.
  std::u16string Html() const { return std::u16string(buffer_->Content()); }
  void Clear() { buffer_->Clear(); }

  /// The text of a page variable (for write-backs).
  std::u16string TextOf(std::u16string_view name) {
    return std::u16string(ToBstr(Arg(name)).value().view());
  }

  ComPtr<ReportRender> render_ = MakeObject<ReportRender>();
  ComPtr<StringBuffer> buffer_ = MakeObject<StringBuffer>();
  ComPtr<UtilitiesClass> utilities_ = MakeObject<UtilitiesClass>();
  std::map<std::u16string, Variant, std::less<>> variables_;
};

}  // namespace render_test
