// Drill-down links of report output (see render_links.h).
#include "tabulix32/render/render_links.h"

#include "platform/automation/text_case.h"
#include "tabulix32/render/html_safety.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/render_values.h"

void AppendAnchor(std::u16string& out, AnchorForm form, std::u16string_view colour,
                  std::u16string_view function, std::u16string_view clause) {
  switch (form) {
    case AnchorForm::ColouredSpacedHref:
    case AnchorForm::ColouredHref:
    case AnchorForm::ColouredPlain:
      out.append(html::kAnchorColourOpen).append(colour).append(html::kAnchorColourEnd);
      break;
    case AnchorForm::Plain:
    case AnchorForm::PlainSpaced:
      out.append(html::kPlainAnchorOpen);
      break;
  }
  switch (form) {
    case AnchorForm::ColouredSpacedHref:
      out.append(html::kMouseHandlers).append(html::kSpacedScriptHref);
      break;
    case AnchorForm::ColouredHref:
      out.append(html::kMouseHandlers).append(html::kScriptHref);
      break;
    case AnchorForm::ColouredPlain:
      out.append(html::kSpacedScriptHref);
      break;
    case AnchorForm::Plain:
    case AnchorForm::PlainSpaced:
      break;
  }
  out.append(function).append(html::kCallOpen);
  html_safety::AppendScriptArgument(out, clause);
  out.append(form == AnchorForm::PlainSpaced ? html::kSpacedCallEnd : html::kCallEnd);
}

Result<std::u16string> OtherRowClause(RenderUtilities& uc, bool grouped, const VARIANT& groupby,
                                      const VARIANT& groupkey) {
  std::u16string clause(html::kOtherRowClause);
  if (!grouped) return clause;
  Variant description = TRY(uc.Call(UtilityMember::getDateReportDescription, {groupby}));
  std::u16string period = TRY(render_values::TextOf(description));
  if (!period.empty()) clause.append(html::kOtherDateVariable).append(ToLower(period));
  clause.append(html::kOtherGroupVariable);
  html_safety::AppendQueryValue(clause, TRY(render_values::TextOf(groupkey)));
  return clause;
}

Result<std::u16string> OtherRowTitleCell(RenderUtilities& uc, CellStyle& cells,
                                         const VARIANT& columns, const VARIANT& title,
                                         const VARIANT& colour, std::u16string_view function,
                                         std::u16string_view clause) {
  std::u16string cell = TRY(SpanningCellOpening(uc, cells, u"<td class=br align=\"right\" colspan=",
                                                u"<td align=right colspan=", columns));
  std::u16string title_text = html_safety::Text(TRY(render_values::TextOf(title)));
  if (!cells.interactive()) {
    cell.append(html::kTagEnd).append(title_text).append(html::kCellEnd);
    return cell;
  }
  cell.append(html::kTagEnd);
  AppendAnchor(cell, AnchorForm::ColouredHref, TRY(render_values::TextOf(colour)), function,
               clause);
  cell.append(html::kBoldOpen).append(title_text).append(html::kBoldClose);
  cell.append(html::kAnchorEnd).append(html::kCellEnd);
  return cell;
}
