// The "other" row (the rows beyond those shown, summed) and the grand-total row of an ordinary
// report, their cells in the flipped layout, and the all-zeroes flags of the rows.
#include "platform/automation/conversion.h"
#include "tabulix32/render/cell_context.h"
#include "tabulix32/render/html_safety.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/render_cells.h"
#include "tabulix32/render/render_links.h"
#include "tabulix32/render/render_signatures.h"
#include "tabulix32/render/render_values.h"
#include "tabulix32/render/report_render.h"
#include "tabulix32/utilities/analysis_keys.h"

using render_values::Accumulation;
using report_data::KeyedItems;

namespace {

constexpr std::u16string_view kZero = u"0";

// --- The "other" row ------------------------------------------------------------------------

// What the other-row members read for a quantity's cell.
class OtherValues : public CellContext {
 public:
  template <const std::u16string_view& kParameters>
  static OtherValues From(const DispatchArguments& arguments) {
    return OtherValues(CellContext::ArgumentsOf<kParameters>(
                           arguments, RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)),
                       RENDER_ARGUMENT(isGrouped), RENDER_ARGUMENT(groupkey),
                       RENDER_ARGUMENT(repQuantity), RENDER_ARGUMENT(reportQtyOther),
                       RENDER_ARGUMENT(reportQtyOtherDenom), RENDER_ARGUMENT(reportQtyFormat),
                       RENDER_ARGUMENT(colTotals), RENDER_ARGUMENT(colTotalDenoms),
                       RENDER_ARGUMENT(grandTotals), RENDER_ARGUMENT(grandTotalDenoms),
                       RENDER_ARGUMENT(repTotalTypes), RENDER_ARGUMENT(report_rows));
  }

  Result<void> Open() {
    grouped_ = TRY(render_values::IsTrue(is_grouped_));
    written_ = TRY(render_values::IsYes(report_rows_));
    return CellContext::Open();
  }

  bool grouped() const { return grouped_; }
  bool written() const { return written_; }

  // The other values of the quantity at `position` (1-based): added to the column totals
  // always, written when rows are written. `flipped` puts the share after "<br>".
  Result<void> Write(const VARIANT& quantity, const VARIANT& position, bool flipped);

 private:
  OtherValues(const CellContext::Arguments& cell, const VARIANT& is_grouped,
              const VARIANT& groupkey, const VARIANT& positions, const VARIANT& values,
              const VARIANT& denominators, const VARIANT& formats, const VARIANT& totals,
              const VARIANT& denominator_totals, const VARIANT& grand_totals,
              const VARIANT& grand_denominators, const VARIANT& types, const VARIANT& report_rows)
      : CellContext(cell),
        is_grouped_(is_grouped),
        groupkey_(groupkey),
        positions_(positions),
        report_rows_(report_rows),
        values_(values),
        denominators_(denominators),
        formats_(formats),
        totals_(totals),
        denominator_totals_(denominator_totals),
        grand_totals_(grand_totals),
        grand_denominators_(grand_denominators),
        types_(types) {}

  Result<std::u16string> OtherKeyOf(const VARIANT& position);
  const VARIANT& is_grouped_;
  const VARIANT& groupkey_;
  const VARIANT& positions_;  // repQuantity
  const VARIANT& report_rows_;
  KeyedItems values_, denominators_, formats_, totals_, denominator_totals_, grand_totals_,
      grand_denominators_, types_;
  bool grouped_ = false;
  bool written_ = false;
};

// "other_" + repQuantity(position), + "|grouprow_" + groupkey in a grouped report.
Result<std::u16string> OtherValues::OtherKeyOf(const VARIANT& position) {
  Variant quantity = TRY(report_data::ItemAt(positions_, position));
  std::u16string name = TRY(render_values::TextOf(quantity));
  std::u16string group;
  if (grouped_) group = TRY(render_values::TextOf(groupkey_));
  return analysis_keys::OtherKey(name, grouped_, group, false, {});
}

