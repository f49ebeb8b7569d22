// The total lines of a comparison report: the variance cells of a total line
// (utilities_compare_colvarshow), the grand-total cells with the grand totals they compute
// (compare_ShowGrandTotals), and the group-total cells of one range (renderCompareGroupedTotals,
// compareGroupedTotals_flipped).
#include <algorithm>

#include "platform/automation/conversion.h"
#include "tabulix32/render/cell_context.h"
#include "tabulix32/render/comparison_cells.h"
#include "tabulix32/render/html_safety.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/render_signatures.h"
#include "tabulix32/render/render_values.h"
#include "tabulix32/render/report_render.h"
#include "tabulix32/utilities/analysis_keys.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using report_data::KeyedItems;

namespace {

constexpr std::u16string_view kPercentChange = u"pctchange";
constexpr std::u16string_view kDateFormat = u"date";
constexpr std::u16string_view kBaseColumn = u"_original_";
constexpr std::u16string_view kComparisonColumn = u"_comparison_";
constexpr std::u16string_view kNumeratorPart = u"_num";
constexpr std::u16string_view kDenominatorPart = u"_dnm";
constexpr std::u16string_view kFormatPart = u"_format";
constexpr std::u16string_view kHasDenominatorPart = u"_hasDenom";
constexpr std::u16string_view kRangeSeparator = u"_";

std::u16string NumberText(int32_t number) {
  std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

// The cells of a comparison total line: their form, the formatter settings (no report type)
// and the quantity's settings.
class TotalLine : public CellContext {
 public:
  template <const std::u16string_view& kParameters>
  static TotalLine From(const DispatchArguments& arguments) {
    return TotalLine(CellContext::ArgumentsOf<kParameters>(
        arguments, RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)));
  }

  // The total of one quantity under `key` by its total type.

  Result<std::u16string> QuantityTotal(KeyedItems& types, TotalSource& source,
                                       const VARIANT& quantity, std::u16string_view name,
                                       std::u16string_view key) {
    TotalType type = TRY(TotalTypeOf(TRY(types.Read(quantity))));
    return TotalOf(source, type, quantity, name, key);
  }

 private:
  explicit TotalLine(const CellContext::Arguments& arguments) : CellContext(arguments) {}
};

// The group totals of a comparison report and what their cells read.
class RangeTotals {
 public:
  template <const std::u16string_view& kParameters>
  static RangeTotals From(const DispatchArguments& arguments) {
    return RangeTotals(RENDER_ARGUMENT(repTotalTypes), RENDER_ARGUMENT(repQtyFormats),
                       RENDER_ARGUMENT(repQtyDenoms), RENDER_ARGUMENT(colTotals),
                       RENDER_ARGUMENT(colTotalDenoms), RENDER_ARGUMENT(reportKeys));
  }
  RangeTotals(const RangeTotals&) = delete;

  // The total of one quantity under `key` (quantity + column type + range number).
  Result<std::u16string> Text(TotalLine& line, const VARIANT& quantity, std::u16string_view name,
                              std::u16string_view key) {
    return line.QuantityTotal(types_, source_, quantity, name, key);
  }

 private:
  RangeTotals(const VARIANT& types, const VARIANT& formats, const VARIANT& quantity_denominators,
              const VARIANT& totals, const VARIANT& denominator_totals, const VARIANT& row_keys)
      : types_(types),
        formats_(formats),
        quantity_denominators_(quantity_denominators),
        totals_(totals),
        denominator_totals_(denominator_totals),
        source_{formats_, quantity_denominators_, totals_, denominator_totals_, row_keys} {}

  KeyedItems types_, formats_, quantity_denominators_, totals_, denominator_totals_;
  TotalSource source_;
};

// A range's number: rangeID without its "_".
Result<std::u16string> RangeNumber(const VARIANT& range_id) {
  std::u16string range = TRY(render_values::TextOf(range_id));
  std::erase(range, u'_');
  return range;
}

// Adds a value to a grand total, adding the entry when it is missing.
Result<void> AddToGrandTotal(KeyedItems& totals, std::u16string_view key, const VARIANT& value) {
  if (!TRY(totals.Exists(key))) return totals.Add(Variant::FromString(key), value);
  return AddToRunningTotal(totals, key, value, render_values::Accumulation::Values);
}

// The quantity and range suffix of an "other" key: "other_" + quantity (+ "|grouprow_" + group)
// + "^" + column type + range; nothing for another key.
std::optional<std::pair<std::u16string, std::u16string>> SplitOtherKey(std::u16string_view key) {
  size_t mark = key.find(analysis_keys::kOtherRangeSeparator);
  if (mark == std::u16string_view::npos || !key.starts_with(analysis_keys::kOtherPrefix)) {
    return std::nullopt;
  }
  std::u16string_view quantity = key.substr(0, mark).substr(analysis_keys::kOtherPrefix.size());
  size_t group = quantity.find(analysis_keys::kGroupRowPrefix);
  if (group != std::u16string_view::npos) quantity = quantity.substr(0, group);
  return std::make_pair(
      std::u16string(quantity),
      std::u16string(key.substr(mark + analysis_keys::kOtherRangeSeparator.size())));
}

}  // namespace

