<%@ Language=VBScript %>
<!--METADATA TYPE="TypeLib" NAME="ADO type library" UUID="{00000205-0000-0010-8000-00AA006D2EA4}"-->
<%
' Sales of one year by region and product, from the sample database (the data source
' "WendrelSales"), rendered by the report engine: a row per product with its units and revenue
' (and its share of the year's revenue), a total per region, a grand total; then each region's
' revenue beside the year before, with the change in percent.
Option Explicit
Dim pageTitle, year
year = Request.QueryString("year")
If year <> "2023" Then year = "2024"
pageTitle = "Sales by region and product, " & year

Dim rr, uc, sb
Set rr = Server.CreateObject("Tabulix32.ReportRender")
Set uc = Server.CreateObject("Tabulix32.UtilitiesClass")
Set sb = Server.CreateObject("Tabulix32.StringBuffer")

Function NewDictionary()
  Set NewDictionary = Server.CreateObject("Scripting.Dictionary")
End Function

' The rows of a query over one year's sales, as GetRows gives them: (column, row).
Function YearRows(connection, sql, whichYear)
  Dim command, records
  Set command = Server.CreateObject("ADODB.Command")
  Set command.ActiveConnection = connection
  command.CommandText = sql
  command.Parameters.Append command.CreateParameter("from", adVarWChar, adParamInput, 10, whichYear & "-01-01")
  command.Parameters.Append command.CreateParameter("to", adVarWChar, adParamInput, 10, (whichYear + 1) & "-01-01")
  Set records = command.Execute()
  If records.EOF Then YearRows = Empty Else YearRows = records.GetRows()
  records.Close
End Function

Dim conn
Set conn = Server.CreateObject("ADODB.Connection")
conn.Open "DSN=WendrelSales"

' Columns: 0 key (region/product), 1 region, 2 product, 3 units, 4 revenue.
Dim rowsReport
rowsReport = YearRows(conn, "SELECT region || '/' || product, region, product, SUM(quantity), " & _
    "ROUND(SUM(amount), 2) FROM sales WHERE sale_date >= ? AND sale_date < ? " & _
    "GROUP BY region, product ORDER BY region, product", year)
' Columns: 0 region, 1 revenue.
Dim thisYear, lastYear
Const kRegionRevenue = "SELECT region, ROUND(SUM(amount), 2) FROM sales WHERE sale_date >= ? AND sale_date < ? GROUP BY region ORDER BY region"
thisYear = YearRows(conn, kRegionRevenue, year)
lastYear = YearRows(conn, kRegionRevenue, year - 1)
conn.Close

' --- What the report shows and how -------------------------------------------------------------
Dim default_font_size, default_font_family, default_font_color
default_font_size = "8" : default_font_family = "Tahoma" : default_font_color = "#000000"
Dim currency_symbol, system_currency_symbol, negative_num_format, reporttype1
currency_symbol = "" : system_currency_symbol = "$" : negative_num_format = "" : reporttype1 = "product"
Dim range_char, escape_char : range_char = "-" : escape_char = "\"
Dim report_rows, enable_nondrilldown_hyperlinks, enable_drilldown_hyperlinks, config_analysis
' Interactive cells (class names, no inline styles), no drill-down links.
report_rows = "Yes" : enable_nondrilldown_hyperlinks = True
enable_drilldown_hyperlinks = False : config_analysis = False
Dim week_start_day, year_start_month, year_offset
week_start_day = 0 : year_start_month = 0 : year_offset = 0

Dim reportVisibleQtys, cache_schemaReportQuantities, repTotalTypes, repQtyFormats, repQtyDenoms
Set reportVisibleQtys = NewDictionary()
reportVisibleQtys.Add "units", "" : reportVisibleQtys.Add "revenue", ""
Set cache_schemaReportQuantities = NewDictionary()
cache_schemaReportQuantities.Add "units|numdigits", 0
cache_schemaReportQuantities.Add "revenue|numdigits", 2
cache_schemaReportQuantities.Add "revenue|showPercentage", "Yes"
Set repTotalTypes = NewDictionary() : repTotalTypes.Add "units", "sum" : repTotalTypes.Add "revenue", "sum"
Set repQtyFormats = NewDictionary() : repQtyFormats.Add "units", "number" : repQtyFormats.Add "revenue", "number"
Set repQtyDenoms = NewDictionary() : repQtyDenoms.Add "units", "" : repQtyDenoms.Add "revenue", ""

