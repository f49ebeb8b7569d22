#pragma once
// UtilitiesClass: the report engine's stateless helpers, bound by name. Each group of members
// is implemented in the file of its concern: value formatting (value_formatting.cpp), date
// periods (date_periods.cpp), query strings and links (query_string.cpp, link_utilities.cpp),
// and the IP-mask test (ip_mask.cpp); the member table is in utilities_class.cpp.

#include "platform/com/dispatch_object.h"

/// The identifier under which a UtilitiesClass of this library answers with itself, so that
/// the renderer can call its members without dispatch (the same members, the same results).
inline constexpr IID IID_UtilitiesClassInProcess = {
    0x900F5AB3, 0xD1F5, 0x430F, {0x9E, 0xF8, 0x54, 0xB0, 0xCA, 0x6E, 0x0C, 0x02}};

class UtilitiesClass : public DispatchObject<UtilitiesClass> {
 public:
  static std::span<const DispatchMember<UtilitiesClass>> Members();
  std::u16string_view TypeName() override { return u"UtilitiesClass"; }

  /// The UtilitiesClass of this library behind `object`, borrowed; null for any other object
  /// (a page's own utilities, a proxy).
  static UtilitiesClass* InProcess(IUnknown* object);

  // Value formatting
  Result<Variant> fixZero(const DispatchArguments& arguments);
  Result<Variant> nullFix(const DispatchArguments& arguments);
  Result<Variant> nullFix2(const DispatchArguments& arguments);
  Result<Variant> changeValueFormat(const DispatchArguments& arguments);
  Result<Variant> myDivision(const DispatchArguments& arguments);
  Result<Variant> myFormatNumber(const DispatchArguments& arguments);
  Result<Variant> myFormatPercent(const DispatchArguments& arguments);
  Result<Variant> myFormatPercentNoColor(const DispatchArguments& arguments);
  Result<Variant> myFormatCurrency(const DispatchArguments& arguments);
  Result<Variant> myFormatValue(const DispatchArguments& arguments);
  Result<Variant> getPreCellHtml(const DispatchArguments& arguments);
  Result<Variant> getPreTitleHtml(const DispatchArguments& arguments);

  // Date periods
  Result<Variant> isDayReport(const DispatchArguments& arguments);
  Result<Variant> isWeekReport(const DispatchArguments& arguments);
  Result<Variant> isMonthReport(const DispatchArguments& arguments);
  Result<Variant> isQuarterReport(const DispatchArguments& arguments);
  Result<Variant> isYearReport(const DispatchArguments& arguments);
  Result<Variant> isDateReport(const DispatchArguments& arguments);
  Result<Variant> getDateReportName(const DispatchArguments& arguments);
  Result<Variant> getDateReportDescription(const DispatchArguments& arguments);
  Result<Variant> zellerDate(const DispatchArguments& arguments);
  Result<Variant> constructDate(const DispatchArguments& arguments);
  Result<Variant> getWeekDates(const DispatchArguments& arguments);
  Result<Variant> getQuarterDates(const DispatchArguments& arguments);
  Result<Variant> getBoundingDate(const DispatchArguments& arguments);
  Result<Variant> displayMonth(const DispatchArguments& arguments);
  Result<Variant> displayQuarter(const DispatchArguments& arguments);
  Result<Variant> displayYear(const DispatchArguments& arguments);
  Result<Variant> displayWeek(const DispatchArguments& arguments);
  Result<Variant> getDescription(const DispatchArguments& arguments);

  // Query strings and links
  Result<Variant> getQSVariable(const DispatchArguments& arguments);
  Result<Variant> setQSVariable(const DispatchArguments& arguments);
  Result<Variant> changeQSVariable(const DispatchArguments& arguments);
  Result<Variant> removeQSVariable(const DispatchArguments& arguments);
  Result<Variant> myescape3(const DispatchArguments& arguments);
  Result<Variant> myescape2(const DispatchArguments& arguments);
  Result<Variant> getEnableLink(const DispatchArguments& arguments);
  Result<Variant> substituteLink(const DispatchArguments& arguments);
  Result<Variant> getDescriptionField(const DispatchArguments& arguments);
  Result<Variant> getFirstCollectionKey(const DispatchArguments& arguments);
  Result<Variant> getFirstCollectionValue(const DispatchArguments& arguments);

  // IP masks
  Result<Variant> satisfiesIPMask(const DispatchArguments& arguments);

 protected:
  void* QueryOtherInterface(REFIID iid) override;
};
