// The date ranges of drill-down links: utilities_updategroupdate, utilities_updategriddate and
// analysis_pivot_updatedates narrow each comparison range of each mapped date report to the
// period a row, group or pivot cell stands for, and write its start, end and range name into
// the row's link clause. They write no HTML.
#include <array>
#include <optional>

#include "platform/automation/compare.h"
#include "platform/automation/conversion.h"
#include "tabulix32/render/html_safety.h"
#include "tabulix32/render/in_out_argument.h"
#include "tabulix32/render/render_signatures.h"
#include "tabulix32/render/render_values.h"
#include "tabulix32/render/report_render.h"
#include "tabulix32/render/utilities_calls.h"
#include "tabulix32/utilities/link_utilities_internal.h"
#include "tabulix32/utilities/report_data_internal.h"
#include "tabulix32/utilities/utilities_text_internal.h"

namespace {

constexpr std::u16string_view kAllRange = u"All";
constexpr std::u16string_view kCustomRange = u"Custom";
constexpr std::u16string_view kRangeVariable = u"_original_";
constexpr std::u16string_view kPeriodSeparator = u"_";
constexpr std::array<std::u16string_view, 5> kPeriods = {u"day", u"week", u"month", u"quarter",
                                                         u"year"};

// How the clause takes a value.
enum class ClauseUpdate {
  AppendOrReplace,  // append "&name=value" when absent, else fill the "%name%" placeholders
  SetVariable,      // uc.setQSVariable
};
// When a value is written: when it changed, or also whenever the row has no key.
enum class WriteWhen { Changed, ChangedOrNoKey };

// The settings every member passes: the ranges, the date reports and their query variables.
struct DateReports {
  const VARIANT& starts;       // rStart_arr(i, j)
  const VARIANT& ends;         // rEnd_arr(i, j)
  const VARIANT& range_names;  // daterange_arr(i, j)
  const VARIANT& mapped;       // isMapped_dateReport(j)
  const VARIANT& fields;       // dateReport(j)
  const VARIANT& start_fields;
  const VARIANT& end_fields;
  const VARIANT& range_fields;
  const VARIANT& range_count;   // numComparisonRanges
  const VARIANT& report_count;  // numDateReports
  const VARIANT& week_start_day;
  const VARIANT& year_start_month;
};

template <const std::u16string_view& kParameters>
DateReports DateReportsOf(const DispatchArguments& arguments) {
  return DateReports{RENDER_ARGUMENT(rStart_arr),          RENDER_ARGUMENT(rEnd_arr),
                     RENDER_ARGUMENT(daterange_arr),       RENDER_ARGUMENT(isMapped_dateReport),
                     RENDER_ARGUMENT(dateReport),          RENDER_ARGUMENT(dateStartField),
                     RENDER_ARGUMENT(dateEndField),        RENDER_ARGUMENT(dateRangeField),
                     RENDER_ARGUMENT(numComparisonRanges), RENDER_ARGUMENT(numDateReports),
                     RENDER_ARGUMENT(week_start_day),      RENDER_ARGUMENT(year_start_month)};
}

// A period applied to a range: the period name and the identifier whose dates it takes.
struct AppliedPeriod {
  Variant period;
  const VARIANT& value;
};

bool IsIdentifierCharacter(char16_t c) {
  return c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
         (c >= u'a' && c <= u'z');
}

// Whether the clause holds `name` as a whole name: "ed_original_1" is not found inside
// "sed_original_1", nor "sd_original_1" inside "sd_original_10".
bool ContainsName(std::u16string_view clause, std::u16string_view name) {
  if (name.empty()) return false;
  for (size_t at = clause.find(name); at != std::u16string_view::npos;
       at = clause.find(name, at + 1)) {
    bool starts = at == 0 || !IsIdentifierCharacter(clause[at - 1]);
    size_t after = at + name.size();
    bool ends = after == clause.size() || !IsIdentifierCharacter(clause[after]);
    if (starts && ends) return true;
  }
  return false;
}

// The period a report type names for date report `field`: its text after the field name and
// "_".
std::u16string PeriodOf(std::u16string_view report_type, std::u16string_view field) {
  size_t start = field.size() + kPeriodSeparator.size();
  if (start >= report_type.size()) return {};
  return std::u16string(report_type.substr(start));
}

// Whether the report type is `field` + "_" + a period name.
bool IsPeriodOf(std::u16string_view report_type, std::u16string_view field) {
  if (!report_type.starts_with(field) ||
      !report_type.substr(field.size()).starts_with(kPeriodSeparator)) {
    return false;
  }
  std::u16string period = PeriodOf(report_type, field);
  for (std::u16string_view name : kPeriods) {
    if (period == name) return true;
  }
  return false;
}

// The period of `report_type` for date report `field`, applied with `value`.
void AddPeriod(std::vector<AppliedPeriod>& applied, std::u16string_view report_type,
               std::u16string_view field, const VARIANT& value) {
  applied.push_back({Variant::FromString(PeriodOf(report_type, field)), value});
}

// The periods a grid row applies to a date report's ranges: its row type's (value descr) and
// column type's (value columnValue; grids only) when they are periods of the report, and a
// date-report groupby's (value descr_groupby) in a grouped report.
struct GridPeriods {
  std::u16string row_type;  // reporttype1
  const VARIANT& descr;
  std::u16string column_type;   // reporttype2
  const VARIANT* column_value;  // null: no column periods
  bool grouped_by_date;
  std::u16string group_type;  // groupby
  const VARIANT& descr_groupby;

