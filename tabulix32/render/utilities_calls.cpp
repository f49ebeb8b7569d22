// Calling the page's utilities object (see utilities_calls.h).
#include "tabulix32/render/utilities_calls.h"

#include "platform/automation/dispatch_call.h"
#include "tabulix32/utilities/report_data_internal.h"
#include "tabulix32/utilities/utilities_class.h"
#include "tabulix32/utilities/value_formatting_internal.h"

namespace {

// The member names, in the order of UtilityMember.
constexpr std::u16string_view kMemberNames[] = {
    u"fixZero",
    u"nullFix",
    u"nullFix2",
    u"changeValueFormat",
    u"myDivision",
    u"myFormatPercentNoColor",
    u"myFormatValue",
    u"getPreCellHtml",
    u"isDayReport",
    u"isWeekReport",
    u"isMonthReport",
    u"isQuarterReport",
    u"isDateReport",
    u"getDateReportDescription",
    u"getBoundingDate",
    u"getDescription",
    u"setQSVariable",
    u"changeQSVariable",
    u"myescape2",
    u"getEnableLink",
    u"substituteLink",
    u"getDescriptionField",
    u"getFirstCollectionKey",
    u"getFirstCollectionValue",
};
static_assert(std::size(kMemberNames) == static_cast<size_t>(UtilityMember::kCount));

size_t IndexOf(UtilityMember member) { return static_cast<size_t>(member); }

}  // namespace

Result<void> RenderUtilities::Resolve() {
  if (resolved_) return {};
  object_ = TRY(report_data::ObjectOf(uc_));
  direct_ = UtilitiesClass::InProcess(object_.get());
  resolved_ = true;
  return {};
}

Result<Variant> RenderUtilities::Call(UtilityMember member, std::span<const VARIANT> arguments) {
  TRY(Resolve());
  if (direct_ != nullptr) return CallDirect(member, arguments);
  return CallLateBound(member, arguments);
}

Result<Variant> RenderUtilities::FormatValue(std::span<const VARIANT> arguments,
                                             report_data::KeyedItems& settings) {
  TRY(Resolve());
  if (direct_ != nullptr) return utilities_internal::FormatValue(arguments, settings);
  return CallLateBound(UtilityMember::myFormatValue, arguments);
}

Result<Variant> RenderUtilities::CallDirect(UtilityMember member,
                                            std::span<const VARIANT> arguments) {
  // The members called for every cell go to their bodies at once.
  switch (member) {
    case UtilityMember::fixZero:
      return utilities_internal::FixZero(arguments);
    case UtilityMember::myDivision:
      return utilities_internal::Division(arguments);
    case UtilityMember::myFormatPercentNoColor:
      return utilities_internal::FormatPercentNoColor(arguments);
    case UtilityMember::myFormatValue:
      return utilities_internal::FormatValue(arguments);
    default:
      break;
  }
  const DispatchMember<UtilitiesClass>*& entry = members_[IndexOf(member)];
  if (entry == nullptr) {
    for (const DispatchMember<UtilitiesClass>& candidate : UtilitiesClass::Members()) {
      if (candidate.name == kMemberNames[IndexOf(member)]) entry = &candidate;
    }
    if (entry == nullptr) return ErrorNumber::ObjectDoesNotSupportMember;
  }
  if (arguments.size() > DispatchArguments::kMaxArguments)
    return ErrorNumber::WrongNumberOfArguments;
  // The arguments as an Invoke would carry them: last first, borrowed.
  std::array<VARIANT, DispatchArguments::kMaxArguments> carried;
  for (size_t i = 0; i < arguments.size(); ++i) carried[arguments.size() - 1 - i] = arguments[i];
  DISPPARAMS params{carried.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
  DispatchArguments filled;
  HRESULT hr = filled.Fill(&params, DISPATCH_METHOD, entry->min_arguments, entry->max_arguments);
  if (FAILED(hr)) return Error::FromHresult(hr);
  return (direct_->*(entry->handler))(filled);
}

Result<Variant> RenderUtilities::CallLateBound(UtilityMember member,
                                               std::span<const VARIANT> arguments) {
  DISPID& dispid = dispids_[IndexOf(member)];
  if (dispid == DISPID_UNKNOWN)
    dispid = TRY(GetDispatchId(object_.get(), kMemberNames[IndexOf(member)]));
  return InvokeDispatch(object_.get(), dispid, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments);
}