Result<void> OtherValues::Write(const VARIANT& quantity, const VARIANT& position, bool flipped) {
  std::u16string key = TRY(OtherKeyOf(position));
  // 1. The totals; a value that is no number changes nothing.
  Variant value = TRY(values_.Read(key));
  Variant denominator = TRY(denominators_.Read(key));
  bool with_denominator = !render_values::IsEmptyValue(denominator);
  if (IsNumeric(value)) {
    TRY(AddToRunningTotal(totals_, quantity, value, Accumulation::Values));
    if (with_denominator) {
      TRY(AddToRunningTotal(denominator_totals_, quantity, denominator, Accumulation::Values));
    }
  }
  if (!written_) return {};
  // 2. The value: "0" when there is none.
  std::u16string name = TRY(render_values::TextOf(quantity));
  TRY(cells().OpenQuantityCell(out(), uc()));
  std::optional<std::u16string> font = TRY(QuantityFont(settings(), name));
  if (font) TRY(out().Write({html::kFontOpen, *font, html::kTagEnd}));
  Variant empty_text = Variant::FromString(u"");
  const VARIANT& used_denominator = with_denominator ? denominator : empty_text;
  if (render_values::IsEmptyValue(value)) {
    TRY(out().Write(kZero));
  } else {
    Variant format = TRY(formats_.Read(key));
    TRY(out().Write(
        TRY(ValueText(uc(), quantity, value, used_denominator, format, with_denominator, tail()))));
  }
  // 3. The share of the report's whole.
  if (TRY(ShowsPercentage(settings(), name)) &&
      TRY(TotalTypeOf(TRY(types_.Read(quantity)))) != TotalType::Percentage) {
    Variant grand_total = TRY(grand_totals_.Read(quantity));
    Variant part = value;
    Variant whole = grand_total;
    if (with_denominator) {
      part = TRY(Ratio(uc(), value, denominator));
      whole = TRY(Ratio(uc(), grand_total, TRY(grand_denominators_.Read(quantity))));
    }
    if (flipped) {
      TRY(out().Write(html::kLineBreak));
    } else {
      if (font) TRY(out().Write(html::kFontClose));
      TRY(out().Write(html::kCellEnd));
      TRY(cells().OpenQuantityCell(out(), uc()));
      if (font) TRY(out().Write({html::kFontOpen, *font, html::kTagEnd}));
    }
    Variant one_decimal = Variant::FromI2(1);
    TRY(out().Write(TRY(PercentText(uc(), part, whole, one_decimal, tail().negative_num_format))));
  }
  // 4.
  if (font) TRY(out().Write(html::kFontClose));
  return out().Write(html::kCellEnd);
}

// --- The grand-total row --------------------------------------------------------------------

// What the grand-total members read for a quantity's cell.
class GrandTotals : public CellContext {
 public:
  template <const std::u16string_view& kParameters>
  static GrandTotals From(const DispatchArguments& arguments) {
    return GrandTotals(CellContext::ArgumentsOf<kParameters>(
                           arguments, RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)),
                       RENDER_ARGUMENT(repTotalTypes), RENDER_ARGUMENT(repQtyFormats),
                       RENDER_ARGUMENT(repQtyDenoms), RENDER_ARGUMENT(grandTotals),
                       RENDER_ARGUMENT(grandTotalDenoms), RENDER_ARGUMENT(reportKeys));
  }
  KeyedItems& types() { return types_; }

  // The total of one quantity inside its font wrapper (the cell itself is the caller's).
  Result<void> WriteTotal(const VARIANT& quantity, std::u16string_view name, TotalType type) {
    std::optional<std::u16string> font = TRY(QuantityFont(settings(), name));
    if (font) TRY(out().Write({html::kFontOpen, *font, html::kTagEnd}));
    TRY(out().Write(TRY(TotalOf(source_, type, quantity, name, quantity))));
    if (font) TRY(out().Write(html::kFontClose));
    return out().Write(html::kCellEnd);
  }

 private:
  GrandTotals(const CellContext::Arguments& cell, const VARIANT& types, const VARIANT& formats,
              const VARIANT& quantity_denominators, const VARIANT& grand_totals,
              const VARIANT& grand_denominators, const VARIANT& row_keys)
      : CellContext(cell),
        types_(types),
        formats_(formats),
        quantity_denominators_(quantity_denominators),
        grand_totals_(grand_totals),
        grand_denominators_(grand_denominators),
        source_{formats_, quantity_denominators_, grand_totals_, grand_denominators_, row_keys} {}

  KeyedItems types_, formats_, quantity_denominators_, grand_totals_, grand_denominators_;
  TotalSource source_;
};

