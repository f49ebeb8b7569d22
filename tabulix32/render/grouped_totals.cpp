// The group-total row of an ordinary report (renderGroupedTotals) and the group-total cell of
// one quantity in the flipped layout (renderGroupedTotals_fliped): each quantity's total by
// its total type, and its share of the report's total when the quantity shows one.
#include "tabulix32/render/cell_context.h"
#include "tabulix32/render/html_safety.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/render_cells.h"
#include "tabulix32/render/render_signatures.h"
#include "tabulix32/render/render_values.h"
#include "tabulix32/render/report_render.h"

using report_data::KeyedItems;

namespace {

// The share of the group's total in the report's total, for the total types that have one:
// a sum against the grand total, an average as a ratio of ratios, a blank type "&nbsp;".
struct GroupShare {
  RenderUtilities& uc;
  KeyedItems& totals;
  KeyedItems& denominator_totals;
  KeyedItems& grand_totals;
  KeyedItems& grand_denominators;
  const VARIANT& negative_num_format;

  Result<std::u16string> Text(const VARIANT& quantity, TotalType type) {
    if (type == TotalType::Blank) return std::u16string(html::kEmpty);
    Variant total = TRY(totals.Read(quantity));
    Variant grand_total = TRY(grand_totals.Read(quantity));
    Variant one_decimal = Variant::FromI2(1);
    if (type == TotalType::Sum) {
      return PercentText(uc, total, grand_total, one_decimal, negative_num_format);
    }
    Variant part = TRY(Ratio(uc, total, TRY(denominator_totals.Read(quantity))));
    Variant whole = TRY(Ratio(uc, grand_total, TRY(grand_denominators.Read(quantity))));
    return PercentText(uc, part, whole, one_decimal, negative_num_format);
  }
};

bool HasShare(TotalType type) {
  return type == TotalType::Blank || type == TotalType::Average || type == TotalType::Sum;
}

// What both members read for a quantity's total cell.
class GroupTotals : public CellContext {
 public:
  template <const std::u16string_view& kParameters>
  static GroupTotals From(const DispatchArguments& arguments) {
    return GroupTotals(CellContext::ArgumentsOf<kParameters>(
                           arguments, RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)),
                       RENDER_ARGUMENT(repTotalTypes), RENDER_ARGUMENT(repQtyFormats),
                       RENDER_ARGUMENT(repQtyDenoms), RENDER_ARGUMENT(colTotals),
                       RENDER_ARGUMENT(colTotalDenoms), RENDER_ARGUMENT(grandTotals),
                       RENDER_ARGUMENT(grandTotalDenoms), RENDER_ARGUMENT(reportKeys));
  }

  // One quantity: `between` writes what separates the total from its share (a new cell, or
  // "<br>").
  template <class Between>
  Result<void> WriteQuantity(const VARIANT& quantity, std::u16string_view export_open,
                             std::u16string_view interactive_open, Between between) {
    std::u16string name = TRY(render_values::TextOf(quantity));
    std::optional<std::u16string> font = TRY(OpenFontCell(export_open, interactive_open, name));
    Variant digits = TRY(TotalDigits(uc(), settings(), name));
    TotalType type = TRY(TotalTypeOf(TRY(types_.Read(quantity))));
    TotalSource source{formats_, quantity_denominators_, totals_, denominator_totals_, row_keys_};
    TRY(out().Write(TRY(source.Text(uc(), type, quantity, quantity, digits, tail()))));
    if (HasShare(type) && TRY(ShowsPercentage(settings(), name))) {
      TRY(between(font));
      GroupShare share{uc(),
                       totals_,
                       denominator_totals_,
                       grand_totals_,
                       grand_denominators_,
                       tail().negative_num_format};
      TRY(out().Write(TRY(share.Text(quantity, type))));
    }
    return CloseFontCell(font);
  }

 private:
  GroupTotals(const CellContext::Arguments& cell, const VARIANT& types, const VARIANT& formats,
              const VARIANT& quantity_denominators, const VARIANT& totals,
              const VARIANT& denominator_totals, const VARIANT& grand_totals,
              const VARIANT& grand_denominators, const VARIANT& row_keys)
      : CellContext(cell),
        row_keys_(row_keys),
        types_(types),
        formats_(formats),
        quantity_denominators_(quantity_denominators),
        totals_(totals),
        denominator_totals_(denominator_totals),
        grand_totals_(grand_totals),
        grand_denominators_(grand_denominators) {}

  const VARIANT& row_keys_;
  KeyedItems types_, formats_, quantity_denominators_, totals_, denominator_totals_, grand_totals_,
      grand_denominators_;
};

}  // namespace

// renderGroupedTotals: "<tr class=gt STYLE groupId="grouptotal">", the title cell, a total
// cell (and share cell) per visible quantity, "</tr>".
Result<Variant> ReportRender::renderGroupedTotals(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRenderGroupedTotalsParameters;
  GroupTotals group = GroupTotals::From<kParameters>(arguments);
  TRY(group.Open());
  RenderOutput& out = group.out();
  std::u16string style = TRY(render_values::TextOf(RENDER_ARGUMENT(group_print_style)));
  TRY(out.Write({html::kGroupTotalRowOpen, style, html::kGroupTotalRowEnd}));
  TRY(out.Write(
      TRY(TotalTitleCell(group.uc(), group.cells(), u"<td class=br colspan=", u"<td colspan=",
                         RENDER_ARGUMENT(numDescriptionColumns), RENDER_ARGUMENT(totalTitle),
                         RENDER_ARGUMENT(numGroupRows), &RENDER_ARGUMENT(groupdescr)))));
  auto next_cell = [&](const std::optional<std::u16string>& font) -> Result<void> {
    if (font) TRY(out.Write(html::kFontClose));
    if (group.cells().interactive()) {
      TRY(out.Write(html::kCellBetweenInteractive));
    } else {
      std::u16string_view pre_cell = TRY(group.cells().PreCell(group.uc()));
      TRY(out.Write({html::kCellBetween, pre_cell, html::kTagEnd}));
    }
    if (font) TRY(out.Write({html::kFontOpen, *font, html::kTagEnd}));
    return {};
  };
  std::vector<Variant> quantities = TRY(report_data::KeysOf(RENDER_ARGUMENT(reportVisibleQtys)));
  for (const Variant& quantity : quantities) {
    TRY(group.WriteQuantity(quantity, html::kPlainCellExport, html::kDescriptionCell, next_cell));
  }
  TRY(out.Write(html::kRowEnd));
  return Variant();
}

// renderGroupedTotals_fliped: the group-total cell of `qty`, its share after "<br>".
Result<Variant> ReportRender::renderGroupedTotals_fliped(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRenderGroupedTotalsFlipedParameters;
  GroupTotals group = GroupTotals::From<kParameters>(arguments);
  TRY(group.Open());
  auto line_break = [&](const std::optional<std::u16string>&) -> Result<void> {
    return group.out().Write(html::kLineBreak);
  };
  TRY(group.WriteQuantity(RENDER_ARGUMENT(qty), html::kQuantityCellExportSpaced,
                          html::kQuantityCell, line_break));
  return Variant();
}
