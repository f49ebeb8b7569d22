// The pivot's "other" column of a row (pivot_OtherCol), its "other" row (pivot_OtherRow), and
// its group-total and grand-total rows (renderPivotGroupedTotals,
// utilities_showPivotGrandTotals).
#include "platform/automation/conversion.h"
#include "tabulix32/render/html_safety.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/pivot_cells.h"
#include "tabulix32/render/render_links.h"
#include "tabulix32/render/render_signatures.h"
#include "tabulix32/render/render_values.h"
#include "tabulix32/render/report_render.h"
#include "tabulix32/utilities/analysis_keys.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using pivot::CellKind;
using pivot::Entry;
using pivot::FontSpacing;
using pivot::Layout;
using pivot::LayoutArguments;
using pivot::ShareLine;
using pivot::Text;

namespace {

constexpr std::u16string_view kSideBySide = u"allh";
// The column of the "other" values in the column totals, and the corner of the "other" row.
constexpr std::u16string_view kOtherColumn = u"other";
constexpr std::u16string_view kOtherCorner = u"other_comb";
// What a pivot "other" link asks for: the other row's cell, the other column's, the corner.
constexpr std::u16string_view kOtherRowValue = u"1";
constexpr std::u16string_view kOtherColumnValue = u"2";
constexpr std::u16string_view kOtherCornerValue = u"3";
constexpr std::u16string_view kKeyPlaceholder = u"%key%";
constexpr std::u16string_view kHeadingPlaceholder = u"%key2%";
// A heading is "key_" followed by the column value.
constexpr size_t kHeadingPrefixLength = 4;

// An "other" value under `key` when it exists: the value and its denominator, added to the
// running totals; nothing otherwise.
Result<Entry> OtherEntry(const pivot::Quantity& quantity, report_data::KeyedItems& values,
                         report_data::KeyedItems& denominators, std::u16string_view key,
                         const pivot::TotalTargets& numerators,
                         const pivot::TotalTargets& denominator_totals, const VARIANT& heading) {
  Entry entry;
  entry.present = TRY(values.Exists(key));
  if (!entry.present) return entry;
  entry.numerator = TRY(values.Read(key));
  entry.denominator = quantity.has_denominator ? TRY(denominators.Read(key)) : Text(u"");
  TRY(pivot::AddToTotals(quantity, numerators, heading, entry.numerator, true));
  if (quantity.has_denominator) {
    TRY(pivot::AddToTotals(quantity, denominator_totals, heading, entry.denominator, false));
  }
  return entry;
}

// The link of an "other" cell, for the first quantity or every one side by side.
void LinkOther(const Layout& layout, const pivot::Quantity& quantity, bool side_by_side,
               std::u16string_view clause, Entry& entry) {
  if (!entry.present || !layout.drill_down() || (quantity.index != 1 && !side_by_side)) return;
  entry.anchor = pivot::GridAnchor(layout.LinkColour(quantity), clause);
  entry.empty_colour = true;
}

// The share line of a cell against the column total `heading` of its quantity.
Result<void> ShareOfColumn(Layout& layout, const pivot::Quantity& quantity, Entry& entry,
                           const VARIANT& column_totals, const VARIANT& column_denominators,
                           const VARIANT& heading) {
  if (!entry.present || !quantity.shows_share) return {};
  Variant whole = TRY(pivot::HeadingTotalOf(column_totals, quantity.index, heading));
  Variant whole_denominator;
  if (quantity.has_denominator) {
    whole_denominator = TRY(pivot::HeadingTotalOf(column_denominators, quantity.index, heading));
  }
  return pivot::SetShare(layout.uc(), entry, quantity.has_denominator, whole, whole_denominator);
}

// The cells of a total column: totals(i) over denominators(i), a "<br>" where a percent line
// would stand.
Result<void> WriteTotalColumn(Layout& layout, CellKind kind, const VARIANT& totals,
                              const VARIANT& denominators, FontSpacing spacing, ShareLine share) {
  std::vector<Entry> entries;
  for (const pivot::Quantity& quantity : layout.quantities()) {
    Entry entry;
    entry.numerator = TRY(pivot::TotalOf(totals, quantity.index));
    entry.denominator =
        quantity.has_denominator ? TRY(pivot::TotalOf(denominators, quantity.index)) : Text(u"");
    entry.share = share;
    entries.push_back(std::move(entry));
  }
  return layout.WriteCells(kind, entries, spacing);
}

// The title cell of a pivot total row: "<td class=CLASS align=ALIGN colspan=N" + the pre-cell
// style when drill-down is off + ">" + `inner_open` + title + `inner_close` + "</td>".
Result<std::u16string> TotalTitleCell(Layout& layout, std::u16string_view open,
                                      const VARIANT& columns, std::u16string_view inner_open,
                                      std::u16string title, std::u16string_view inner_close) {
  std::u16string cell(open);
  html_safety::AppendAttributeValue(cell, TRY(render_values::TextOf(columns)));
  if (!layout.drill_down()) cell.append(TRY(layout.cells().PreCell(layout.uc())));
  cell.append(html::kTagEnd).append(inner_open).append(title).append(inner_close);
  cell.append(html::kCellEnd);
  return cell;
}

}  // namespace

