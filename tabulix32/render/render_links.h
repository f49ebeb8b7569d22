#pragma once
// The drill-down links of report output: anchors that call the page's drl, drlRow or drlGrid
// with a query-string clause, the clause of an "other" row, and the title cell of an "other"
// row. Clauses pass html_safety::AppendScriptArgument on their way into an anchor.

#include <string>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "tabulix32/render/render_cells.h"
#include "tabulix32/render/utilities_calls.h"

/// How an anchor is laid out.
enum class AnchorForm {
  /// "<a style="color:C;"" + handlers + " href="javascript:F('...', '', '')">" (row key cells)
  ColouredSpacedHref,
  /// The same with "href=" directly after the handlers (description cells, other rows).
  ColouredHref,
  /// "<a style="color:C;" href="javascript:F('...', '', '')">": no handlers (pivot cells).
  ColouredPlain,
  /// "<a href="javascript:F('...', '', '')">" (stored key cells).
  Plain,
  /// "<a href="javascript:F('...', '', '')" > " (comparison key cells).
  PlainSpaced,
};

/// Appends an anchor calling `function` ("drl" + suffix, "drlRow", "drlGrid") with `clause`.
void AppendAnchor(std::u16string& out, AnchorForm form, std::u16string_view colour,
                  std::u16string_view function, std::u16string_view clause);

/// The clause of an "other" row: "%otherrow%=1"; in a grouped report followed by
/// "&%other_date%=" + the lower-cased uc.getDateReportDescription(groupby) when that is not
/// empty, and "&%othergroupby%=" + groupkey (an "&" in the key written as "%26").
Result<std::u16string> OtherRowClause(RenderUtilities& uc, bool grouped, const VARIANT& groupby,
                                      const VARIANT& groupkey);

/// The title cell of an "other" row: export "<td align=right colspan=N" + pre-cell style + ">"
/// + title + "</td>"; interactive "<td class=br align="right" colspan=N>" + an anchor to
/// `function` with `clause` + "<b>" + title + "</b></a></td>".
Result<std::u16string> OtherRowTitleCell(RenderUtilities& uc, CellStyle& cells,
                                         const VARIANT& columns, const VARIANT& title,
                                         const VARIANT& colour, std::u16string_view function,
                                         std::u16string_view clause);
