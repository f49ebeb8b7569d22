// The group-total row of an ordinary report (renderGroupedTotals) and the group-total cell of
// one quantity in the flipped layout (renderGroupedTotals_fliped): each quantity's total by
// its total type, and its share of the report's total when the quantity shows one.
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
class GroupTotals {
 public:
  template <const std::u16string_view& kParameters>
  static GroupTotals From(const DispatchArguments& arguments) {
    return GroupTotals(
        RENDER_ARGUMENT(sb), RENDER_ARGUMENT(uc), RENDER_ARGUMENT(enable_nondrilldown_hyperlinks),
        RENDER_ARGUMENT(default_font_size), RENDER_ARGUMENT(default_font_family),
        RENDER_ARGUMENT(repTotalTypes), RENDER_ARGUMENT(repQtyFormats),
        RENDER_ARGUMENT(repQtyDenoms), RENDER_ARGUMENT(colTotals), RENDER_ARGUMENT(colTotalDenoms),
        RENDER_ARGUMENT(grandTotals), RENDER_ARGUMENT(grandTotalDenoms),
        RENDER_ARGUMENT(reportKeys),
        FormatterTail{RENDER_ARGUMENT(cache_schemaReportQuantities),
                      RENDER_ARGUMENT(currency_symbol), RENDER_ARGUMENT(system_currency_symbol),
                      RENDER_ARGUMENT(default_font_color), RENDER_ARGUMENT(negative_num_format),
                      RENDER_ARGUMENT(reporttype1)});
  }

  Result<void> Open() {
    cells_ =
        CellStyle(TRY(render_values::IsTrue(interactive_)), font_size_, font_family_, tail_.colour);
    return {};
  }

  RenderOutput& out() { return out_; }
  RenderUtilities& uc() { return uc_; }
  CellStyle& cells() { return cells_; }

  // The opening of a cell: "<td " + pre-cell style + ">" (or `spaced_export` for the flipped
  // cell), interactive `interactive_open`.
  Result<void> OpenCell(std::u16string_view export_open, std::u16string_view interactive_open) {
    if (cells_.interactive()) return out_.Write(interactive_open);
    std::u16string_view pre_cell = TRY(cells_.PreCell(uc_));
    return out_.Write({export_open, pre_cell, html::kTagEnd});
  }

  // One quantity: `between` writes what separates the total from its share (a new cell, or
  // "<br>").
  template <class Between>
  Result<void> WriteQuantity(const VARIANT& quantity, std::u16string_view export_open,
                             std::u16string_view interactive_open, Between between) {
    std::u16string name = TRY(render_values::TextOf(quantity));
    TRY(OpenCell(export_open, interactive_open));
    std::optional<std::u16string> font = TRY(QuantityFont(settings_, name));
    if (font) TRY(out_.Write({html::kFontOpen, *font, html::kTagEnd}));
    Variant digits = TRY(TotalDigits(uc_, settings_, name));
    TotalType type = TRY(TotalTypeOf(TRY(types_.Read(quantity))));
    Variant total = TRY(totals_.Read(quantity));
    Variant denominator_total = TRY(denominator_totals_.Read(quantity));
    Variant quantity_denominator = TRY(quantity_denominators_.Read(quantity));
    Variant format = TRY(formats_.Read(quantity));
    TotalFigures figures{quantity, total, denominator_total, quantity_denominator, format};
    TRY(out_.Write(TRY(TotalText(uc_, type, figures, digits, tail_, row_keys_))));
    if (HasShare(type) && TRY(ShowsPercentage(settings_, name))) {
      TRY(between(font));
      GroupShare share{uc_,
                       totals_,
                       denominator_totals_,
                       grand_totals_,
                       grand_denominators_,
                       tail_.negative_num_format};
      TRY(out_.Write(TRY(share.Text(quantity, type))));
    }
    if (font) TRY(out_.Write(html::kFontClose));
    return out_.Write(html::kCellEnd);
  }

 private:
  GroupTotals(const VARIANT& sb, const VARIANT& uc, const VARIANT& interactive,
              const VARIANT& font_size, const VARIANT& font_family, const VARIANT& types,
              const VARIANT& formats, const VARIANT& quantity_denominators, const VARIANT& totals,
              const VARIANT& denominator_totals, const VARIANT& grand_totals,
              const VARIANT& grand_denominators, const VARIANT& row_keys, const FormatterTail& tail)
      : out_(sb),
        uc_(uc),
        interactive_(interactive),
        font_size_(font_size),
        font_family_(font_family),
        row_keys_(row_keys),
        tail_(tail),
        cells_(false, font_size, font_family, tail.colour),
        types_(types),
        formats_(formats),
        quantity_denominators_(quantity_denominators),
        totals_(totals),
        denominator_totals_(denominator_totals),
        grand_totals_(grand_totals),
        grand_denominators_(grand_denominators),
        settings_(tail.settings) {}

  RenderOutput out_;
  RenderUtilities uc_;
  const VARIANT& interactive_;
  const VARIANT& font_size_;
  const VARIANT& font_family_;
  const VARIANT& row_keys_;
  FormatterTail tail_;
  CellStyle cells_;
  KeyedItems types_, formats_, quantity_denominators_, totals_, denominator_totals_, grand_totals_,
      grand_denominators_, settings_;
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
  // The title: "<td colspan=N" + style + "><b>TITLE(ROWS) <i>GROUP</i></b></td>".
  std::u16string title = group.cells().interactive() ? u"<td class=br colspan=" : u"<td colspan=";
  html_safety::AppendAttributeValue(
      title, TRY(render_values::TextOf(RENDER_ARGUMENT(numDescriptionColumns))));
  if (!group.cells().interactive()) title.append(TRY(group.cells().PreCell(group.uc())));
  title.append(u"><b>");
  html_safety::AppendText(title, TRY(render_values::TextOf(RENDER_ARGUMENT(totalTitle))));
  title.append(u"(");
  html_safety::AppendText(title, TRY(render_values::TextOf(RENDER_ARGUMENT(numGroupRows))));
  title.append(u") <i>");
  html_safety::AppendText(title, TRY(render_values::TextOf(RENDER_ARGUMENT(groupdescr))));
  title.append(u"</i></b></td>");
  TRY(out.Write(title));
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
