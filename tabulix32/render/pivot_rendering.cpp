// The pivot members: the cells of one heading of a row (renderPivotQuantities), a row's total
// column (analysis_pivot_nonfirstrow) and "other" column (pivot_OtherCol), the "other" row
// (pivot_OtherRow), and the group-total and grand-total rows (renderPivotGroupedTotals,
// utilities_showPivotGrandTotals). Running totals are kept per quantity: row, group and grand
// totals by the row members, column totals by the page (and the "other" row).
#include "platform/automation/conversion.h"
#include "platform/automation/text_case.h"
#include "tabulix32/render/html_safety.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/in_out_argument.h"
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

namespace {

using pivot::Text;

// Resets the group totals of every quantity when a new group starts: 0 under every heading of
// columnDesc and under the group's "other" entries, "" for a date quantity.
Result<void> ResetGroupTotals(const Layout& layout, const VARIANT& headings_collection,
                              const VARIANT& group_totals, const VARIANT& group_denominators,
                              const VARIANT& group_grand, const VARIANT& group_grand_denominators) {
  std::vector<Variant> headings = TRY(report_data::KeysOf(headings_collection));
  Variant zero = Variant::FromI2(0);
  Variant empty_text = Text(u"");
  for (const pivot::Quantity& quantity : layout.quantities()) {
    const Variant& start = quantity.is_date ? empty_text : zero;
    Variant per_heading = TRY(pivot::TotalOf(group_totals, quantity.index));
    std::vector<Variant> keys = headings;
    for (Variant& key : TRY(report_data::KeysOf(per_heading))) {
      std::u16string text = TRY(render_values::TextOf(key));
      if (text.starts_with(analysis_keys::kOtherPrefix)) keys.push_back(std::move(key));
    }
    for (const Variant& heading : keys) {
      TRY(pivot::SetHeadingTotal(group_totals, quantity.index, heading, start));
      if (!quantity.is_date) {
        TRY(pivot::SetHeadingTotal(group_denominators, quantity.index, heading, zero));
      }
    }
    TRY(pivot::SetTotal(group_grand, quantity.index, start));
    if (!quantity.is_date) TRY(pivot::SetTotal(group_grand_denominators, quantity.index, zero));
  }
  return {};
}

}  // namespace

