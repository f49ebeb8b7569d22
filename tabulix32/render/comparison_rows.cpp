// The rows of a comparison report: a row's description cells (renderCompareRowDescriptions),
// its value cells for one range and column type (renderCompareQuantities) and those of the
// "other" row (otherRow_Comparison), its variance cells (utilities_compare_varshow), and the
// rows' all-zeroes flags (compare_AllZeroes).
#include "platform/automation/conversion.h"
#include "tabulix32/render/cell_context.h"
#include "tabulix32/render/comparison_cells.h"
#include "tabulix32/render/description_cells.h"
#include "tabulix32/render/report_render.h"
#include "tabulix32/utilities/analysis_keys.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using render_values::Accumulation;
using report_data::KeyedItems;

namespace {

constexpr std::u16string_view kDetailReport = u"detail";
constexpr std::u16string_view kDateFormat = u"date";
constexpr std::u16string_view kPercentChange = u"pctchange";
constexpr std::u16string_view kZero = u"0";
constexpr std::u16string_view kOtherRowMark = u"other";
constexpr std::u16string_view kGroupKeyMark = u"groupkey_";
constexpr char16_t kGroupKeyEnd = u'^';
// A stored row key starts with "key_" before the key shown.
constexpr size_t kRowKeyPrefixLength = 4;

constexpr std::u16string_view kNumeratorPart = u"_num";
constexpr std::u16string_view kDenominatorPart = u"_dnm";
constexpr std::u16string_view kFormatPart = u"_format";
constexpr std::u16string_view kHasDenominatorPart = u"_hasDenom";
constexpr std::u16string_view kVariancePart = u"_num_var_";
constexpr std::u16string_view kVarianceDenominatorPart = u"_dnm_var_";
constexpr std::u16string_view kBaseNumeratorPart = u"_num_original";
constexpr std::u16string_view kBaseDenominatorPart = u"_dnm_original";
constexpr std::u16string_view kComparisonNumeratorPart = u"_num_comparison";
constexpr std::u16string_view kComparisonDenominatorPart = u"_dnm_comparison";

// The key shown for a stored row key: the part after the first "^" of a grouped key, without
// its first four characters ("groupkey_A^key_B" shows "B").
std::u16string_view ShownKey(std::u16string_view row_key) {
  if (row_key.find(kGroupKeyMark) != std::u16string_view::npos) {
    size_t end = row_key.find(kGroupKeyEnd);
    if (end != std::u16string_view::npos) row_key.remove_prefix(end + 1);
  }
  return row_key.substr(std::min(kRowKeyPrefixLength, row_key.size()));
}

// The value cells of one range and column type, shared by the row and the "other" row.
class ComparisonValues : public CellContext {
 public:
  template <const std::u16string_view& kParameters>
  static ComparisonValues From(const DispatchArguments& arguments) {
    return ComparisonValues(CellContext::ArgumentsOf<kParameters>(
                                arguments, RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)),
                            RENDER_ARGUMENT(colTotals), RENDER_ARGUMENT(colTotalDenoms),
                            RENDER_ARGUMENT(colContainsValues), RENDER_ARGUMENT(report_rows));
  }

  Result<void> Open() {
    written_ = TRY(render_values::IsYes(report_rows_));
    return CellContext::Open();
  }

  // A value cell: `zero_when_empty` writes "0" for an empty value (an other row's value that
  // has a denominator); any other empty value is the empty cell.
  Result<void> Write(const VARIANT& quantity, std::u16string_view total_key, const Variant& value,
                     const Variant& denominator, const Variant& format, bool has_denominator,
                     bool zero_when_empty);

 private:
  ComparisonValues(const CellContext::Arguments& cell, const VARIANT& totals,
                   const VARIANT& denominator_totals, const VARIANT& contains,
                   const VARIANT& report_rows)
      : CellContext(cell),
        report_rows_(report_rows),
        totals_(totals),
        denominator_totals_(denominator_totals),
        contains_(contains) {}

  const VARIANT& report_rows_;
  KeyedItems totals_, denominator_totals_, contains_;
  bool written_ = false;
};