// utilities_compare_colvarshow: the variance cells of a total line for range rNum, from the
// column totals of its base and comparison columns.
Result<Variant> ReportRender::utilities_compare_colvarshow(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kUtilitiesCompareColvarshowParameters;
  TotalLine line = TotalLine::From<kParameters>(arguments);
  TRY(line.Open());
  KeyedItems totals(RENDER_ARGUMENT(colTotals));
  KeyedItems denominator_totals(RENDER_ARGUMENT(colTotalDenoms));
  KeyedItems contains(RENDER_ARGUMENT(colContainsValues));
  KeyedItems formats(RENDER_ARGUMENT(repQtyFormats));
  std::u16string range = TRY(render_values::TextOf(RENDER_ARGUMENT(rNum)));
  bool percent_change = TRY(render_values::Equals(RENDER_ARGUMENT(comparisonqty), kPercentChange));
  bool standard = TRY(comparison::IsStandardView(RENDER_ARGUMENT(tb_view)));
  std::u16string interactive_open =
      standard ? u"<td class=\"br tf\" align=right>" : u"<td class=\"br\" align=right>";
  std::vector<comparison::SelectedQuantity> quantities = TRY(comparison::SelectedQuantities(
      RENDER_ARGUMENT(comparisonQtys), RENDER_ARGUMENT(tb_view), RENDER_ARGUMENT(qty_row)));
  for (const comparison::SelectedQuantity& selected : quantities) {
    std::u16string name = TRY(render_values::TextOf(selected.quantity));
    std::optional<std::u16string> font =
        TRY(line.OpenFontCell(html::kQuantityCellExportSpaced, interactive_open, name));
    std::u16string base_key = name + std::u16string(kBaseColumn) + range;
    std::u16string comparison_key = name + std::u16string(kComparisonColumn) + range;
    bool has_values = TRY(render_values::IsTrue(TRY(contains.Read(base_key)))) ||
                      TRY(render_values::IsTrue(TRY(contains.Read(comparison_key))));
    Variant base = has_values ? TRY(totals.Read(base_key)) : Variant();
    Variant compared = has_values ? TRY(totals.Read(comparison_key)) : Variant();
    // A column total emptied by a value that is no number has no variance.
    if (!has_values || !IsNumeric(base) || !IsNumeric(compared)) {
      TRY(line.out().Write(html::kEmpty));
      TRY(line.CloseFontCell(font));
      continue;
    }
    comparison::Variance variance;
    variance.denominator = Variant::FromString(u"");
    std::optional<Variant> base_denominator, comparison_denominator;
    if (TRY(denominator_totals.Exists(base_key))) {
      base_denominator = TRY(denominator_totals.Read(base_key));
    }
    if (TRY(denominator_totals.Exists(comparison_key))) {
      comparison_denominator = TRY(denominator_totals.Read(comparison_key));
    }
    bool ratios = base_denominator && comparison_denominator &&
                  !render_values::IsEmptyValue(*base_denominator) &&
                  !render_values::IsEmptyValue(*comparison_denominator);
    if (ratios) {
      variance.comparison_ratio = comparison::VarianceRatio(compared, *comparison_denominator);
      variance.comparison_denominator = render_values::NumberOrZero(*comparison_denominator);
      bool negligible = comparison::IsNegligibleDenominator(*base_denominator) &&
                        comparison::IsNegligibleDenominator(*comparison_denominator);
      if (!negligible) {
        variance.value = Variant::FromR8(comparison::VarianceRatio(base, *base_denominator) -
                                         *variance.comparison_ratio);
      }
    } else {
      variance.value = Variant::FromR8(render_values::NumberOrZero(base) -
                                       render_values::NumberOrZero(compared));
      variance.denominator = compared;
    }
    Variant digits = TRY(TotalDigits(line.uc(), line.settings(), name));
    Variant format = TRY(formats.Read(selected.quantity));
    if (!percent_change) variance.denominator = Variant::FromString(u"");
    TRY(line.out().Write(TRY(comparison::VarianceText(
        line.uc(), variance, selected.quantity, percent_change, digits, format, line.tail()))));
    TRY(line.CloseFontCell(font));
  }
  return Variant();
}