// pivot_OtherCol: the "other" column of row lkey: each quantity's other value where it exists,
// linked to the row's other columns, and added to the row, group and grand totals.
Result<Variant> ReportRender::pivot_OtherCol(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kPivotOtherColParameters;
  Layout layout(LayoutArguments<kParameters>(arguments));
  TRY(layout.Open());
  bool grouped = TRY(render_values::IsTrue(RENDER_ARGUMENT(isGrouped)));
  bool side_by_side = TRY(render_values::Equals(RENDER_ARGUMENT(pivotqty), kSideBySide));
  std::u16string row_key = TRY(render_values::TextOf(RENDER_ARGUMENT(lkey)));
  std::u16string group = TRY(render_values::TextOf(RENDER_ARGUMENT(groupkey)));
  report_data::KeyedItems values(RENDER_ARGUMENT(otherPivotCol));
  report_data::KeyedItems denominators(RENDER_ARGUMENT(otherPivotCol_dnm));
  // The group's share of the other column is kept under "other_" + the row key.
  Variant group_heading = Text(std::u16string(analysis_keys::kOtherPrefix) + row_key);
  pivot::TotalTargets numerators{&RENDER_ARGUMENT(rowTotal), &RENDER_ARGUMENT(grandTotal), nullptr,
                                 grouped ? &RENDER_ARGUMENT(groupTotal) : nullptr,
                                 grouped ? &RENDER_ARGUMENT(groupGrandTotal) : nullptr};
  pivot::TotalTargets denominator_totals{
      &RENDER_ARGUMENT(rowTotalDenom), &RENDER_ARGUMENT(grandTotalDenom), nullptr,
      grouped ? &RENDER_ARGUMENT(groupTotalDenom) : nullptr,
      grouped ? &RENDER_ARGUMENT(groupGrandTotalDenom) : nullptr};
  std::optional<std::u16string> clause;
  std::vector<Entry> entries;
  Variant other_column = Text(kOtherColumn);
  for (const pivot::Quantity& quantity : layout.quantities()) {
    std::u16string key = pivot::OtherValueKey(std::u16string(analysis_keys::kOtherPrefix) + row_key,
                                              grouped, group, quantity.text);
    Entry entry = TRY(OtherEntry(quantity, values, denominators, key, numerators,
                                 denominator_totals, group_heading));
    if (entry.present && layout.drill_down() && !clause) {
      std::u16string other_clause = TRY(OtherRowClause(
          layout.uc(), grouped, RENDER_ARGUMENT(groupby), RENDER_ARGUMENT(groupkey)));
      clause = TRY(pivot::OtherCellClause(layout.uc(), other_clause, kKeyPlaceholder,
                                          RENDER_ARGUMENT(lkey), RENDER_ARGUMENT(range_char),
                                          RENDER_ARGUMENT(escape_char), kOtherColumnValue));
    }
    if (clause) LinkOther(layout, quantity, side_by_side, *clause, entry);
    TRY(ShareOfColumn(layout, quantity, entry, RENDER_ARGUMENT(columnTotal),
                      RENDER_ARGUMENT(columnTotalDenom), other_column));
    entries.push_back(std::move(entry));
  }
  TRY(layout.WriteCells(CellKind::Value, entries, FontSpacing::Two));
  return Variant();
}