Result<void> ComparisonValues::Write(const VARIANT& quantity, std::u16string_view total_key,
                                     const Variant& value, const Variant& denominator,
                                     const Variant& format, bool has_denominator,
                                     bool zero_when_empty) {
  if (render_values::IsEmptyValue(value) && !zero_when_empty) {
    // No value for this range: an empty cell, in both modes (and only where rows are written).
    if (written_) TRY(out().Write(html::kEmptyValueCell));
    return {};
  }
  std::u16string text;
  if (render_values::IsEmptyValue(value)) {
    text = kZero;
  } else {
    text = TRY(ValueText(uc(), quantity, value, denominator, format, has_denominator, tail()));
    // A numeric value (not a date) joins the column totals; any other empties them.
    if (IsNumeric(value) && !TRY(render_values::Equals(format, kDateFormat))) {
      TRY(AddToRunningTotal(totals_, total_key, value, Accumulation::Doubles));
      TRY(contains_.Write(total_key, Variant::FromBool(true)));
      if (has_denominator) {
        TRY(AddToRunningTotal(denominator_totals_, total_key, denominator, Accumulation::Doubles));
      }
    } else {
      TRY(totals_.Write(total_key, Variant::FromString(u"")));
    }
  }
  if (!written_) return {};
  std::u16string name = TRY(render_values::TextOf(quantity));
  TRY(cells().OpenQuantityCell(out(), uc()));
  std::optional<std::u16string> font = TRY(QuantityFont(settings(), name));
  if (font) TRY(out().Write({html::kFontOpen, *font, html::kTagEnd}));
  if (utilities_internal::TrimSpaces(text).empty()) text = html::kEmpty;
  TRY(out().Write(text));
  if (font) TRY(out().Write(html::kFontClose));
  return out().Write(html::kCellEnd);
}

// One row's all-zeroes flag over every range, column type and quantity (see compare_AllZeroes).
Result<bool> ComparisonRowIsAllZeroes(KeyedItems& values, std::u16string_view row_key,
                                      int32_t ranges, const std::vector<Variant>& column_types,
                                      const std::vector<Variant>& quantities) {
  for (int32_t range = 1; range <= ranges; ++range) {
    std::string digits = std::to_string(range);
    std::u16string range_part = u"_" + std::u16string(digits.begin(), digits.end());
    for (const Variant& column_type : column_types) {
      std::u16string suffix = TRY(render_values::TextOf(column_type)) + range_part;
      for (const Variant& quantity : quantities) {
        std::u16string base(row_key);
        base.append(analysis_keys::kQuantitySeparator).append(TRY(render_values::TextOf(quantity)));
        Variant value = TRY(values.Read(base + std::u16string(kNumeratorPart) + suffix));
        if (!IsNumeric(value)) return false;
        double ratio = TRY(ToDouble(value));
        Variant flag = TRY(values.Read(base + std::u16string(kHasDenominatorPart) + suffix));
        if (TRY(render_values::IsTrue(flag))) {
          Variant denominator = TRY(values.Read(base + std::u16string(kDenominatorPart) + suffix));
          double divisor = render_values::NumberOrZero(denominator);
          ratio = divisor == 0 ? 0 : ratio / divisor;
        }
        if (ratio != 0) return false;
      }
    }
  }
  return true;
}

}  // namespace