// compare_ShowGrandTotals: computes the grand totals of the cells it writes (every row of
// allKeys, and the "other" rows when other_rows holds), then writes a cell per quantity,
// range and column type: its total by type, or "&nbsp;" where the column holds no values.
Result<Variant> ReportRender::compare_ShowGrandTotals(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kCompareShowGrandTotalsParameters;
  TotalLine line = TotalLine::From<kParameters>(arguments);
  TRY(line.Open());
  bool standard = TRY(comparison::IsStandardView(RENDER_ARGUMENT(tb_view)));
  std::vector<Variant> quantities, column_types;
  if (standard) {
    quantities = TRY(report_data::KeysOf(RENDER_ARGUMENT(reportVisibleQtys)));
    column_types = TRY(report_data::ItemsOf(RENDER_ARGUMENT(colTypes)));
  } else {
    quantities.emplace_back(PeekValue(RENDER_ARGUMENT(qty_row)));
    column_types.emplace_back(PeekValue(RENDER_ARGUMENT(colType_row)));
  }
  int32_t ranges = TRY(report_data::LoopCount(RENDER_ARGUMENT(numComparisonRanges)));
  // The column suffixes written: column type + "_" + range.
  std::vector<std::u16string> suffixes;
  for (int32_t range = 1; range <= ranges; ++range) {
    for (const Variant& column_type : column_types) {
      suffixes.push_back(TRY(render_values::TextOf(column_type)) + std::u16string(kRangeSeparator) +
                         NumberText(range));
    }
  }
  std::vector<std::u16string> names;
  for (const Variant& quantity : quantities) names.push_back(TRY(render_values::TextOf(quantity)));
  // The grand totals.
  KeyedItems values(RENDER_ARGUMENT(allVals));
  KeyedItems grand_totals(RENDER_ARGUMENT(colGrandTotals));
  KeyedItems grand_denominators(RENDER_ARGUMENT(colGrandTotalDenoms));
  auto add_value = [&](std::u16string_view key, const VARIANT& value, const VARIANT& format,
                       bool has_denominator, const VARIANT& denominator) -> Result<void> {
    if (!IsNumeric(value) || TRY(render_values::Equals(format, kDateFormat))) return {};
    TRY(AddToGrandTotal(grand_totals, key, value));
    if (!has_denominator) return {};
    return AddToGrandTotal(grand_denominators, key,
                           Variant::FromR8(render_values::NumberOrZero(denominator)));
  };
  for (const Variant& row : TRY(report_data::KeysOf(RENDER_ARGUMENT(allKeys)))) {
    std::u16string row_key = TRY(render_values::TextOf(row));
    for (const std::u16string& name : names) {
      std::u16string base = row_key + std::u16string(analysis_keys::kQuantitySeparator) + name;
      for (const std::u16string& suffix : suffixes) {
        Variant value = TRY(values.Read(base + std::u16string(kNumeratorPart) + suffix));
        Variant format = TRY(values.Read(base + std::u16string(kFormatPart) + suffix));
        bool has_denominator = TRY(render_values::IsTrue(
            TRY(values.Read(base + std::u16string(kHasDenominatorPart) + suffix))));
        Variant denominator;
        if (has_denominator) {
          denominator = TRY(values.Read(base + std::u16string(kDenominatorPart) + suffix));
        }
        TRY(add_value(name + suffix, value, format, has_denominator, denominator));
      }
    }
  }
  if (TRY(render_values::IsTrue(RENDER_ARGUMENT(other_rows)))) {
    KeyedItems others(RENDER_ARGUMENT(reportQtyOther));
    KeyedItems other_denominators(RENDER_ARGUMENT(reportQtyOtherDenom));
    KeyedItems other_formats(RENDER_ARGUMENT(reportQtyFormat));
    for (const Variant& key : TRY(others.Keys())) {
      std::u16string key_text = TRY(render_values::TextOf(key));
      auto parts = SplitOtherKey(key_text);
      if (!parts) continue;
      auto& [name, suffix] = *parts;
      if (std::find(names.begin(), names.end(), name) == names.end() ||
          std::find(suffixes.begin(), suffixes.end(), suffix) == suffixes.end()) {
        continue;
      }
      Variant denominator = TRY(other_denominators.Read(key_text));
      TRY(add_value(name + suffix, TRY(others.Read(key_text)), TRY(other_formats.Read(key_text)),
                    !render_values::IsEmptyValue(denominator), denominator));
    }
  }
  // The cells.
  KeyedItems contains(RENDER_ARGUMENT(colContainsValues));
  KeyedItems types(RENDER_ARGUMENT(repTotalTypes));
  KeyedItems formats(RENDER_ARGUMENT(repQtyFormats));
  KeyedItems quantity_denominators(RENDER_ARGUMENT(repQtyDenoms));
  TotalSource source{formats, quantity_denominators, grand_totals, grand_denominators,
                     RENDER_ARGUMENT(origKeys)};
  std::u16string_view interactive_open =
      standard ? u"<td class=tf align=right>" : u"<td class=br align=right>";
  for (size_t q = 0; q < quantities.size(); ++q) {
    for (const std::u16string& suffix : suffixes) {
      std::optional<std::u16string> font =
          TRY(line.OpenFontCell(html::kQuantityCellExport, interactive_open, names[q]));
      std::u16string key = names[q] + suffix;
      if (TRY(render_values::IsTrue(TRY(contains.Read(key))))) {
        TRY(line.out().Write(TRY(line.QuantityTotal(types, source, quantities[q], names[q], key))));
      } else {
        TRY(line.out().Write(html::kEmpty));
      }
      TRY(line.CloseFontCell(font));
    }
  }
  return Variant();
}

