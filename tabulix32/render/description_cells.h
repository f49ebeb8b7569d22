#pragma once
// What the description members share (row, stored-row, group and comparison descriptions):
// description cells with their placeholder, bold and link rules, the group variable of a
// link clause, and the label of a period identifier.

#include <string>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "tabulix32/render/html_safety.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/in_out_argument.h"
#include "tabulix32/render/render_cells.h"
#include "tabulix32/render/render_links.h"
#include "tabulix32/render/render_signatures.h"
#include "tabulix32/render/render_values.h"

// The cells of one call: where they go, the utilities, their form and the settings every
// description method reads.
struct DescriptionCells {
  RenderOutput out;
  RenderUtilities uc;
  CellStyle cells;
  bool drill_down;  // enable_drilldown_hyperlinks: links and bold texts
  std::u16string colour;

  // Opens a description cell: interactive "<td class=br>", export `export_open` + pre-cell
  // style + ">".
  Result<void> Open(std::u16string_view export_open) {
    if (cells.interactive()) return out.Write(html::kDescriptionCell);
    std::u16string_view pre_cell = TRY(cells.PreCell(uc));
    return out.Write({export_open, pre_cell, html::kTagEnd});
  }

  // A description's text: the placeholder "." for a missing one, else the text, bold when
  // asked.
  Result<void> WriteDescription(const VARIANT& description, bool bold) {
    if (TRY(render_values::IsMissingDescription(description))) {
      return out.Write(drill_down ? html::kBoldPlaceholder : html::kPlaceholder);
    }
    std::u16string text = html_safety::Text(TRY(render_values::TextOf(description)));
    if (!bold) return out.Write(text);
    return out.Write({html::kBoldOpen, text, html::kBoldClose});
  }

  Result<void> WriteAnchor(AnchorForm form, std::u16string_view function, const VARIANT& clause) {
    std::u16string anchor;
    AppendAnchor(anchor, form, colour, function, TRY(render_values::TextOf(clause)));
    return out.Write(anchor);
  }

  // The external-link marker of a template; `description` (by reference) loses its "<b>"s.
  Result<void> WriteMarker(const VARIANT& link_template, const VARIANT& description,
                           const VARIANT& enable_nondrilldown_hyperlinks) {
    Variant marker = TRY(uc.Call(UtilityMember::substituteLink,
                                 {link_template, description, enable_nondrilldown_hyperlinks}));
    return out.Write(TRY(ResultText(marker)));
  }
};

/// The description cells of a member whose parameters are kParameters.
template <const std::u16string_view& kParameters>
Result<DescriptionCells> OpenDescriptionCells(const DispatchArguments& arguments) {
  bool interactive = TRY(render_values::IsTrue(RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)));
  bool drill_down = TRY(render_values::IsTrue(RENDER_ARGUMENT(enable_drilldown_hyperlinks)));
  std::u16string colour = TRY(render_values::TextOf(RENDER_ARGUMENT(default_font_color)));
  return DescriptionCells{
      RenderOutput(RENDER_ARGUMENT(sb)), RenderUtilities(RENDER_ARGUMENT(uc)),
      CellStyle(interactive, RENDER_ARGUMENT(default_font_size),
                RENDER_ARGUMENT(default_font_family), RENDER_ARGUMENT(default_font_color)),
      drill_down, std::move(colour)};
}

/// linkClause = uc.changeQSVariable(linkClause, "groupby", "").
Result<void> ClearGroupVariable(RenderUtilities& uc, InOutArgument& clause);

// uc.getDescription(report type, value, week start, year start, year offset).
struct Describer {
  RenderUtilities& uc;
  const VARIANT& week_start_day;
  const VARIANT& year_start_month;
  const VARIANT& year_offset;

  Result<Variant> operator()(const VARIANT& report_type, const VARIANT& value) {
    return uc.Call(UtilityMember::getDescription,
                   {report_type, value, week_start_day, year_start_month, year_offset});
  }
};

// The link template of a description column: linkurl_key for the column "groupField", else
// linkUrlDescr(column).
Result<Variant> LinkTemplate(const VARIANT& column, const VARIANT& key_template,
                             const VARIANT& column_templates);