// pivot_OtherRow: "<tr class=CLASS groupId="otherrow">", the title cell, for every heading the
// other values of the rows beyond those shown, the corner with the other column, the row's
// total column, "</tr>" — the markup only when rows are written; the totals always.
Result<Variant> ReportRender::pivot_OtherRow(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kPivotOtherRowParameters;
  Layout layout(LayoutArguments<kParameters>(arguments));
  TRY(layout.Open());
  RenderOutput& out = layout.out();
  bool written = TRY(render_values::IsYes(RENDER_ARGUMENT(report_rows)));
  bool grouped = TRY(render_values::IsTrue(RENDER_ARGUMENT(isGrouped)));
  bool side_by_side = TRY(render_values::Equals(RENDER_ARGUMENT(pivotqty), kSideBySide));
  std::u16string group = TRY(render_values::TextOf(RENDER_ARGUMENT(groupkey)));
  std::u16string other_clause;
  bool title_interactive =
      TRY(render_values::IsTrue(RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)));
  if (title_interactive || layout.drill_down()) {
    other_clause = TRY(
        OtherRowClause(layout.uc(), grouped, RENDER_ARGUMENT(groupby), RENDER_ARGUMENT(groupkey)));
  }
  if (written) {
    std::u16string row(html::kOtherRowOpen);
    html_safety::AppendAttributeValue(row, TRY(render_values::TextOf(RENDER_ARGUMENT(Class))));
    row.append(html::kOtherRowEnd);
    TRY(out.Write(row));
    CellStyle title_cells(title_interactive, RENDER_ARGUMENT(default_font_size),
                          RENDER_ARGUMENT(default_font_family),
                          RENDER_ARGUMENT(default_font_color));
    TRY(out.Write(TRY(OtherRowTitleCell(
        layout.uc(), title_cells, RENDER_ARGUMENT(descriptionColspan), RENDER_ARGUMENT(rowTitle),
        RENDER_ARGUMENT(default_font_color), html::kDrillDownRow, other_clause))));
  }
  report_data::KeyedItems values(RENDER_ARGUMENT(otherPivotRow));
  report_data::KeyedItems denominators(RENDER_ARGUMENT(otherPivotRow_dnm));
  pivot::TotalTargets numerators{&RENDER_ARGUMENT(rowTotal), &RENDER_ARGUMENT(grandTotal),
                                 &RENDER_ARGUMENT(columnTotal),
                                 grouped ? &RENDER_ARGUMENT(groupTotal) : nullptr,
                                 grouped ? &RENDER_ARGUMENT(groupGrandTotal) : nullptr};
  pivot::TotalTargets denominator_totals{
      &RENDER_ARGUMENT(rowTotalDenom), &RENDER_ARGUMENT(grandTotalDenom),
      &RENDER_ARGUMENT(columnTotalDenom), grouped ? &RENDER_ARGUMENT(groupTotalDenom) : nullptr,
      grouped ? &RENDER_ARGUMENT(groupGrandTotalDenom) : nullptr};
  // The headings' cells.
  std::vector<Variant> headings = TRY(report_data::ValuesOf(RENDER_ARGUMENT(arHeadings)));
  for (const Variant& heading : headings) {
    std::u16string heading_text = TRY(render_values::TextOf(heading));
    std::u16string_view prefix =
        grouped ? utilities_internal::TrimSpaces(heading_text) : std::u16string_view(heading_text);
    std::optional<std::u16string> clause;
    std::vector<Entry> entries;
    for (const pivot::Quantity& quantity : layout.quantities()) {
      std::u16string key = pivot::OtherValueKey(prefix, grouped, group, quantity.text);
      Entry entry = TRY(
          OtherEntry(quantity, values, denominators, key, numerators, denominator_totals, heading));
      if (!written) continue;
      if (entry.present && layout.drill_down() && !clause) {
        Variant column_value =
            Text(std::u16string_view(heading_text)
                     .substr(std::min(kHeadingPrefixLength, heading_text.size())));
        clause = TRY(pivot::OtherCellClause(layout.uc(), other_clause, kHeadingPlaceholder,
                                            column_value, RENDER_ARGUMENT(range_char),
                                            RENDER_ARGUMENT(escape_char), kOtherRowValue));
      }
      if (clause) LinkOther(layout, quantity, side_by_side, *clause, entry);
      TRY(ShareOfColumn(layout, quantity, entry, RENDER_ARGUMENT(columnTotal),
                        RENDER_ARGUMENT(columnTotalDenom), heading));
      entries.push_back(std::move(entry));
    }
    if (written) TRY(layout.WriteCells(CellKind::Value, entries, FontSpacing::One));
  }
  // The corner: the other rows of the other column.
  if (TRY(render_values::IsTrue(RENDER_ARGUMENT(showOtherCol)))) {
    report_data::KeyedItems corner_values(RENDER_ARGUMENT(otherPivotCol));
    report_data::KeyedItems corner_denominators(RENDER_ARGUMENT(otherPivotCol_dnm));
    Variant other_column = Text(kOtherColumn);
    // The corner belongs to the "other" column; the group keeps it with its other entries.
    Variant corner = Text(kOtherCorner);
    pivot::TotalTargets corner_numerators = numerators;
    pivot::TotalTargets corner_denominator_totals = denominator_totals;
    corner_numerators.group_heading = &corner;
    corner_denominator_totals.group_heading = &corner;
    std::u16string clause;
    if (layout.drill_down()) {
      clause = TRY(pivot::OtherCellClause(layout.uc(), other_clause, {}, other_column,
                                          RENDER_ARGUMENT(range_char), RENDER_ARGUMENT(escape_char),
                                          kOtherCornerValue));
    }
    std::vector<Entry> entries;
    for (const pivot::Quantity& quantity : layout.quantities()) {
      std::u16string key = pivot::OtherValueKey(kOtherCorner, grouped, group, quantity.text);
      Entry entry = TRY(OtherEntry(quantity, corner_values, corner_denominators, key,
                                   corner_numerators, corner_denominator_totals, other_column));
      if (!written) continue;
      LinkOther(layout, quantity, side_by_side, clause, entry);
      TRY(ShareOfColumn(layout, quantity, entry, RENDER_ARGUMENT(columnTotal),
                        RENDER_ARGUMENT(columnTotalDenom), other_column));
      entries.push_back(std::move(entry));
    }
    if (written) TRY(layout.WriteCells(CellKind::Value, entries, FontSpacing::One));
  }
  if (!written) return Variant();
  if (TRY(render_values::IsYes(RENDER_ARGUMENT(pivot_column)))) {
    TRY(WriteTotalColumn(layout, CellKind::Value, RENDER_ARGUMENT(rowTotal),
                         RENDER_ARGUMENT(rowTotalDenom), FontSpacing::Two, ShareLine::BreakOnly));
  }
  TRY(out.Write(html::kRowEnd));
  return Variant();
}