// renderCompareGroupedTotals: the group-total cells of range rangeID (its number without "_"):
// for range 1 the title cell, then for each quantity a cell per column type of colTypes with
// the total under quantity + column type + range number.
Result<Variant> ReportRender::renderCompareGroupedTotals(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRenderCompareGroupedTotalsParameters;
  TotalLine line = TotalLine::From<kParameters>(arguments);
  TRY(line.Open());
  std::u16string range = TRY(RangeNumber(RENDER_ARGUMENT(rangeID)));
  if (range == u"1") {
    TRY(line.out().Write(
        TRY(TotalTitleCell(line.uc(), line.cells(), u"<td class=br colspan=", u"<td colspan=",
                           RENDER_ARGUMENT(numDescriptionColumns), RENDER_ARGUMENT(totalTitle),
                           RENDER_ARGUMENT(numGroupRows), &RENDER_ARGUMENT(groupdescr)))));
  }
  RangeTotals totals = RangeTotals::From<kParameters>(arguments);
  std::vector<Variant> column_types = TRY(report_data::ItemsOf(RENDER_ARGUMENT(colTypes)));
  for (const Variant& quantity : TRY(report_data::KeysOf(RENDER_ARGUMENT(reportVisibleQtys)))) {
    std::u16string name = TRY(render_values::TextOf(quantity));
    for (const Variant& column_type : column_types) {
      std::optional<std::u16string> font =
          TRY(line.OpenFontCell(html::kPlainCellExport, html::kDescriptionCell, name));
      std::u16string key = name + TRY(render_values::TextOf(column_type)) + range;
      TRY(line.out().Write(TRY(totals.Text(line, quantity, name, key))));
      TRY(line.CloseFontCell(font));
    }
  }
  return Variant();
}

// compareGroupedTotals_flipped: the group-total cell of `qty` and `colType` for range rangeID.
Result<Variant> ReportRender::compareGroupedTotals_flipped(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kCompareGroupedTotalsFlippedParameters;
  TotalLine line = TotalLine::From<kParameters>(arguments);
  TRY(line.Open());
  std::u16string range = TRY(RangeNumber(RENDER_ARGUMENT(rangeID)));
  RangeTotals totals = RangeTotals::From<kParameters>(arguments);
  const VARIANT& quantity = RENDER_ARGUMENT(qty);
  std::u16string name = TRY(render_values::TextOf(quantity));
  std::optional<std::u16string> font =
      TRY(line.OpenFontCell(html::kQuantityCellExportSpaced, html::kQuantityCell, name));
  std::u16string key = name + TRY(render_values::TextOf(RENDER_ARGUMENT(colType))) + range;
  TRY(line.out().Write(TRY(totals.Text(line, quantity, name, key))));
  TRY(line.CloseFontCell(font));
  return Variant();
}