// renderCompareRowDescriptions: the key cell (the stored row key shown without its prefix)
// and a cell per description value of l_currDescription. Updates linkClause and keyField.
Result<Variant> ReportRender::renderCompareRowDescriptions(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRenderCompareRowDescriptionsParameters;
  DescriptionCells cells = TRY(OpenDescriptionCells<kParameters>(arguments));
  InOutArgument link_clause(arguments, RENDER_POSITION(linkClause));
  InOutArgument key_field(arguments, RENDER_POSITION(keyField));
  bool grouped = TRY(render_values::IsTrue(RENDER_ARGUMENT(isGrouped)));
  bool stale_link = TRY(render_values::IsTrue(RENDER_ARGUMENT(invalid_link_update)));
  // 1.
  Variant enable_link = Variant::FromBool(true);
  Variant enable_link_reference = Variant::RefTo(&enable_link);
  Variant empty_text = Variant::FromString(u"");
  TRY(cells.uc.Call(
      UtilityMember::getEnableLink,
      {RENDER_ARGUMENT(isGrouped), empty_text, RENDER_ARGUMENT(keyGroupby), empty_text,
       link_clause.Reference(), RENDER_ARGUMENT(range_char), RENDER_ARGUMENT(escape_char),
       RENDER_ARGUMENT(hasKeyField), key_field.Reference(), enable_link_reference}));
  // 2. The key cell, linked when the row has no first description.
  const VARIANT& descriptions = RENDER_ARGUMENT(l_currDescription);
  if (!render_values::IsEmptyValue(RENDER_ARGUMENT(keyDescription))) {
    TRY(cells.Open(html::kDescriptionCellExport));
    Variant first = TRY(cells.uc.Call(UtilityMember::getFirstCollectionValue, {descriptions}));
    std::u16string row_key = TRY(render_values::TextOf(RENDER_ARGUMENT(row_key)));
    if (row_key.size() == kRowKeyPrefixLength) {
      TRY(cells.out.Write(html::kEmpty));
    } else {
      if (grouped) TRY(ClearGroupVariable(cells.uc, link_clause));
      Variant fixed = TRY(cells.uc.Call(UtilityMember::nullFix2, {first}));
      bool link = !stale_link && TRY(render_values::IsBlank(fixed));
      if (link)
        TRY(cells.WriteAnchor(AnchorForm::PlainSpaced, html::kDrillDown, link_clause.value()));
      Variant shown = Variant::FromString(ShownKey(row_key));
      TRY(cells.out.Write(html_safety::Text(shown.StringView())));
      if (link) TRY(cells.out.Write(html::kAnchorEnd));
      Variant shown_reference = Variant::RefTo(&shown);
      TRY(cells.WriteMarker(RENDER_ARGUMENT(linkurl_key), shown_reference,
                            RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)));
    }
    TRY(cells.out.Write(html::kCellEnd));
  }
  // 3. The description cells; a period that matched no date is shown by its label, unlinked.
  const VARIANT& report_type = RENDER_ARGUMENT(reporttype1);
  bool period = false;
  for (UtilityMember test : {UtilityMember::isDayReport, UtilityMember::isWeekReport,
                             UtilityMember::isMonthReport, UtilityMember::isQuarterReport}) {
    if (period) break;
    period = TRY(render_values::IsTrue(TRY(cells.uc.Call(test, {report_type}))));
  }
  bool convert = period && !TRY(render_values::IsTrue(RENDER_ARGUMENT(matched_date)));
  bool detail = TRY(render_values::Equals(report_type, kDetailReport));
  Describer describe{cells.uc, RENDER_ARGUMENT(week_start_day), RENDER_ARGUMENT(year_start_month),
                     RENDER_ARGUMENT(year_offset)};
  KeyedItems values(descriptions);
  std::vector<Variant> columns = TRY(values.Keys());
  for (size_t position = 1; position <= columns.size(); ++position) {
    const VARIANT& column = columns[position - 1];
    TRY(cells.Open(html::kDescriptionCellExport));
    Variant description = TRY(values.Read(column));
    if (convert) description = TRY(describe(report_type, description));
    if (grouped) TRY(ClearGroupVariable(cells.uc, link_clause));
    std::u16string clause = TRY(render_values::TextOf(link_clause.value()));
    clause = TRY(utilities_internal::ReplaceAll(clause, u"'", u"*$*"));
    TRY(link_clause.Set(Variant::FromString(clause)));
    bool link = !stale_link && cells.drill_down && position == 1 && !detail && !convert;
    if (link) {
      TRY(cells.WriteAnchor(AnchorForm::ColouredSpacedHref, html::kDrillDown, link_clause.value()));
    }
    TRY(cells.WriteDescription(description, link));
    if (link) TRY(cells.out.Write(html::kAnchorEnd));
    Variant link_template =
        TRY(LinkTemplate(column, RENDER_ARGUMENT(linkurl_key), RENDER_ARGUMENT(linkUrlDescr)));
    Variant description_reference = Variant::RefTo(&description);
    TRY(cells.WriteMarker(link_template, description_reference,
                          RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)));
    TRY(cells.out.Write(html::kCellEnd));
  }
  return Variant();
}

// renderCompareQuantities: the value cells of row rep_key for one range (rangeID) and column
// type (colType), adding their values to the column totals of that range and type.
Result<Variant> ReportRender::renderCompareQuantities(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRenderCompareQuantitiesParameters;
  ComparisonValues cells = ComparisonValues::From<kParameters>(arguments);
  TRY(cells.Open());
  KeyedItems values(RENDER_ARGUMENT(allVals));
  std::u16string row_key = TRY(render_values::TextOf(RENDER_ARGUMENT(rep_key)));
  std::u16string suffix = TRY(render_values::TextOf(RENDER_ARGUMENT(colType)));
  suffix.append(TRY(render_values::TextOf(RENDER_ARGUMENT(rangeID))));
  std::vector<comparison::SelectedQuantity> quantities = TRY(comparison::SelectedQuantities(
      RENDER_ARGUMENT(reportVisibleQtys), RENDER_ARGUMENT(tb_view), RENDER_ARGUMENT(qty_row)));
  for (const comparison::SelectedQuantity& selected : quantities) {
    std::u16string name = TRY(render_values::TextOf(selected.quantity));
    std::u16string base = row_key + std::u16string(analysis_keys::kQuantitySeparator) + name;
    Variant value = TRY(values.Read(base + std::u16string(kNumeratorPart) + suffix));
    Variant denominator, format;
    bool has_denominator = false;
    if (!render_values::IsEmptyValue(value)) {
      denominator = TRY(values.Read(base + std::u16string(kDenominatorPart) + suffix));
      format = TRY(values.Read(base + std::u16string(kFormatPart) + suffix));
      has_denominator = TRY(render_values::IsTrue(
          TRY(values.Read(base + std::u16string(kHasDenominatorPart) + suffix))));
    }
    TRY(cells.Write(selected.quantity, name + suffix, value, denominator, format, has_denominator,
                    false));
  }
  return Variant();
}