  std::vector<AppliedPeriod> Of(std::u16string_view field) const {
    std::vector<AppliedPeriod> applied;
    if (IsPeriodOf(row_type, field)) AddPeriod(applied, row_type, field, descr);
    if (column_value && IsPeriodOf(column_type, field)) {
      AddPeriod(applied, column_type, field, *column_value);
    }
    if (grouped_by_date) AddPeriod(applied, group_type, field, descr_groupby);
    return applied;
  }
};

// A range's start or end as read: empty stays empty, anything else becomes a date.
Result<Variant> DateOf(const VARIANT& value) {
  if (render_values::IsEmptyValue(value)) return Variant::FromString(u"");
  return Variant::FromDate(TRY(ToDate(value)));
}

Result<bool> Differs(const VARIANT& a, const VARIANT& b) {
  return TRY(Compare(a, b)) != Comparison::Equal;
}

// One range of one date report, narrowed to the periods and written into the clause.
class RangeUpdate {
 public:
  RangeUpdate(RenderUtilities& uc, const DateReports& reports, InOutArgument& clause,
              ClauseUpdate update)
      : uc_(uc), reports_(reports), clause_(clause), update_(update) {}

  /// Steps 1 to 5 for range i of date report j; `periods` gives the periods to apply,
  /// `custom` whether the range is named "Custom", `all_when_open` whether a range without a
  /// start is named "All".
  template <class Periods>
  Result<void> Apply(int32_t i, int32_t j, Periods periods, bool custom, bool all_when_open,
                     WriteWhen start_when, WriteWhen range_when, bool keyless);

 private:
  Result<void> Write(const VARIANT& field_names, int32_t j, int32_t i, std::u16string_view value);

