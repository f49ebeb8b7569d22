' The report of tabulix32_render_bench.cpp as a page writes it: 10,000 rows of 5 quantities in
' 100 groups, each row's quantity cells with their share of the report total, a group-total row
' per group and the grand-total row. Writes the HTML to standard output and, on standard error,
' the seconds the rendering took and the formatted cells per second.
Option Explicit

Const ROWS = 10000, ROWS_PER_GROUP = 100, QUANTITIES = 5

Function NewDictionary()
  Set NewDictionary = CreateObject("Scripting.Dictionary")
End Function

' A quantity's value in a row: the same formula as the C++ page.
Function ValueOf(row, quantity)
  ValueOf = ((row * 37 + quantity * 101) Mod 1000) + 0.25 * quantity
End Function

Dim rr, uc, sb
Set rr = CreateObject("Tabulix32.ReportRender")
Set uc = CreateObject("Tabulix32.UtilitiesClass")
Set sb = CreateObject("Tabulix32.StringBuffer")

Dim default_font_size, default_font_family, default_font_color, currency_symbol
Dim system_currency_symbol, negative_num_format, reporttype1, report_rows
Dim enable_nondrilldown_hyperlinks, group_print_style, numDescriptionColumns, totalTitle
default_font_size = "8" : default_font_family = "Tahoma" : default_font_color = "#000000"
currency_symbol = "" : system_currency_symbol = "$" : negative_num_format = ""
reporttype1 = "customer" : report_rows = "Yes" : enable_nondrilldown_hyperlinks = True
group_print_style = "" : numDescriptionColumns = 1

Dim reportVisibleQtys, cache_schemaReportQuantities, repTotalTypes, repQtyFormats, repQtyDenoms
Dim reportQtyNum, reportQtyDenom, reportHasDenom, reportQtyFormat, grandTotals, grandTotalDenoms
Dim allKeys, groupKeys(99), formats, q, name, row, key, cell, value, sums(5), denominatorSum
Set reportVisibleQtys = NewDictionary() : Set cache_schemaReportQuantities = NewDictionary()
Set repTotalTypes = NewDictionary() : Set repQtyFormats = NewDictionary()
Set repQtyDenoms = NewDictionary() : Set reportQtyNum = NewDictionary()
Set reportQtyDenom = NewDictionary() : Set reportHasDenom = NewDictionary()
Set reportQtyFormat = NewDictionary() : Set grandTotals = NewDictionary()
Set grandTotalDenoms = NewDictionary() : Set allKeys = NewDictionary()
formats = Array("", "number", "number", "number", "currency", "percent")
For q = 1 To QUANTITIES
  name = "q" & q
  reportVisibleQtys.Add name, ""
  If q = 5 Then cache_schemaReportQuantities.Add name & "|numdigits", 1 Else cache_schemaReportQuantities.Add name & "|numdigits", 2
  cache_schemaReportQuantities.Add name & "|showPercentage", "Yes"
  If q = 2 Then cache_schemaReportQuantities.Add name & "|all_format", "color=navy" Else cache_schemaReportQuantities.Add name & "|all_format", ""
  If q = 5 Then repTotalTypes.Add name, "average" Else repTotalTypes.Add name, "sum"
  repQtyFormats.Add name, formats(q)
  If q = 5 Then repQtyDenoms.Add name, "cost" Else repQtyDenoms.Add name, ""
  sums(q) = 0
Next
denominatorSum = 0
For row = 0 To 99
  Set groupKeys(row) = NewDictionary()
Next
For row = 0 To ROWS - 1
  key = "R" & row
  allKeys.Add key, key
  groupKeys(row \ ROWS_PER_GROUP).Add key, key
  For q = 1 To QUANTITIES
    cell = key & "_q" & q
    value = ValueOf(row, q)
    reportQtyNum.Add cell, value
    If q = 5 Then
      reportQtyDenom.Add cell, value + 50
      denominatorSum = denominatorSum + value + 50
    Else
      reportQtyDenom.Add cell, ""
    End If
    reportHasDenom.Add cell, (q = 5)
    reportQtyFormat.Add cell, formats(q)
    sums(q) = sums(q) + value
  Next
Next
For q = 1 To QUANTITIES
  grandTotals.Add "q" & q, sums(q)
Next
grandTotalDenoms.Add "q5", denominatorSum

Dim colTotals, colTotalDenoms, reportKeys, groupdescr, numGroupRows, rep_key, group
Dim grand_total, numRows, started, seconds
grand_total = "Yes" : numRows = ROWS
started = Timer
For group = 0 To ROWS \ ROWS_PER_GROUP - 1
  Set colTotals = NewDictionary() : Set colTotalDenoms = NewDictionary()
  For row = group * ROWS_PER_GROUP To (group + 1) * ROWS_PER_GROUP - 1
    rep_key = "R" & row
    sb.append "<tr>"
    rr.analysis_drilldown_quantities sb, uc, reportVisibleQtys, reportQtyNum, reportQtyDenom, _
        reportHasDenom, reportQtyFormat, repTotalTypes, colTotals, colTotalDenoms, grandTotals, _
        grandTotalDenoms, cache_schemaReportQuantities, default_font_size, default_font_family, _
        default_font_color, currency_symbol, system_currency_symbol, negative_num_format, _
        reporttype1, report_rows, enable_nondrilldown_hyperlinks, rep_key
    sb.append "</tr>"
  Next
  groupdescr = "Group " & group : numGroupRows = ROWS_PER_GROUP : totalTitle = "Total "
  Set reportKeys = groupKeys(group)
  rr.renderGroupedTotals sb, uc, reportVisibleQtys, reportKeys, repTotalTypes, repQtyFormats, _
      repQtyDenoms, colTotals, colTotalDenoms, grandTotals, grandTotalDenoms, _
      cache_schemaReportQuantities, default_font_size, default_font_family, default_font_color, _
      currency_symbol, system_currency_symbol, negative_num_format, reporttype1, _
      enable_nondrilldown_hyperlinks, group_print_style, groupdescr, numDescriptionColumns, _
      totalTitle, numGroupRows
Next
totalTitle = "Grand total "
rr.analysis_ShowGrandTotals sb, uc, reportVisibleQtys, allKeys, repTotalTypes, repQtyFormats, _
    repQtyDenoms, grandTotals, grandTotalDenoms, cache_schemaReportQuantities, default_font_size, _
    default_font_family, default_font_color, currency_symbol, system_currency_symbol, _
    negative_num_format, reporttype1, enable_nondrilldown_hyperlinks, numDescriptionColumns, _
    totalTitle, grand_total, numRows
seconds = Timer - started

Dim html : html = sb.toString()
WScript.StdOut.Write html
Dim cells : cells = ROWS * QUANTITIES * 2 + (ROWS \ ROWS_PER_GROUP) * QUANTITIES * 2 + QUANTITIES
WScript.StdErr.WriteLine "seconds " & seconds & " cells " & cells & " chars " & Len(html)