// renderPivotGroupedTotals: "<tr class=gt STYLE groupId="grouptotal">", the title cell, the
// group's totals per heading (with their share of the column), the group's other column and
// total column, "</tr>".
Result<Variant> ReportRender::renderPivotGroupedTotals(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRenderPivotGroupedTotalsParameters;
  Layout layout(LayoutArguments<kParameters>(arguments));
  TRY(layout.Open());
  RenderOutput& out = layout.out();
  std::u16string style = TRY(render_values::TextOf(RENDER_ARGUMENT(group_print_style)));
  TRY(out.Write({html::kGroupTotalRowOpen, style, html::kGroupTotalRowEnd}));
  std::u16string title = html_safety::Text(TRY(render_values::TextOf(RENDER_ARGUMENT(totalTitle))));
  title.append(u"(");
  html_safety::AppendText(title, TRY(render_values::TextOf(RENDER_ARGUMENT(groupdescr))));
  title.append(u")");
  TRY(out.Write(
      TRY(TotalTitleCell(layout, u"<td class=br align=right colspan=",
                         RENDER_ARGUMENT(descriptionColspan), u"<b><i>", title, u"</i></b>"))));
  bool other_rows = TRY(render_values::IsTrue(RENDER_ARGUMENT(showOtherRow)));
  pivot::OtherRowValues others{report_data::KeyedItems(RENDER_ARGUMENT(otherPivotRow)),
                               report_data::KeyedItems(RENDER_ARGUMENT(otherPivotRow_dnm))};
  // 1. The headings.
  std::vector<Variant> headings = TRY(report_data::ValuesOf(RENDER_ARGUMENT(arHeadings)));
  for (const Variant& heading : headings) {
    std::u16string heading_text = TRY(render_values::TextOf(heading));
    std::vector<Entry> entries;
    for (const pivot::Quantity& quantity : layout.quantities()) {
      Entry entry;
      entry.numerator =
          TRY(pivot::HeadingTotalOf(RENDER_ARGUMENT(groupTotal), quantity.index, heading));
      entry.denominator = quantity.has_denominator
                              ? TRY(pivot::HeadingTotalOf(RENDER_ARGUMENT(groupTotalDenom),
                                                          quantity.index, heading))
                              : Text(u"");
      if (quantity.shows_share) {
        Variant whole =
            TRY(pivot::HeadingTotalOf(RENDER_ARGUMENT(columnTotal), quantity.index, heading));
        Variant whole_denominator;
        if (quantity.has_denominator) {
          whole_denominator = TRY(
              pivot::HeadingTotalOf(RENDER_ARGUMENT(columnTotalDenom), quantity.index, heading));
        }
        if (other_rows) {
          std::vector<std::u16string> keys =
              TRY(pivot::GroupOtherKeys(heading_text, quantity.text, RENDER_ARGUMENT(groupId),
                                        RENDER_ARGUMENT(numOfGroups), RENDER_ARGUMENT(arrGroup)));
          for (const std::u16string& key : keys) {
            TRY(others.AddInto(key, quantity.has_denominator, whole, whole_denominator));
          }
        }
        TRY(pivot::SetShare(layout.uc(), entry, quantity.has_denominator, whole,
                            whole_denominator));
      }
      entries.push_back(std::move(entry));
    }
    TRY(layout.WriteCells(CellKind::Total, entries, FontSpacing::One));
  }
  // 2. The other column: the group's entries kept under "other_...".
  if (TRY(render_values::IsTrue(RENDER_ARGUMENT(showOtherCol)))) {
    Variant other_column = Text(kOtherColumn);
    std::vector<Entry> entries;
    for (const pivot::Quantity& quantity : layout.quantities()) {
      Entry entry;
      entry.numerator = Variant::FromI2(0);
      entry.denominator = quantity.has_denominator ? Variant::FromI2(0) : Text(u"");
      Variant per_heading = TRY(pivot::TotalOf(RENDER_ARGUMENT(groupTotal), quantity.index));
      for (const Variant& key : TRY(report_data::KeysOf(per_heading))) {
        if (!TRY(render_values::TextOf(key)).starts_with(analysis_keys::kOtherPrefix)) continue;
        std::optional<Variant> sum = TRY(
            render_values::Accumulate(entry.numerator, TRY(report_data::ItemAt(per_heading, key)),
                                      render_values::Accumulation::Values));
        if (sum) entry.numerator = std::move(*sum);
        if (!quantity.has_denominator) continue;
        Variant denominator =
            TRY(pivot::HeadingTotalOf(RENDER_ARGUMENT(groupTotalDenom), quantity.index, key));
        std::optional<Variant> denominator_sum = TRY(render_values::Accumulate(
            entry.denominator, denominator, render_values::Accumulation::Values));
        if (denominator_sum) entry.denominator = std::move(*denominator_sum);
      }
      if (quantity.shows_share) {
        Variant whole =
            TRY(pivot::HeadingTotalOf(RENDER_ARGUMENT(columnTotal), quantity.index, other_column));
        Variant whole_denominator;
        if (quantity.has_denominator) {
          whole_denominator = TRY(pivot::HeadingTotalOf(RENDER_ARGUMENT(columnTotalDenom),
                                                        quantity.index, other_column));
        }
        TRY(pivot::SetShare(layout.uc(), entry, quantity.has_denominator, whole,
                            whole_denominator));
      }
      entries.push_back(std::move(entry));
    }
    TRY(layout.WriteCells(CellKind::Total, entries, FontSpacing::One));
  }
  // 3. The group's total column.
  if (TRY(render_values::IsYes(RENDER_ARGUMENT(pivot_column)))) {
    TRY(WriteTotalColumn(layout, CellKind::Total, RENDER_ARGUMENT(groupGrandTotal),
                         RENDER_ARGUMENT(groupGrandTotalDenom), FontSpacing::One,
                         ShareLine::BreakOnly));
  }
  TRY(out.Write(html::kRowEnd));
  return Variant();
}

