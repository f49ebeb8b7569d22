#pragma once
// The HTML and JavaScript vocabulary of report output. The browser page styles these classes
// and defines drl, drlRow, drlGrid, mOver and mOut; every character here is relied on.

#include <string_view>

namespace html {

// Cells. Export forms continue with the pre-cell style and ">".
inline constexpr std::u16string_view kDescriptionCell = u"<td class=br>";
inline constexpr std::u16string_view kRowDescriptionCellExport =
    u"<td style=\"mso-number-format:\\@\" class=br ";
inline constexpr std::u16string_view kDescriptionCellExport =
    u"<td style=\"mso-number-format:\\@\"";
inline constexpr std::u16string_view kQuantityCell = u"<td class=br align=right>";
inline constexpr std::u16string_view kQuantityCellExport = u"<td align=right";
inline constexpr std::u16string_view kQuantityCellExportSpaced = u"<td align=right ";
inline constexpr std::u16string_view kPlainCellExport = u"<td ";
inline constexpr std::u16string_view kTotalCell = u"<td class=tf align=right>";
inline constexpr std::u16string_view kTotalCellExport = u"<td class=tf align=right";
inline constexpr std::u16string_view kPivotCellExport = u"<td class=br_pivot align=right";
inline constexpr std::u16string_view kEmptyValueCell = u"<td class=br align=right>&nbsp;</td>";
inline constexpr std::u16string_view kTagEnd = u">";
inline constexpr std::u16string_view kCellEnd = u"</td>";
inline constexpr std::u16string_view kCellBetween = u"</td><td ";
inline constexpr std::u16string_view kCellBetweenInteractive = u"</td><td class=br>";
inline constexpr std::u16string_view kEmpty = u"&nbsp;";
inline constexpr std::u16string_view kLineBreak = u"<br>";

// Rows.
inline constexpr std::u16string_view kGroupTotalRowOpen = u"<tr class=gt ";
inline constexpr std::u16string_view kGroupTotalRowEnd = u" groupId=\"grouptotal\">";
inline constexpr std::u16string_view kOtherRowOpen = u"<tr class=";
inline constexpr std::u16string_view kOtherRowEnd = u" groupId=\"otherrow\">";
inline constexpr std::u16string_view kGrandTotalRow = u"<tr class=tot groupId=\"grandtotal\">";
inline constexpr std::u16string_view kRowEnd = u"</tr>";

// Text marks.
inline constexpr std::u16string_view kBoldOpen = u"<b>";
inline constexpr std::u16string_view kBoldClose = u"</b>";
inline constexpr std::u16string_view kItalicOpen = u"<i>";
inline constexpr std::u16string_view kItalicClose = u"</i>";
inline constexpr std::u16string_view kPlaceholder = u".";
inline constexpr std::u16string_view kBoldPlaceholder = u"<b>.</b>";
inline constexpr std::u16string_view kFontOpen = u"<font ";
inline constexpr std::u16string_view kFontClose = u"</font>";

// Links: "<a style=\"color:" colour ";\"" [handlers] href="javascript:FUNCTION('CLAUSE', '', '')">
inline constexpr std::u16string_view kAnchorColourOpen = u"<a style=\"color:";
inline constexpr std::u16string_view kAnchorColourEnd = u";\"";
inline constexpr std::u16string_view kMouseHandlers =
    u" onMouseOver=\"mOver(this,'#FF0000');\" onMouseOut=\"mOut(this,1);\"";
inline constexpr std::u16string_view kScriptHref = u"href=\"javascript:";
inline constexpr std::u16string_view kSpacedScriptHref = u" href=\"javascript:";
inline constexpr std::u16string_view kPlainAnchorOpen = u"<a href=\"javascript:";
inline constexpr std::u16string_view kCallOpen = u"('";
inline constexpr std::u16string_view kCallEnd = u"', '', '')\">";
inline constexpr std::u16string_view kSpacedCallEnd = u"', '', '')\" > ";
inline constexpr std::u16string_view kAnchorEnd = u"</a>";
inline constexpr std::u16string_view kDrillDown = u"drl";
inline constexpr std::u16string_view kDrillDownRow = u"drlRow";
inline constexpr std::u16string_view kDrillDownGrid = u"drlGrid";

// The clause of an "other" row's link; the page substitutes the %...% tokens.
inline constexpr std::u16string_view kOtherRowClause = u"%otherrow%=1";
inline constexpr std::u16string_view kOtherDateVariable = u"&%other_date%=";
inline constexpr std::u16string_view kOtherGroupVariable = u"&%othergroupby%=";
inline constexpr std::u16string_view kDrillValueToken = u"%drl_val%";

}  // namespace html