// One row's all-zeroes flag: every quantity's value over its denominator (or 1) is 0 as a
// double. A value that is no number makes the row not all zeroes (the scan goes on); the
// first non-zero ratio ends the scan. A divisor that is no number (or 0) gives the ratio 0.
Result<bool> RowIsAllZeroes(KeyedItems& numerators, KeyedItems& has_denominators,
                            KeyedItems& denominators, const std::vector<Variant>& quantities,
                            std::u16string_view row_key) {
  bool all_zero = true;
  for (const Variant& quantity : quantities) {
    std::u16string key(row_key);
    key.append(analysis_keys::kQuantitySeparator).append(TRY(render_values::TextOf(quantity)));
    Variant value = TRY(numerators.Read(key));
    if (!IsNumeric(value)) {
      all_zero = false;
      continue;
    }
    double divisor = 1;
    if (TRY(render_values::IsTrue(TRY(has_denominators.Read(key))))) {
      Variant denominator = render_values::DenominatorOrZero(TRY(denominators.Read(key)));
      divisor = TRY(ToDouble(denominator));
    }
    double ratio = divisor == 0 ? 0 : TRY(ToDouble(value)) / divisor;
    if (ratio != 0) return false;
  }
  return all_zero;
}

}  // namespace

// analysis_ShowOtherRow: "<tr class=CLASS groupId="otherrow">", the title cell (a link to the
// other rows in interactive mode), the cells of every visible quantity, "</tr>" — the markup
// only when rows are written; the totals always.
Result<Variant> ReportRender::analysis_ShowOtherRow(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kAnalysisShowOtherRowParameters;
  OtherValues other = OtherValues::From<kParameters>(arguments);
  TRY(other.Open());
  if (other.written()) {
    std::u16string row(html::kOtherRowOpen);
    html_safety::AppendAttributeValue(row, TRY(render_values::TextOf(RENDER_ARGUMENT(r_class))));
    row.append(html::kOtherRowEnd);
    TRY(other.out().Write(row));
    std::u16string clause;
    if (other.cells().interactive()) {
      clause = TRY(OtherRowClause(other.uc(), other.grouped(), RENDER_ARGUMENT(groupby),
                                  RENDER_ARGUMENT(groupkey)));
    }
    TRY(other.out().Write(
        TRY(OtherRowTitleCell(other.uc(), other.cells(), RENDER_ARGUMENT(numDescriptionColumns),
                              RENDER_ARGUMENT(rowTitle), RENDER_ARGUMENT(default_font_color),
                              html::kDrillDown, clause))));
  }
  std::vector<Variant> quantities = TRY(report_data::KeysOf(RENDER_ARGUMENT(reportVisibleQtys)));
  for (size_t i = 0; i < quantities.size(); ++i) {
    Variant position = Variant::FromI4(static_cast<int32_t>(i + 1));
    TRY(other.Write(quantities[i], position, false));
  }
  if (other.written()) TRY(other.out().Write(html::kRowEnd));
  return Variant();
}

// analysis_otherRow_flipped: the other cell of `qty`, whose other values are those of
// repQuantity(q_index).
Result<Variant> ReportRender::analysis_otherRow_flipped(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kAnalysisOtherRowFlippedParameters;
  OtherValues other = OtherValues::From<kParameters>(arguments);
  TRY(other.Open());
  TRY(other.Write(RENDER_ARGUMENT(qty), RENDER_ARGUMENT(q_index), true));
  return Variant();
}