// utilities_showPivotGrandTotals: "<tr class=tot groupId="grandtotal">", the title cell, the
// column totals per heading, the other column's and the report's total, "</tr>"; no percent
// lines.
Result<Variant> ReportRender::utilities_showPivotGrandTotals(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kUtilitiesShowPivotGrandTotalsParameters;
  Layout layout(LayoutArguments<kParameters>(arguments));
  TRY(layout.Open());
  RenderOutput& out = layout.out();
  TRY(out.Write(html::kGrandTotalRow));
  std::u16string title = html_safety::Text(TRY(render_values::TextOf(RENDER_ARGUMENT(totalTitle))));
  TRY(out.Write(TRY(TotalTitleCell(layout, u"<td class=tf align=left colspan=",
                                   RENDER_ARGUMENT(descriptionColspan), html::kBoldOpen, title,
                                   html::kBoldClose))));
  auto write_column = [&](const VARIANT& heading) -> Result<void> {
    std::vector<Entry> entries;
    for (const pivot::Quantity& quantity : layout.quantities()) {
      Entry entry;
      entry.numerator =
          TRY(pivot::HeadingTotalOf(RENDER_ARGUMENT(columnTotal), quantity.index, heading));
      entry.denominator = quantity.has_denominator
                              ? TRY(pivot::HeadingTotalOf(RENDER_ARGUMENT(columnTotalDenom),
                                                          quantity.index, heading))
                              : Text(u"");
      entries.push_back(std::move(entry));
    }
    return layout.WriteCells(CellKind::Total, entries, FontSpacing::One);
  };
  for (const Variant& heading : TRY(report_data::ValuesOf(RENDER_ARGUMENT(arHeadings)))) {
    TRY(write_column(heading));
  }
  if (TRY(render_values::IsTrue(RENDER_ARGUMENT(showOtherCol)))) {
    TRY(write_column(Text(kOtherColumn)));
  }
  if (TRY(render_values::IsYes(RENDER_ARGUMENT(pivot_column))) &&
      TRY(render_values::IsTrue(RENDER_ARGUMENT(showLastRowTotal)))) {
    TRY(WriteTotalColumn(layout, CellKind::Total, RENDER_ARGUMENT(grandTotal),
                         RENDER_ARGUMENT(grandTotalDenom), FontSpacing::One, ShareLine::None));
  }
  TRY(out.Write(html::kRowEnd));
  return Variant();
}