  RenderUtilities& uc_;
  const DateReports& reports_;
  InOutArgument& clause_;
  ClauseUpdate update_;
};

Result<void> RangeUpdate::Write(const VARIANT& field_names, int32_t j, int32_t i,
                                std::u16string_view value) {
  std::u16string name = TRY(render_values::TextOf(TRY(report_data::ItemAt(field_names, j))));
  std::string digits = std::to_string(i);
  name.append(kRangeVariable).append(digits.begin(), digits.end());
  std::u16string clause = TRY(render_values::TextOf(clause_.value()));
  if (update_ == ClauseUpdate::SetVariable) {
    Variant text = Variant::FromString(clause);
    Variant name_value = Variant::FromString(name);
    Variant new_value = Variant::FromString(value);
    return clause_.Set(TRY(uc_.Call(UtilityMember::setQSVariable, {text, name_value, new_value})));
  }
  if (!ContainsName(clause, name)) {
    clause.append(u"&").append(name).append(u"=").append(value);
  } else {
    clause = TRY(utilities_internal::ReplaceAll(clause, u"%" + name + u"%", value));
  }
  return clause_.Set(TRY(utilities_internal::TextResult(clause)));
}

template <class Periods>
Result<void> RangeUpdate::Apply(int32_t i, int32_t j, Periods periods, bool custom,
                                bool all_when_open, WriteWhen start_when, WriteWhen range_when,
                                bool keyless) {
  // 1.
  Variant range_index = Variant::FromI4(i);
  Variant report_index = Variant::FromI4(j);
  const VARIANT indices[] = {range_index, report_index};
  Variant range = TRY(report_data::ItemAt(reports_.range_names, indices));
  bool all = TRY(render_values::Equals(range, kAllRange));
  Variant start = all ? Variant::FromString(u"")
                      : TRY(DateOf(TRY(report_data::ItemAt(reports_.starts, indices))));
  Variant end = all ? Variant::FromString(u"")
                    : TRY(DateOf(TRY(report_data::ItemAt(reports_.ends, indices))));
  const Variant original_start = start, original_end = end, original_range = range;
  // 2.
  if (custom) range = Variant::FromString(kCustomRange);
  // 3. Each period narrows the range to the dates of its identifier.
  for (const AppliedPeriod& applied : TRY(periods(j))) {
    Variant new_start, new_end;
    Variant references[] = {Variant::RefTo(&new_start), Variant::RefTo(&new_end),
                            Variant::RefTo(&start), Variant::RefTo(&end)};
    Variant offsets = Variant::FromBool(true);
    TRY(uc_.Call(UtilityMember::getBoundingDate,
                 {references[0], references[1], references[2], references[3], applied.period,
                  applied.value, offsets, reports_.week_start_day, reports_.year_start_month}));
  }
  // 4.
  if (all_when_open && TRY(render_values::IsBlank(start))) range = Variant::FromString(kAllRange);
  // 5.
  bool always_start = start_when == WriteWhen::ChangedOrNoKey && keyless;
  if (always_start || TRY(Differs(start, original_start))) {
    std::u16string text = TRY(utilities_internal::UrlEncode(TRY(render_values::TextOf(start))));
    TRY(Write(reports_.start_fields, j, i, text));
  }
  if (always_start || TRY(Differs(end, original_end))) {
    std::u16string text = TRY(utilities_internal::UrlEncode(TRY(render_values::TextOf(end))));
    TRY(Write(reports_.end_fields, j, i, text));
  }
  bool always_range = range_when == WriteWhen::ChangedOrNoKey && keyless;
  if (always_range || TRY(Differs(range, original_range))) {
    TRY(Write(reports_.range_fields, j, i,
              html_safety::QueryValue(TRY(render_values::TextOf(range)))));
  }
  return {};
}

// Every range i and mapped date report j.
template <class Visit>
Result<void> ForEachMappedRange(const DateReports& reports, Visit visit) {
  int32_t ranges = TRY(report_data::LoopCount(reports.range_count));
  int32_t date_reports = TRY(report_data::LoopCount(reports.report_count));
  for (int32_t i = 1; i <= ranges; ++i) {
    for (int32_t j = 1; j <= date_reports; ++j) {
      if (!TRY(render_values::IsTrue(TRY(report_data::ItemAt(reports.mapped, j))))) continue;
      TRY(visit(i, j));
    }
  }
  return {};
}

Result<bool> IsDateReport(RenderUtilities& uc, const VARIANT& report_type) {
  return render_values::IsTrue(TRY(uc.Call(UtilityMember::isDateReport, {report_type})));
}

Result<std::u16string> FieldOf(const DateReports& reports, int32_t j) {
  return render_values::TextOf(TRY(report_data::ItemAt(reports.fields, j)));
}

// The grid periods of a member whose parameter list is kParameters (reporttype2 and
// columnValue only when it has them).
template <const std::u16string_view& kParameters>
Result<GridPeriods> GridPeriodsOf(const DispatchArguments& arguments, RenderUtilities& uc) {
  bool grouped_by_date = TRY(render_values::IsTrue(RENDER_ARGUMENT(isGrouped))) &&
                         TRY(IsDateReport(uc, RENDER_ARGUMENT(groupby)));
  std::u16string column_type;
  const VARIANT* column_value = nullptr;
  if constexpr (render_signatures::HasParameter(kParameters, u"reporttype2")) {
    column_type = TRY(render_values::TextOf(RENDER_ARGUMENT(reporttype2)));
    column_value = &RENDER_ARGUMENT(columnValue);
  }
  return GridPeriods{TRY(render_values::TextOf(RENDER_ARGUMENT(reporttype1))),
                     RENDER_ARGUMENT(descr),
                     std::move(column_type),
                     column_value,
                     grouped_by_date,
                     TRY(render_values::TextOf(RENDER_ARGUMENT(groupby))),
                     RENDER_ARGUMENT(descr_groupby)};
}

}  // namespace