' The values of every row by "key_quantity", and the year's totals (the percentages need them
' before the first row is written).
Dim reportQtyNum, reportQtyDenom, reportHasDenom, reportQtyFormat, objDField_s, allRows
Set reportQtyNum = NewDictionary() : Set reportQtyDenom = NewDictionary()
Set reportHasDenom = NewDictionary() : Set reportQtyFormat = NewDictionary()
Set objDField_s = NewDictionary() : Set allRows = NewDictionary()
Dim grandTotals, grandTotalDenoms, numRows, r, q, key
Set grandTotals = NewDictionary() : grandTotals.Add "units", 0 : grandTotals.Add "revenue", 0
Set grandTotalDenoms = NewDictionary()
numRows = 0
If Not IsEmpty(rowsReport) Then numRows = UBound(rowsReport, 2) + 1
For r = 0 To numRows - 1
  key = rowsReport(0, r)
  reportQtyNum.Add key & "_units", rowsReport(3, r)
  reportQtyNum.Add key & "_revenue", rowsReport(4, r)
  For Each q In reportVisibleQtys.Keys
    reportQtyDenom.Add key & "_" & q, ""
    reportHasDenom.Add key & "_" & q, False
    reportQtyFormat.Add key & "_" & q, "number"
  Next
  objDField_s.Add CStr(r), rowsReport(2, r)
  allRows.Add key, ""
  grandTotals("units") = grandTotals("units") + rowsReport(3, r)
  grandTotals("revenue") = grandTotals("revenue") + rowsReport(4, r)
Next

Dim suppDescriptionFields, linkUrlDescr, suppDescriptionFieldsGroupby, suppDescriptionFieldsGroupby_sqlCols
Set suppDescriptionFields = NewDictionary() : suppDescriptionFields.Add "product", ""
Set linkUrlDescr = NewDictionary()
Set suppDescriptionFieldsGroupby = NewDictionary() : suppDescriptionFieldsGroupby.Add "region", ""
Set suppDescriptionFieldsGroupby_sqlCols = NewDictionary() : suppDescriptionFieldsGroupby_sqlCols.Add 1, 1

Dim isGrouped, methodSuffix, keyDescription, hasKeyField, keyFieldSQLColumn, keyFieldGroupbySQLColumn
isGrouped = True : methodSuffix = "" : keyDescription = "" : hasKeyField = False
keyFieldSQLColumn = 0 : keyFieldGroupbySQLColumn = 1
Dim descriptionField, groupField, linkurl_key, groupby, firstDescriptionFieldGroupby, groupFieldGroupby
descriptionField = "product" : groupField = "region" : linkurl_key = "" : groupby = "region"
firstDescriptionFieldGroupby = "region" : groupFieldGroupby = "region"
Dim group_print_style, numDescriptionColumns, totalTitle : group_print_style = "" : numDescriptionColumns = 1

Dim colTotals, colTotalDenoms, reportKeys, groupdescr, groupkey, numGroupRows
Dim repRowCounter, linkClause, i_descr, rep_key

Sub StartGroup()
  Set colTotals = NewDictionary() : Set colTotalDenoms = NewDictionary()
  Set reportKeys = NewDictionary()
End Sub

Sub DetailRow(row)
  repRowCounter = row : i_descr = CStr(row) : key = rowsReport(0, row) : rep_key = key
  linkClause = ""
  sb.append "<tr>"
  rr.renderRowDescriptions sb, uc, rowsReport, repRowCounter, default_font_size, _
      default_font_family, default_font_color, range_char, escape_char, reporttype1, isGrouped, _
      config_analysis, enable_nondrilldown_hyperlinks, enable_drilldown_hyperlinks, methodSuffix, _
      linkClause, key, keyDescription, hasKeyField, keyFieldSQLColumn, keyFieldGroupbySQLColumn, _
      descriptionField, groupField, suppDescriptionFields, objDField_s, i_descr, linkUrlDescr, _
      linkurl_key, week_start_day, year_start_month, year_offset
  rr.analysis_drilldown_quantities sb, uc, reportVisibleQtys, reportQtyNum, reportQtyDenom, _
      reportHasDenom, reportQtyFormat, repTotalTypes, colTotals, colTotalDenoms, grandTotals, _
      grandTotalDenoms, cache_schemaReportQuantities, default_font_size, default_font_family, _
      default_font_color, currency_symbol, system_currency_symbol, negative_num_format, _
      reporttype1, report_rows, enable_nondrilldown_hyperlinks, rep_key
  sb.append "</tr>" & vbCrLf
  reportKeys.Add rep_key, rep_key
End Sub

Sub GroupTotal(firstRow)
  groupdescr = "" : groupkey = rowsReport(1, firstRow) : repRowCounter = firstRow
  rr.rowsGroupDescriptions uc, rowsReport, repRowCounter, groupby, groupkey, _
      suppDescriptionFieldsGroupby_sqlCols, groupdescr, week_start_day, year_start_month, _
      year_offset, suppDescriptionFieldsGroupby, firstDescriptionFieldGroupby, groupFieldGroupby
  totalTitle = "Total " : numGroupRows = reportKeys.Count
  rr.renderGroupedTotals sb, uc, reportVisibleQtys, reportKeys, repTotalTypes, repQtyFormats, _
      repQtyDenoms, colTotals, colTotalDenoms, grandTotals, grandTotalDenoms, _
      cache_schemaReportQuantities, default_font_size, default_font_family, default_font_color, _
      currency_symbol, system_currency_symbol, negative_num_format, reporttype1, _
      enable_nondrilldown_hyperlinks, group_print_style, groupdescr, numDescriptionColumns, _
      totalTitle, numGroupRows
  sb.append vbCrLf
End Sub

' A group ends where the region changes.
Dim groupStart
groupStart = 0
For r = 0 To numRows - 1
  If r = groupStart Then StartGroup
  DetailRow r
  If r = numRows - 1 Then
    GroupTotal groupStart
  ElseIf rowsReport(1, r + 1) <> rowsReport(1, r) Then
    GroupTotal groupStart
    groupStart = r + 1
  End If
Next
If numRows > 0 Then
  Dim grand_total : grand_total = "Yes" : totalTitle = "Grand total "
  rr.analysis_ShowGrandTotals sb, uc, reportVisibleQtys, allRows, repTotalTypes, repQtyFormats, _
      repQtyDenoms, grandTotals, grandTotalDenoms, cache_schemaReportQuantities, default_font_size, _
      default_font_family, default_font_color, currency_symbol, system_currency_symbol, _
      negative_num_format, reporttype1, enable_nondrilldown_hyperlinks, numDescriptionColumns, _
      totalTitle, grand_total, numRows
End If
Dim salesTable : salesTable = sb.toString()
sb.clear

' --- Each region's revenue beside the year before ----------------------------------------------
' The comparison members read every value from one dictionary by
' "key_quantity_num|dnm|format|hasDenom_column_range".
Dim revenueOnly, allVals, colType, rangeID, colContainsValues, tb_view, qty_row, region, before, now_
Dim comparisonqty, topselect_cutoff, rNum
Set revenueOnly = NewDictionary() : revenueOnly.Add "revenue", ""
rangeID = "_1" : tb_view = "standard" : qty_row = "" : comparisonqty = "pctchange" : topselect_cutoff = 0
Dim previous : Set previous = NewDictionary()
If Not IsEmpty(lastYear) Then
  For r = 0 To UBound(lastYear, 2)
    previous.Add lastYear(0, r), lastYear(1, r)
  Next
End If
Set allVals = NewDictionary()
Dim regionCount : regionCount = 0
If Not IsEmpty(thisYear) Then regionCount = UBound(thisYear, 2) + 1
For r = 0 To regionCount - 1
  region = thisYear(0, r) : now_ = thisYear(1, r) : before = 0
  If previous.Exists(region) Then before = previous(region)
  allVals(region & "_revenue_num_original_1") = now_
  allVals(region & "_revenue_num_comparison_1") = before
  allVals(region & "_revenue_num_var_pctchange_1") = now_ - before
  allVals(region & "_revenue_dnm_var_pctchange_1") = before
  For Each colType In Array("original", "comparison")
    allVals(region & "_revenue_dnm_" & colType & "_1") = ""
    allVals(region & "_revenue_format_" & colType & "_1") = "number"
    allVals(region & "_revenue_hasDenom_" & colType & "_1") = False
  Next
Next
StartGroup
Set colContainsValues = NewDictionary()
For r = 0 To regionCount - 1
  rep_key = thisYear(0, r)
  sb.append "<tr><td class=br>" & Server.HTMLEncode(rep_key) & "</td>"
  For Each colType In Array("_original", "_comparison")
    rr.renderCompareQuantities sb, uc, revenueOnly, colTotals, colTotalDenoms, _
        cache_schemaReportQuantities, default_font_size, default_font_family, default_font_color, _
        currency_symbol, system_currency_symbol, negative_num_format, report_rows, _
        enable_nondrilldown_hyperlinks, rep_key, allVals, colType, rangeID, colContainsValues, _
        tb_view, qty_row
  Next
  rr.utilities_compare_varshow sb, uc, repQtyFormats, cache_schemaReportQuantities, _
      default_font_size, default_font_family, default_font_color, currency_symbol, _
      system_currency_symbol, negative_num_format, isGrouped, enable_nondrilldown_hyperlinks, _
      groupkey, rep_key, allVals, rangeID, comparisonqty, topselect_cutoff, revenueOnly, tb_view, qty_row
  sb.append "</tr>" & vbCrLf
Next
Dim comparisonTable : comparisonTable = sb.toString()
%>
<!--#include virtual="/inc/header.inc"-->
<p>Show <a href="sales.asp?year=2024">2024</a> or <a href="sales.asp?year=2023">2023</a>.
The rows come from the sample database through ADODB; the report engine writes the table.</p>
<% If numRows = 0 Then %>
<p>No sales in <%= year %>.</p>
<% Else %>
<table class="report" cellspacing="0" cellpadding="3">
<tr><th>Product</th><th>Units</th><th>Revenue</th><th>Share</th></tr>
<%= salesTable %>
</table>
<% End If %>
<% If regionCount > 0 And previous.Count = 0 Then %>
<p>No sales in <%= year - 1 %> to compare with.</p>
<% ElseIf regionCount > 0 Then %>
<h2>Revenue by region beside <%= year - 1 %></h2>
<table class="report" cellspacing="0" cellpadding="3">
<tr><th>Region</th><th><%= year %></th><th><%= year - 1 %></th><th>Change</th></tr>
<%= comparisonTable %>
</table>
<% End If %>
<!--#include virtual="/inc/footer.inc"-->
