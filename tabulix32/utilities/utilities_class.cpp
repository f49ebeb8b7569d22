// The member table of UtilitiesClass. Pages and the renderer bind by name; every argument is
// required, and the parameter names are those of the interface, so that named arguments work.
// Methods also answer property reads, since late-bound callers may use either form.
#include "tabulix32/utilities/utilities_class.h"

#include "tabulix32/utilities/in_process_internal.h"

namespace {
constexpr uint16_t kCallable = kMethod | kPropertyGet;
}  // namespace

std::span<const DispatchMember<UtilitiesClass>> UtilitiesClass::Members() {
  using U = UtilitiesClass;
  static constexpr DispatchMember<U> kMembers[] = {
      // Value formatting
      {u"fixZero", 1, kCallable, 1, 1, &U::fixZero, u"numToFix"},
      {u"nullFix", 2, kCallable, 1, 1, &U::nullFix, u"inputToFix"},
      {u"nullFix2", 3, kCallable, 1, 1, &U::nullFix2, u"inputToFix"},
      {u"changeValueFormat", 4, kCallable, 3, 3, &U::changeValueFormat, u"n,fmt,numdigits"},
      {u"myDivision", 5, kCallable, 2, 2, &U::myDivision, u"n,d"},
      {u"myFormatNumber", 6, kCallable, 8, 8, &U::myFormatNumber,
       u"showThreshold,n,d,thresholdvalue,thresholdcolouring,numdigits,isLink,"
       u"negative_num_format"},
      {u"myFormatPercent", 7, kCallable, 8, 8, &U::myFormatPercent,
       u"n,d,thresholdvalue,thresholdcolouring,numdigits,isLink,negative_num_format,qtyDnm"},
      {u"myFormatPercentNoColor", 8, kCallable, 4, 4, &U::myFormatPercentNoColor,
       u"n,d,numdigits,negative_num_format"},
      {u"myFormatCurrency", 9, kCallable, 9, 9, &U::myFormatCurrency,
       u"n,d,thresholdvalue,thresholdcolouring,numdigits,currency_symbol,"
       u"system_currency_symbol,isLink,negative_num_format"},
      {u"myFormatValue", 10, kCallable, 11, 11, &U::myFormatValue,
       u"quantityFieldName,n,d,format,hasdenom,cache_schemaReportQuantities,currency_symbol,"
       u"system_currency_symbol,default_font_color,negative_num_format,reporttype1"},
      {u"getPreCellHtml", 11, kCallable, 3, 3, &U::getPreCellHtml,
       u"default_font_size,default_font_family,default_font_color"},
      {u"getPreTitleHtml", 12, kCallable, 3, 3, &U::getPreTitleHtml,
       u"default_font_size,default_font_family,enable_nondrilldown_hyperlinks"},

      // Date periods
      {u"isDayReport", 13, kCallable, 1, 1, &U::isDayReport, u"r"},
      {u"isWeekReport", 14, kCallable, 1, 1, &U::isWeekReport, u"r"},
      {u"isMonthReport", 15, kCallable, 1, 1, &U::isMonthReport, u"r"},
      {u"isQuarterReport", 16, kCallable, 1, 1, &U::isQuarterReport, u"r"},
      {u"isYearReport", 17, kCallable, 1, 1, &U::isYearReport, u"r"},
      {u"isDateReport", 18, kCallable, 1, 1, &U::isDateReport, u"r"},
      {u"getDateReportName", 19, kCallable, 1, 1, &U::getDateReportName, u"r"},
      {u"getDateReportDescription", 20, kCallable, 1, 1, &U::getDateReportDescription, u"r"},
      {u"zellerDate", 21, kCallable, 1, 1, &U::zellerDate, u"l_d"},
      {u"constructDate", 22, kCallable, 3, 3, &U::constructDate, u"l_day,l_month2,l_year2"},
      {u"getWeekDates", 23, kCallable, 5, 5, &U::getWeekDates,
       u"l_val,newStartDate,newEndDate,applyOffset,week_start_day"},
      {u"getQuarterDates", 24, kCallable, 5, 5, &U::getQuarterDates,
       u"l_val,newStartDate,newEndDate,applyOffset,year_start_month"},
      {u"getBoundingDate", 25, kCallable, 9, 9, &U::getBoundingDate,
       u"newStartDate,newEndDate,startDate,endDate,l_reporttype,l_value2,applyOffset,"
       u"week_start_day,year_start_month"},
      {u"displayMonth", 26, kCallable, 2, 2, &U::displayMonth, u"monthNo,showYear"},
      {u"displayQuarter", 27, kCallable, 4, 4, &U::displayQuarter,
       u"quarterNo,applyOffset,year_start_month,year_offset"},
      {u"displayYear", 28, kCallable, 2, 2, &U::displayYear, u"l_year,year_offset"},
      {u"displayWeek", 29, kCallable, 5, 5, &U::displayWeek,
       u"weekNo,applyOffset,week_start_day,year_start_month,year_offset"},
      {u"getDescription", 30, kCallable, 5, 5, &U::getDescription,
       u"l_reporttype,l_description5,week_start_day,year_start_month,year_offset"},

      // Query strings and links
      {u"getQSVariable", 31, kCallable, 2, 2, &U::getQSVariable, u"qs,varname"},
      {u"setQSVariable", 32, kCallable, 3, 3, &U::setQSVariable, u"l_qs2,l_param,l_newValue"},
      {u"changeQSVariable", 33, kCallable, 3, 3, &U::changeQSVariable,
       u"l_qs2,l_param,l_newValue"},
      {u"removeQSVariable", 34, kCallable, 2, 2, &U::removeQSVariable, u"l_qs,param"},
      {u"myescape3", 35, kCallable, 3, 3, &U::myescape3, u"l_val5,l_chr,escape_char"},
      {u"myescape2", 36, kCallable, 3, 3, &U::myescape2, u"l_val3,range_char,escape_char"},
      {u"getEnableLink", 37, kCallable, 10, 10, &U::getEnableLink,
       u"isGrouped,rowsReport,l_keyGroupby,repRowCounter,linkClause,range_char,escape_char,"
       u"hasKeyField,l_key,enableLink"},
      {u"substituteLink", 38, kCallable, 3, 3, &U::substituteLink,
       u"linkurl,replaceWith,enable_drilldown_hyperlinks"},
      {u"getDescriptionField", 39, kCallable, 2, 2, &U::getDescriptionField, u"l_descr,l_field"},
      {u"getFirstCollectionKey", 40, kCallable, 1, 1, &U::getFirstCollectionKey,
       u"l_collection2"},
      {u"getFirstCollectionValue", 41, kCallable, 1, 1, &U::getFirstCollectionValue,
       u"l_collection2"},

      // IP masks
      {u"satisfiesIPMask", 42, kCallable, 3, 3, &U::satisfiesIPMask, u"l_addr,l_mask,l_nsb"},
  };
  return kMembers;
}

void* UtilitiesClass::QueryOtherInterface(REFIID iid) {
  if (iid == IID_UtilitiesClassInProcess) return static_cast<IDispatch*>(this);
  return nullptr;
}

UtilitiesClass* UtilitiesClass::InProcess(IUnknown* object) {
  return utilities_internal::InProcessObject<UtilitiesClass>(object, IID_UtilitiesClassInProcess);
}