// renderPivotQuantities: the cells of heading columnValue of a row (when rows are written),
// and the row's values added to the row, group and grand totals (always).
Result<Variant> ReportRender::renderPivotQuantities(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRenderPivotQuantitiesParameters;
  Layout layout(LayoutArguments<kParameters>(arguments));
  TRY(layout.Open());
  RenderUtilities& uc = layout.uc();
  bool grouped = TRY(render_values::IsTrue(RENDER_ARGUMENT(isGrouped)));
  // 1. A new group restarts the group totals.
  InOutArgument new_group(arguments, RENDER_POSITION(newGroup));
  if (grouped && TRY(render_values::IsTrue(new_group.value()))) {
    TRY(ResetGroupTotals(layout, RENDER_ARGUMENT(columnDesc), RENDER_ARGUMENT(groupTotal),
                         RENDER_ARGUMENT(groupTotalDenom), RENDER_ARGUMENT(groupGrandTotal),
                         RENDER_ARGUMENT(groupGrandTotalDenom)));
    TRY(new_group.Set(Variant::FromBool(false)));
  }
  // The values of the row under this heading.
  report_data::KeyedItems settings(RENDER_ARGUMENT(cache_schemaReportQuantities));
  const VARIANT& rows = RENDER_ARGUMENT(rowsReport);
  const VARIANT& row = RENDER_ARGUMENT(repRowCounter);
  std::vector<Entry> entries;
  for (const pivot::Quantity& quantity : layout.quantities()) {
    Entry entry;
    Variant digits = TRY(TotalDigits(uc, settings, quantity.text));
    auto value_of = [&](const VARIANT& columns) -> Result<Variant> {
      Variant column = TRY(report_data::ItemAt(columns, quantity.index));
      const VARIANT indices[] = {column, row};
      Variant cell = TRY(report_data::ItemAt(rows, indices));
      return uc.Call(UtilityMember::changeValueFormat, {cell, quantity.format, digits});
    };
    entry.numerator = TRY(value_of(RENDER_ARGUMENT(pivotQuantities_sqlColumn)));
    entry.denominator = quantity.has_denominator
                            ? TRY(value_of(RENDER_ARGUMENT(pivotQuantitiesDnm_sqlColumn)))
                            : Text(u"");
    entries.push_back(std::move(entry));
  }
  // 2. The cells.
  if (TRY(render_values::IsYes(RENDER_ARGUMENT(report_rows)))) {
    const VARIANT key_indices[] = {RENDER_ARGUMENT(keyFieldSQLColumn), row};
    bool keyed = TRY(report_data::ItemAt(rows, key_indices)).vt != VT_NULL;
    bool analysis = TRY(render_values::IsTrue(RENDER_ARGUMENT(config_analysis)));
    bool linked_row = keyed && layout.drill_down() && analysis &&
                      TRY(render_values::IsTrue(RENDER_ARGUMENT(enableLinkGrid)));
    bool side_by_side = TRY(render_values::Equals(RENDER_ARGUMENT(pivotqty), u"allh"));
    std::u16string clause = TRY(render_values::TextOf(RENDER_ARGUMENT(linkClause)));
    std::u16string heading = ToLower(TRY(render_values::TextOf(RENDER_ARGUMENT(columnValue))));
    bool other_rows = TRY(render_values::IsTrue(RENDER_ARGUMENT(showOtherRow)));
    std::u16string column_key = TRY(render_values::TextOf(RENDER_ARGUMENT(cv0)));
    pivot::OtherRowValues others{report_data::KeyedItems(RENDER_ARGUMENT(otherPivotRow)),
                                 report_data::KeyedItems(RENDER_ARGUMENT(otherPivotRow_dnm))};
    for (size_t i = 0; i < entries.size(); ++i) {
      const pivot::Quantity& quantity = layout.quantities()[i];
      Entry& entry = entries[i];
      if (linked_row && (quantity.index == 1 || side_by_side)) {
        entry.anchor = pivot::GridAnchor(layout.LinkColour(quantity), clause);
      }
      entry.empty_colour = quantity.index == 1 && analysis;
      if (!quantity.shows_share) continue;
      Variant whole =
          TRY(pivot::HeadingTotalOf(RENDER_ARGUMENT(columnTotal), quantity.index, Text(heading)));
      Variant whole_denominator;
      if (quantity.has_denominator) {
        whole_denominator = TRY(pivot::HeadingTotalOf(
            RENDER_ARGUMENT(columnTotalDenom), quantity.index, RENDER_ARGUMENT(columnValue)));
      }
      if (other_rows) {
        std::u16string prefix(analysis_keys::kKeyPrefix);
        prefix.append(column_key);
        std::vector<std::u16string> keys;
        if (grouped) {
          keys =
              TRY(pivot::GroupOtherKeys(prefix, quantity.text, RENDER_ARGUMENT(groupId),
                                        RENDER_ARGUMENT(numOfGroups), RENDER_ARGUMENT(arrGroup)));
        } else {
          keys.push_back(pivot::OtherValueKey(prefix, false, u"", quantity.text));
        }
        for (const std::u16string& key : keys) {
          TRY(others.AddInto(key, quantity.has_denominator, whole, whole_denominator));
        }
      }
      TRY(pivot::SetShare(uc, entry, quantity.has_denominator, whole, whole_denominator));
    }
    TRY(layout.WriteCells(CellKind::Value, entries, FontSpacing::One));
  }
  // 3. The totals, whether or not rows are written.
  const VARIANT& heading = RENDER_ARGUMENT(columnValue);
  pivot::TotalTargets numerators{&RENDER_ARGUMENT(rowTotal), &RENDER_ARGUMENT(grandTotal), nullptr,
                                 grouped ? &RENDER_ARGUMENT(groupTotal) : nullptr,
                                 grouped ? &RENDER_ARGUMENT(groupGrandTotal) : nullptr};
  pivot::TotalTargets denominators{&RENDER_ARGUMENT(rowTotalDenom),
                                   &RENDER_ARGUMENT(grandTotalDenom), nullptr,
                                   grouped ? &RENDER_ARGUMENT(groupTotalDenom) : nullptr,
                                   grouped ? &RENDER_ARGUMENT(groupGrandTotalDenom) : nullptr};
  for (size_t i = 0; i < entries.size(); ++i) {
    const pivot::Quantity& quantity = layout.quantities()[i];
    TRY(pivot::AddToTotals(quantity, numerators, heading, entries[i].numerator, true));
    if (quantity.has_denominator) {
      TRY(pivot::AddToTotals(quantity, denominators, heading, entries[i].denominator, false));
    }
  }
  return Variant();
}

// analysis_pivot_nonfirstrow: the row's total column (no links; a "<br>" where a percent line
// would stand, to keep the lines level), then "</tr>".
Result<Variant> ReportRender::analysis_pivot_nonfirstrow(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kAnalysisPivotNonfirstrowParameters;
  Layout layout(LayoutArguments<kParameters>(arguments));
  TRY(layout.Open());
  std::vector<Entry> entries;
  for (const pivot::Quantity& quantity : layout.quantities()) {
    Entry entry;
    entry.numerator = TRY(pivot::TotalOf(RENDER_ARGUMENT(rowTotal), quantity.index));
    entry.denominator = quantity.has_denominator
                            ? TRY(pivot::TotalOf(RENDER_ARGUMENT(rowTotalDenom), quantity.index))
                            : Text(u"");
    entry.share = ShareLine::BreakOnly;
    entries.push_back(std::move(entry));
  }
  TRY(layout.WriteCells(CellKind::Value, entries, FontSpacing::Two));
  TRY(layout.out().Write(html::kRowEnd));
  return Variant();
}