// otherRow_Comparison: the value cells of the "other" row for one range and column type, from
// the other values under "other_" + repQuantity(position) (+ "|grouprow_" + groupkey) + "^" +
// colType + rangeID.
Result<Variant> ReportRender::otherRow_Comparison(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kOtherRowComparisonParameters;
  ComparisonValues cells = ComparisonValues::From<kParameters>(arguments);
  TRY(cells.Open());
  bool grouped = TRY(render_values::IsTrue(RENDER_ARGUMENT(isGrouped)));
  std::u16string group;
  if (grouped) group = TRY(render_values::TextOf(RENDER_ARGUMENT(groupkey)));
  std::u16string suffix = TRY(render_values::TextOf(RENDER_ARGUMENT(colType)));
  suffix.append(TRY(render_values::TextOf(RENDER_ARGUMENT(rangeID))));
  KeyedItems values(RENDER_ARGUMENT(reportQtyOther));
  KeyedItems denominators(RENDER_ARGUMENT(reportQtyOtherDenom));
  KeyedItems formats(RENDER_ARGUMENT(reportQtyFormat));
  std::vector<comparison::SelectedQuantity> quantities = TRY(comparison::SelectedQuantities(
      RENDER_ARGUMENT(reportVisibleQtys), RENDER_ARGUMENT(tb_view), RENDER_ARGUMENT(qty_row)));
  for (const comparison::SelectedQuantity& selected : quantities) {
    Variant position = Variant::FromI4(selected.position);
    std::u16string other_name = TRY(
        render_values::TextOf(TRY(report_data::ItemAt(RENDER_ARGUMENT(repQuantity), position))));
    std::u16string key = analysis_keys::OtherKey(other_name, grouped, group, true, suffix);
    Variant value = TRY(values.Read(key));
    Variant denominator = TRY(denominators.Read(key));
    bool has_denominator = !render_values::IsEmptyValue(denominator);
    Variant format = TRY(formats.Read(key));
    std::u16string name = TRY(render_values::TextOf(selected.quantity));
    TRY(cells.Write(selected.quantity, name + suffix, value, denominator, format, has_denominator,
                    has_denominator));
  }
  return Variant();
}