// utilities_updategroupdate: the group's period (from groupbyKey, value groupField) in a
// grouped report or an ungrouped pivot, then the row's period (from reporttype1, value
// keyField); start, end and range written when changed, or always for a row without a key.
Result<Variant> ReportRender::utilities_updategroupdate(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kUtilitiesUpdategroupdateParameters;
  RenderUtilities uc(RENDER_ARGUMENT(uc));
  DateReports reports = DateReportsOf<kParameters>(arguments);
  InOutArgument clause(arguments, RENDER_POSITION(linkClause));
  RangeUpdate update(uc, reports, clause, ClauseUpdate::AppendOrReplace);
  bool grouped = TRY(render_values::IsTrue(RENDER_ARGUMENT(isGrouped)));
  bool pivot = TRY(render_values::IsTrue(RENDER_ARGUMENT(isPivot)));
  const VARIANT& group_value = RENDER_ARGUMENT(groupField);
  const VARIANT& key_value = RENDER_ARGUMENT(keyField);
  bool group_period = !render_values::IsEmptyValue(group_value) && (grouped || pivot);
  bool keyless = render_values::IsEmptyValue(key_value);
  bool custom = TRY(IsDateReport(uc, RENDER_ARGUMENT(groupby))) ||
                TRY(IsDateReport(uc, RENDER_ARGUMENT(reporttype1)));
  std::u16string group_type = TRY(render_values::TextOf(RENDER_ARGUMENT(groupbyKey)));
  std::u16string row_type = TRY(render_values::TextOf(RENDER_ARGUMENT(reporttype1)));
  auto periods = [&](int32_t j) -> Result<std::vector<AppliedPeriod>> {
    std::u16string field = TRY(FieldOf(reports, j));
    std::vector<AppliedPeriod> applied;
    if (group_period) {
      AddPeriod(applied, group_type, field, group_value);
    }
    if (!keyless) AddPeriod(applied, row_type, field, key_value);
    return applied;
  };
  TRY(ForEachMappedRange(reports, [&](int32_t i, int32_t j) {
    return update.Apply(i, j, periods, custom, true, WriteWhen::ChangedOrNoKey,
                        WriteWhen::ChangedOrNoKey, keyless);
  }));
  return Variant();
}

// utilities_updategriddate: the periods of reporttype1 (value descr) and reporttype2 (value
// columnValue) when they are periods of the date report, and of a date-report groupby (value
// descr_groupby) in a grouped report; each value written when changed.
Result<Variant> ReportRender::utilities_updategriddate(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kUtilitiesUpdategriddateParameters;
  RenderUtilities uc(RENDER_ARGUMENT(uc));
  DateReports reports = DateReportsOf<kParameters>(arguments);
  InOutArgument clause(arguments, RENDER_POSITION(linkClause));
  RangeUpdate update(uc, reports, clause, ClauseUpdate::AppendOrReplace);
  GridPeriods grid = TRY(GridPeriodsOf<kParameters>(arguments, uc));
  bool date_types = TRY(IsDateReport(uc, RENDER_ARGUMENT(reporttype1))) ||
                    TRY(IsDateReport(uc, RENDER_ARGUMENT(reporttype2)));
  TRY(ForEachMappedRange(reports, [&](int32_t i, int32_t j) -> Result<void> {
    std::vector<AppliedPeriod> applied = grid.Of(TRY(FieldOf(reports, j)));
    bool custom = date_types || !applied.empty();
    auto periods = [&](int32_t) -> Result<std::vector<AppliedPeriod>> { return applied; };
    return update.Apply(i, j, periods, custom, true, WriteWhen::Changed, WriteWhen::Changed, false);
  }));
  return Variant();
}

// analysis_pivot_updatedates: the periods of reporttype1 (value descr) when it is a period of
// the date report, and of a date-report groupby (value descr_groupby) in a grouped report;
// each value set with setQSVariable when changed.
Result<Variant> ReportRender::analysis_pivot_updatedates(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kAnalysisPivotUpdatedatesParameters;
  RenderUtilities uc(RENDER_ARGUMENT(uc));
  DateReports reports = DateReportsOf<kParameters>(arguments);
  InOutArgument clause(arguments, RENDER_POSITION(linkClause));
  RangeUpdate update(uc, reports, clause, ClauseUpdate::SetVariable);
  GridPeriods grid = TRY(GridPeriodsOf<kParameters>(arguments, uc));
  TRY(ForEachMappedRange(reports, [&](int32_t i, int32_t j) -> Result<void> {
    std::vector<AppliedPeriod> applied = grid.Of(TRY(FieldOf(reports, j)));
    auto periods = [&](int32_t) -> Result<std::vector<AppliedPeriod>> { return applied; };
    return update.Apply(i, j, periods, !applied.empty(), false, WriteWhen::Changed,
                        WriteWhen::Changed, false);
  }));
  return Variant();
}