// analysis_ShowGrandTotals: "<tr class=tot groupId="grandtotal">", and when grand_total is
// "Yes" the title cell and a total cell per visible quantity (covering the share column too),
// then "</tr>".
Result<Variant> ReportRender::analysis_ShowGrandTotals(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kAnalysisShowGrandTotalsParameters;
  GrandTotals grand = GrandTotals::From<kParameters>(arguments);
  TRY(grand.Open());
  RenderOutput& out = grand.out();
  TRY(out.Write(html::kGrandTotalRow));
  if (TRY(render_values::IsYes(RENDER_ARGUMENT(grand_total)))) {
    bool interactive = grand.cells().interactive();
    TRY(out.Write(
        TRY(TotalTitleCell(grand.uc(), grand.cells(), u"<td class=tf align=\"left\" colspan=",
                           u"<td align=left colspan=", RENDER_ARGUMENT(numDescriptionColumns),
                           RENDER_ARGUMENT(totalTitle), RENDER_ARGUMENT(numRows), nullptr))));
    std::vector<Variant> quantities = TRY(report_data::KeysOf(RENDER_ARGUMENT(reportVisibleQtys)));
    for (const Variant& quantity : quantities) {
      std::u16string name = TRY(render_values::TextOf(quantity));
      TotalType type = TRY(TotalTypeOf(TRY(grand.types().Read(quantity))));
      // The grand total shows no share of itself; its cell covers the share column.
      bool spans_share =
          TRY(ShowsPercentage(grand.settings(), name)) && type != TotalType::Percentage;
      std::u16string_view span = spans_share ? u"2" : u"1";
      if (interactive) {
        TRY(out.Write({u"<td colspan=\"", span, u"\" class=tf align=right>"}));
      } else {
        std::u16string_view pre_cell = TRY(grand.cells().PreCell(grand.uc()));
        TRY(out.Write({u"<td colspan=\"", span, u"\" align=right", pre_cell, html::kTagEnd}));
      }
      TRY(grand.WriteTotal(quantity, name, type));
    }
  }
  TRY(out.Write(html::kRowEnd));
  return Variant();
}

// analysis_GrandTotals_flipped: the grand-total cell of `qty`.
Result<Variant> ReportRender::analysis_GrandTotals_flipped(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kAnalysisGrandTotalsFlippedParameters;
  GrandTotals grand = GrandTotals::From<kParameters>(arguments);
  TRY(grand.Open());
  const VARIANT& quantity = RENDER_ARGUMENT(qty);
  std::u16string name = TRY(render_values::TextOf(quantity));
  TRY(grand.cells().OpenQuantityCell(grand.out(), grand.uc()));
  TotalType type = TRY(TotalTypeOf(TRY(grand.types().Read(quantity))));
  TRY(grand.WriteTotal(quantity, name, type));
  return Variant();
}

// rowsAllZeroes: rowValues.Add row key, flag for every row of reportKeys. A key rowValues
// already holds fails the call there (457), as Add does.
Result<Variant> ReportRender::rowsAllZeroes(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRowsAllZeroesParameters;
  bool hiding = TRY(render_values::IsYes(RENDER_ARGUMENT(hide_zeroes)));
  KeyedItems numerators(RENDER_ARGUMENT(reportQtyNum));
  KeyedItems has_denominators(RENDER_ARGUMENT(reportHasDenom));
  KeyedItems denominators(RENDER_ARGUMENT(reportQtyDenom));
  KeyedItems flags(RENDER_ARGUMENT(rowValues));
  std::vector<Variant> rows = TRY(report_data::KeysOf(RENDER_ARGUMENT(reportKeys)));
  std::vector<Variant> quantities;
  if (hiding) quantities = TRY(report_data::KeysOf(RENDER_ARGUMENT(reportVisibleQtys)));
  for (const Variant& row : rows) {
    bool all_zero = false;
    if (hiding) {
      std::u16string row_key = TRY(render_values::TextOf(row));
      all_zero =
          TRY(RowIsAllZeroes(numerators, has_denominators, denominators, quantities, row_key));
    }
    TRY(flags.Add(row, Variant::FromBool(all_zero)));
  }
  return Variant();
}