// utilities_compare_varshow: the variance cells of row rep_key for range rangeID: the stored
// variance, or the difference of the two ranges' ratios when both have denominators; a percent
// change for "pctchange".
Result<Variant> ReportRender::utilities_compare_varshow(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kUtilitiesCompareVarshowParameters;
  CellContext line(CellContext::ArgumentsOf<kParameters>(
      arguments, RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)));
  TRY(line.Open());
  RenderOutput& out = line.out();
  RenderUtilities& uc = line.uc();
  KeyedItems values(RENDER_ARGUMENT(allVals));
  KeyedItems formats(RENDER_ARGUMENT(repQtyFormats));
  std::u16string row_key = TRY(render_values::TextOf(RENDER_ARGUMENT(rep_key)));
  std::u16string range = TRY(render_values::TextOf(RENDER_ARGUMENT(rangeID)));
  std::u16string kind = TRY(render_values::TextOf(RENDER_ARGUMENT(comparisonqty)));
  bool percent_change = kind == kPercentChange;
  bool cut_off = render_values::NumberOrZero(RENDER_ARGUMENT(topselect_cutoff)) > 0;
  // The other row of a grouped report with a top-N cut-off has a value per group.
  std::u16string group_part;
  if (cut_off && row_key.find(kOtherRowMark) != std::u16string::npos &&
      TRY(render_values::IsTrue(RENDER_ARGUMENT(isGrouped)))) {
    group_part.append(analysis_keys::kGroupRowPrefix);
    group_part.append(TRY(render_values::TextOf(RENDER_ARGUMENT(groupkey))));
  }
  std::vector<comparison::SelectedQuantity> quantities = TRY(comparison::SelectedQuantities(
      RENDER_ARGUMENT(comparisonQtys), RENDER_ARGUMENT(tb_view), RENDER_ARGUMENT(qty_row)));
  for (const comparison::SelectedQuantity& selected : quantities) {
    std::u16string name = TRY(render_values::TextOf(selected.quantity));
    // 1.
    std::optional<std::u16string> font =
        TRY(line.OpenFontCell(html::kQuantityCellExportSpaced, html::kQuantityCell, name));
    std::u16string base =
        row_key + std::u16string(analysis_keys::kQuantitySeparator) + name + group_part;
    // 2. A missing variance counts as 0 (and is stored so).
    std::u16string variance_key = base + std::u16string(kVariancePart) + kind + range;
    comparison::Variance variance;
    variance.value = TRY(values.Read(variance_key));
    if (variance.value.IsNull() || (render_values::IsEmptyValue(variance.value) && cut_off)) {
      variance.value = Variant::FromI2(0);
      TRY(values.Write(variance_key, variance.value));
    }
    // 3-4.
    if (render_values::IsEmptyValue(variance.value)) {
      TRY(out.Write(html::kEmpty));
    } else {
      variance.denominator =
          TRY(values.Read(base + std::u16string(kVarianceDenominatorPart) + kind + range));
      Variant base_numerator = TRY(values.Read(base + std::u16string(kBaseNumeratorPart) + range));
      Variant base_denominator =
          TRY(values.Read(base + std::u16string(kBaseDenominatorPart) + range));
      Variant comparison_numerator =
          TRY(values.Read(base + std::u16string(kComparisonNumeratorPart) + range));
      Variant comparison_denominator =
          TRY(values.Read(base + std::u16string(kComparisonDenominatorPart) + range));
      bool base_ratio =
          !TRY(render_values::IsBlank(TRY(uc.Call(UtilityMember::nullFix2, {base_denominator}))));
      bool comparison_ratio = !TRY(
          render_values::IsBlank(TRY(uc.Call(UtilityMember::nullFix2, {comparison_denominator}))));
      if (comparison_ratio) {
        variance.comparison_ratio =
            comparison::VarianceRatio(comparison_numerator, comparison_denominator);
        variance.comparison_denominator = render_values::NumberOrZero(comparison_denominator);
      }
      if (base_ratio && comparison_ratio) {
        bool negligible = comparison::IsNegligibleDenominator(base_denominator) &&
                          comparison::IsNegligibleDenominator(comparison_denominator);
        variance.value =
            negligible
                ? Variant()
                : Variant::FromR8(comparison::VarianceRatio(base_numerator, base_denominator) -
                                  *variance.comparison_ratio);
        variance.denominator = Variant::FromString(u"");
      }
      Variant digits = TRY(TotalDigits(uc, line.settings(), name));
      Variant format = TRY(formats.Read(selected.quantity));
      TRY(out.Write(TRY(comparison::VarianceText(uc, variance, selected.quantity, percent_change,
                                                 digits, format, line.tail()))));
    }
    TRY(line.CloseFontCell(font));
  }
  return Variant();
}

// compare_AllZeroes: rowValues.Add row key, flag for every row of allKeys (457 for a key it
// already holds).
Result<Variant> ReportRender::compare_AllZeroes(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kCompareAllZeroesParameters;
  bool hiding = TRY(render_values::IsYes(RENDER_ARGUMENT(hide_zeroes)));
  KeyedItems values(RENDER_ARGUMENT(allVals));
  KeyedItems flags(RENDER_ARGUMENT(rowValues));
  std::vector<Variant> rows = TRY(report_data::KeysOf(RENDER_ARGUMENT(allKeys)));
  int32_t ranges = 0;
  std::vector<Variant> column_types, quantities;
  if (hiding) {
    ranges = TRY(report_data::LoopCount(RENDER_ARGUMENT(numComparisonRanges)));
    column_types = TRY(report_data::ItemsOf(RENDER_ARGUMENT(colTypes)));
    quantities = TRY(report_data::KeysOf(RENDER_ARGUMENT(reportVisibleQtys)));
  }
  for (const Variant& row : rows) {
    bool all_zero = false;
    if (hiding) {
      std::u16string row_key = TRY(render_values::TextOf(row));
      all_zero = TRY(ComparisonRowIsAllZeroes(values, row_key, ranges, column_types, quantities));
    }
    TRY(flags.Add(row, Variant::FromBool(all_zero)));
  }
  return Variant();
}
