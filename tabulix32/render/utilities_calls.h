#pragma once
// The render methods' calls of the page's `uc`. A UtilitiesClass of this library is called
// directly (the same member bodies, without dispatch); any other object with those members is
// called late-bound, each member's dispatch identifier looked up once per render call.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"
#include "platform/com/dispatch_object.h"

class UtilitiesClass;
namespace report_data {
class KeyedItems;
}

/// The members of UtilitiesClass the renderer calls.
enum class UtilityMember : uint8_t {
  fixZero,
  nullFix,
  nullFix2,
  changeValueFormat,
  myDivision,
  myFormatPercentNoColor,
  myFormatValue,
  getPreCellHtml,
  isDayReport,
  isWeekReport,
  isMonthReport,
  isQuarterReport,
  isDateReport,
  getDateReportDescription,
  getBoundingDate,
  getDescription,
  setQSVariable,
  changeQSVariable,
  myescape2,
  getEnableLink,
  substituteLink,
  getDescriptionField,
  getFirstCollectionKey,
  getFirstCollectionValue,
  kCount,
};

class RenderUtilities {
 public:
  /// `uc` is the method's argument; it must outlive this object.
  explicit RenderUtilities(const VARIANT& uc) : uc_(uc) { dispids_.fill(DISPID_UNKNOWN); }

  /// uc.member(arguments...), first argument first. An argument passed by reference
  /// (VT_BYREF | VT_VARIANT) lets the member write back, as a page's call would. The member's
  /// failure is returned as it is; 424 / 91 when `uc` holds no object, 438 when it lacks the
  /// member.
  Result<Variant> Call(UtilityMember member, std::span<const VARIANT> arguments);
  Result<Variant> Call(UtilityMember member, std::initializer_list<VARIANT> arguments) {
    return Call(member, std::span<const VARIANT>(arguments.begin(), arguments.size()));
  }

  /// Whether `uc` is this library's own UtilitiesClass (424 / 91 when it holds no object).
  Result<bool> IsInProcess() {
    TRY(Resolve());
    return direct_ != nullptr;
  }

  /// uc.myFormatValue(arguments...), `settings` being the collection arguments[5] holds,
  /// opened by the caller: this library's utilities read it without opening it again.
  Result<Variant> FormatValue(std::span<const VARIANT> arguments,
                              report_data::KeyedItems& settings);

 private:
  Result<void> Resolve();
  Result<Variant> CallDirect(UtilityMember member, std::span<const VARIANT> arguments);
  Result<Variant> CallLateBound(UtilityMember member, std::span<const VARIANT> arguments);

  const VARIANT& uc_;
  bool resolved_ = false;
  UtilitiesClass* direct_ = nullptr;
  ComPtr<IDispatch> object_;
  std::array<DISPID, static_cast<size_t>(UtilityMember::kCount)> dispids_;
  std::array<const DispatchMember<UtilitiesClass>*, static_cast<size_t>(UtilityMember::kCount)>
      members_{};
};
