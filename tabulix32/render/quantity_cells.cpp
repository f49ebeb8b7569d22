// The quantity cells of one detail row: analysis_drilldown_quantities writes every visible
// quantity of the row, analysis_quantities_flipped the one quantity of a flipped layout
// (quantities as rows). Both add the row's values to the column totals, also when the rows are
// not written.
#include "platform/automation/conversion.h"
#include "tabulix32/render/cell_context.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/render_cells.h"
#include "tabulix32/render/render_signatures.h"
#include "tabulix32/render/render_values.h"
#include "tabulix32/render/report_render.h"

using render_values::Accumulation;
using report_data::KeyedItems;

namespace {

constexpr std::u16string_view kKeySeparator = u"_";

// Normal: the share of the whole goes into a second cell and totals add as values. Flipped:
// the share follows "<br>" in the same cell and totals add as double-precision numbers.
enum class Layout { Normal, Flipped };

// One call of either member: its arguments, its dictionaries (opened at first use) and the
// quantities written one by one.
class QuantityRow : public CellContext {
 public:
  template <const std::u16string_view& kParameters>
  static QuantityRow From(const DispatchArguments& arguments, Layout layout) {
    return QuantityRow(CellContext::ArgumentsOf<kParameters>(
                           arguments, RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)),
                       layout, RENDER_ARGUMENT(rep_key), RENDER_ARGUMENT(reportQtyNum),
                       RENDER_ARGUMENT(reportQtyDenom), RENDER_ARGUMENT(reportHasDenom),
                       RENDER_ARGUMENT(reportQtyFormat), RENDER_ARGUMENT(repTotalTypes),
                       RENDER_ARGUMENT(colTotals), RENDER_ARGUMENT(colTotalDenoms),
                       RENDER_ARGUMENT(grandTotals), RENDER_ARGUMENT(grandTotalDenoms),
                       RENDER_ARGUMENT(report_rows));
  }

  /// Reads what every quantity of the call shares.
  Result<void> Open();
  /// The totals of one quantity, then its cell(s) when rows are written.
  Result<void> Write(const VARIANT& quantity);

 private:
  QuantityRow(const CellContext::Arguments& cell, Layout layout, const VARIANT& rep_key,
              const VARIANT& numerators, const VARIANT& denominators,
              const VARIANT& has_denominators, const VARIANT& formats, const VARIANT& types,
              const VARIANT& totals, const VARIANT& denominator_totals, const VARIANT& grand_totals,
              const VARIANT& grand_denominators, const VARIANT& report_rows)
      : CellContext(cell),
        layout_(layout),
        rep_key_(rep_key),
        report_rows_(report_rows),
        numerators_(numerators),
        denominators_(denominators),
        has_denominators_(has_denominators),
        formats_(formats),
        types_(types),
        totals_(totals),
        denominator_totals_(denominator_totals),
        grand_totals_(grand_totals),
        grand_denominators_(grand_denominators) {}

  Result<void> AddToTotals(const VARIANT& quantity, const Variant& value, bool has_denominator,
                           std::u16string_view key);
  Result<void> AddTo(KeyedItems& totals, const VARIANT& quantity, const VARIANT& addend);
  Result<void> WriteShare(const VARIANT& quantity, const Variant& value, const Variant& denominator,
                          bool with_denominator, const std::optional<std::u16string>& font);

  Layout layout_;
  const VARIANT& rep_key_;
  const VARIANT& report_rows_;
  KeyedItems numerators_, denominators_, has_denominators_, formats_, types_, totals_,
      denominator_totals_, grand_totals_, grand_denominators_;
  bool written_ = false;
  std::u16string row_key_;
};

Result<void> QuantityRow::Open() {
  row_key_ = TRY(render_values::TextOf(rep_key_));
  written_ = TRY(render_values::IsYes(report_rows_));
  return CellContext::Open();
}

Result<void> QuantityRow::AddTo(KeyedItems& totals, const VARIANT& quantity,
                                const VARIANT& addend) {
  Accumulation mode = layout_ == Layout::Flipped ? Accumulation::Doubles : Accumulation::Values;
  return AddToRunningTotal(totals, quantity, addend, mode);
}

// A numeric value joins the column total (its denominator the denominator total); any other
// value empties the column total.
Result<void> QuantityRow::AddToTotals(const VARIANT& quantity, const Variant& value,
                                      bool has_denominator, std::u16string_view key) {
  Variant denominator;
  // The flipped layout reads the denominator whenever the cell has one.
  if (has_denominator && layout_ == Layout::Flipped) denominator = TRY(denominators_.Read(key));
  if (!IsNumeric(value)) return totals_.Write(quantity, Variant::FromString(u""));
  TRY(AddTo(totals_, quantity, value));
  if (!has_denominator) return {};
  if (layout_ == Layout::Normal) denominator = TRY(denominators_.Read(key));
  return AddTo(denominator_totals_, quantity, denominator);
}

// The value's share of the report's whole: in a second cell, or after "<br>" in a flipped one.
Result<void> QuantityRow::WriteShare(const VARIANT& quantity, const Variant& value,
                                     const Variant& denominator, bool with_denominator,
                                     const std::optional<std::u16string>& font) {
  Variant grand_total = TRY(grand_totals_.Read(quantity));
  Variant part = value;
  Variant whole = grand_total;
  if (with_denominator) {
    Variant grand_denominator = TRY(grand_denominators_.Read(quantity));
    part = TRY(Ratio(uc(), value, denominator));
    whole = TRY(Ratio(uc(), grand_total, grand_denominator));
  }
  if (layout_ == Layout::Normal) {
    // The wrapper and cell end, and the next cell and wrapper, as one piece.
    std::u16string_view opening = TRY(cells().QuantityCellOpening(uc()));
    std::u16string_view font_text = font ? std::u16string_view(*font) : std::u16string_view();
    TRY(out().Write({font ? html::kFontClose : u"", html::kCellEnd, opening,
                     font ? html::kFontOpen : u"", font_text, font ? html::kTagEnd : u""}));
  } else {
    TRY(out().Write(html::kLineBreak));
  }
  Variant one_decimal = Variant::FromI2(1);
  return WriteResult(
      out(), TRY(PercentResult(uc(), part, whole, one_decimal, tail().negative_num_format)));
}

Result<void> QuantityRow::Write(const VARIANT& quantity) {
  std::u16string quantity_name = TRY(render_values::TextOf(quantity));
  report_data::KeyText key{row_key_, kKeySeparator, quantity_name};
  // 1. The totals, whether or not the row is written.
  Variant value = TRY(numerators_.Read(key));
  bool has_denominator = TRY(has_denominators_.Peek(key, render_values::IsTrue));
  TRY(AddToTotals(quantity, value, has_denominator, key));
  if (!written_) return {};
  // 2. The cell and its font wrapper.
  std::u16string_view opening = TRY(cells().QuantityCellOpening(uc()));
  std::optional<std::u16string> font = TRY(QuantityFont(settings(), quantity_name));
  if (font) {
    TRY(out().Write({opening, html::kFontOpen, *font, html::kTagEnd}));
  } else {
    TRY(out().Write(opening));
  }
  // 3-4. The value, over its denominator when the cell has one.
  Variant denominator = TRY(denominators_.Read(key));
  bool with_denominator = !render_values::IsEmptyValue(denominator);
  if (!with_denominator) denominator = Variant::FromString(u"");
  // This library's formatter reads only the settings (adding absent keys): the format is read
  // in place unless it lives in that same collection. Another formatter gets a copy.
  auto format_value = [&](const VARIANT& format) -> Result<Variant> {
    return ValueResult(uc(), quantity, value, denominator, format, with_denominator, tail(),
                       &settings());
  };
  Variant text;
  if (TRY(uc().IsInProcess()) && !TRY(formats_.IsSameCollection(settings()))) {
    text = TRY(formats_.Peek(key, format_value));
  } else {
    text = TRY(format_value(TRY(formats_.Read(key))));
  }
  TRY(WriteResult(out(), text));
  // 5. Its share of the whole, unless the quantity totals as a percentage.
  if (TRY(ShowsPercentage(settings(), quantity_name)) &&
      TRY(types_.Peek(quantity, TotalTypeOf)) != TotalType::Percentage) {
    TRY(WriteShare(quantity, value, denominator, with_denominator, font));
  }
  // 6.
  if (font) return out().Write({html::kFontClose, html::kCellEnd});
  return out().Write(html::kCellEnd);
}

}  // namespace

// analysis_drilldown_quantities: every quantity of reportVisibleQtys, in order.
Result<Variant> ReportRender::analysis_drilldown_quantities(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kAnalysisDrilldownQuantitiesParameters;
  QuantityRow row = QuantityRow::From<kParameters>(arguments, Layout::Normal);
  TRY(row.Open());
  std::vector<Variant> quantities = TRY(report_data::KeysOf(RENDER_ARGUMENT(reportVisibleQtys)));
  for (const Variant& quantity : quantities) TRY(row.Write(quantity));
  return Variant();
}

// analysis_quantities_flipped: the one quantity `qty`.
Result<Variant> ReportRender::analysis_quantities_flipped(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kAnalysisQuantitiesFlippedParameters;
  QuantityRow row = QuantityRow::From<kParameters>(arguments, Layout::Flipped);
  TRY(row.Open());
  TRY(row.Write(RENDER_ARGUMENT(qty)));
  return Variant();
}
