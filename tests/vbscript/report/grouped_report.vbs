' A report page's use of the report engine, end to end: a grouped report with descriptions,
' quantity cells, group totals and a grand total; a pivot row with its totals; and a comparison
' row with its variance. Each section's HTML is printed on its own line.
Option Explicit

Dim rr, uc, sb
Set rr = CreateObject("Tabulix32.ReportRender")
Set uc = CreateObject("Tabulix32.UtilitiesClass")
Set sb = CreateObject("Tabulix32.StringBuffer")

Function NewDictionary()
  Set NewDictionary = CreateObject("Scripting.Dictionary")
End Function

Sub Flush()
  WScript.Echo sb.toString()
  sb.clear
End Sub

' --- The page's settings ----------------------------------------------------------------------
Dim default_font_size, default_font_family, default_font_color
default_font_size = "8" : default_font_family = "Tahoma" : default_font_color = "#000000"
Dim currency_symbol, system_currency_symbol, negative_num_format, reporttype1
currency_symbol = "" : system_currency_symbol = "$" : negative_num_format = "" : reporttype1 = "customer"
Dim range_char, escape_char : range_char = "-" : escape_char = "\"
Dim report_rows, enable_nondrilldown_hyperlinks, enable_drilldown_hyperlinks, config_analysis
report_rows = "Yes" : enable_nondrilldown_hyperlinks = True
enable_drilldown_hyperlinks = True : config_analysis = True
Dim week_start_day, year_start_month, year_offset
week_start_day = 0 : year_start_month = 0 : year_offset = 0

' --- The grouped report: customers A and B in North, C in South; sales and units -------------
Dim reportVisibleQtys, cache_schemaReportQuantities, repTotalTypes, repQtyFormats, repQtyDenoms
Set reportVisibleQtys = NewDictionary() : reportVisibleQtys.Add "sales", "" : reportVisibleQtys.Add "units", ""
Set cache_schemaReportQuantities = NewDictionary()
cache_schemaReportQuantities.Add "sales|numdigits", 2
cache_schemaReportQuantities.Add "units|numdigits", 0
cache_schemaReportQuantities.Add "sales|showPercentage", "Yes"
cache_schemaReportQuantities.Add "units|all_format", "color=navy"
Set repTotalTypes = NewDictionary() : repTotalTypes.Add "sales", "sum" : repTotalTypes.Add "units", "sum"
Set repQtyFormats = NewDictionary() : repQtyFormats.Add "sales", "number" : repQtyFormats.Add "units", "number"
Set repQtyDenoms = NewDictionary() : repQtyDenoms.Add "sales", "" : repQtyDenoms.Add "units", ""

Dim rowsReport(2, 2)
rowsReport(0, 0) = "A" : rowsReport(1, 0) = "North" : rowsReport(2, 0) = "Anna"
rowsReport(0, 1) = "B" : rowsReport(1, 1) = "North" : rowsReport(2, 1) = "Bob"
rowsReport(0, 2) = "C" : rowsReport(1, 2) = "South" : rowsReport(2, 2) = "Cleo"

Dim reportQtyNum, reportQtyDenom, reportHasDenom, reportQtyFormat, objDField_s, allRows
Set reportQtyNum = NewDictionary() : Set reportQtyDenom = NewDictionary()
Set reportHasDenom = NewDictionary() : Set reportQtyFormat = NewDictionary()
Set objDField_s = NewDictionary() : Set allRows = NewDictionary()
Dim sales, units, r, q
sales = Array(100.5, 200, 50) : units = Array(3, 5, 2)
For r = 0 To 2
  reportQtyNum.Add rowsReport(0, r) & "_sales", sales(r)
  reportQtyNum.Add rowsReport(0, r) & "_units", units(r)
  For Each q In reportVisibleQtys.Keys
    reportQtyDenom.Add rowsReport(0, r) & "_" & q, ""
    reportHasDenom.Add rowsReport(0, r) & "_" & q, False
    reportQtyFormat.Add rowsReport(0, r) & "_" & q, "number"
  Next
  objDField_s.Add CStr(r), rowsReport(2, r)
  allRows.Add rowsReport(0, r), ""
Next

Dim grandTotals, grandTotalDenoms
Set grandTotals = NewDictionary() : grandTotals.Add "sales", 350.5 : grandTotals.Add "units", 10
Set grandTotalDenoms = NewDictionary()

Dim suppDescriptionFields, linkUrlDescr, suppDescriptionFieldsGroupby, suppDescriptionFieldsGroupby_sqlCols
Set suppDescriptionFields = NewDictionary() : suppDescriptionFields.Add "name", ""
Set linkUrlDescr = NewDictionary()
Set suppDescriptionFieldsGroupby = NewDictionary() : suppDescriptionFieldsGroupby.Add "regionname", ""
Set suppDescriptionFieldsGroupby_sqlCols = NewDictionary() : suppDescriptionFieldsGroupby_sqlCols.Add 1, 1

Dim isGrouped, methodSuffix, keyDescription, hasKeyField, keyFieldSQLColumn, keyFieldGroupbySQLColumn
isGrouped = True : methodSuffix = "" : keyDescription = "Customer" : hasKeyField = True
keyFieldSQLColumn = 0 : keyFieldGroupbySQLColumn = 1
Dim descriptionField, groupField, linkurl_key, groupby, firstDescriptionFieldGroupby, groupFieldGroupby
descriptionField = "name" : groupField = "region" : linkurl_key = "" : groupby = "region"
firstDescriptionFieldGroupby = "regionname" : groupFieldGroupby = "region"
Dim group_print_style, numDescriptionColumns, totalTitle : group_print_style = "" : numDescriptionColumns = 2

Dim colTotals, colTotalDenoms, reportKeys, groupdescr, groupkey, numGroupRows
Dim repRowCounter, linkClause, key, i_descr, rep_key

Sub DetailRow(row)
  repRowCounter = row : i_descr = CStr(row) : key = rowsReport(0, row) : rep_key = key
  linkClause = "groupby=region&%keygroupby%=&%key%="
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
  sb.append "</tr>"
  reportKeys.Add key, key
End Sub

Sub WriteGroupTotal(firstRow, code)
  groupdescr = "" : groupkey = code : repRowCounter = firstRow
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
End Sub

Sub StartGroup()
  Set colTotals = NewDictionary() : Set colTotalDenoms = NewDictionary()
  Set reportKeys = NewDictionary()
End Sub

StartGroup
DetailRow 0
DetailRow 1
WriteGroupTotal 0, "N"
Flush
StartGroup
DetailRow 2
WriteGroupTotal 2, "S"
Flush

Dim grand_total, numRows : grand_total = "Yes" : numRows = 3 : totalTitle = "Grand total "
rr.analysis_ShowGrandTotals sb, uc, reportVisibleQtys, allRows, repTotalTypes, repQtyFormats, _
    repQtyDenoms, grandTotals, grandTotalDenoms, cache_schemaReportQuantities, default_font_size, _
    default_font_family, default_font_color, currency_symbol, system_currency_symbol, _
    negative_num_format, reporttype1, enable_nondrilldown_hyperlinks, numDescriptionColumns, _
    totalTitle, grand_total, numRows
Flush

' --- A pivot of units by region for customer A ------------------------------------------------
Dim pivotSettings, pivotRows(1, 1), numPivotQuantities, pivotQuantities, pivotQuantitiesFormat
Set pivotSettings = NewDictionary()
pivotSettings.Add "units|numdigits", 0 : pivotSettings.Add "units|showPercentage", "Yes"
pivotRows(0, 0) = "A" : pivotRows(1, 0) = 3
pivotRows(0, 1) = "A" : pivotRows(1, 1) = 7
numPivotQuantities = 1
pivotQuantities = Array("", "units") : pivotQuantitiesFormat = Array("", "number")
Dim pivotQuantitiesHasDenom, pivotQuantitiesFont, pivotQuantities_sqlColumn, pivotQuantitiesDnm_sqlColumn
pivotQuantitiesHasDenom = Array("", False) : pivotQuantitiesFont = Array("", "")
pivotQuantities_sqlColumn = Array("", 1) : pivotQuantitiesDnm_sqlColumn = Array("", "")
Dim smallFont, pivotqty, rowTotal, rowTotalDenom, columnTotal, columnTotalDenom, grandTotal, grandTotalDenom
smallFont = "" : pivotqty = ""
rowTotal = Array("", 0) : rowTotalDenom = Array("", 0)
grandTotal = Array("", 0) : grandTotalDenom = Array("", 0)
Dim northAndSouth : Set northAndSouth = NewDictionary()
northAndSouth.Add "north", 10 : northAndSouth.Add "south", 7
columnTotal = Array("", northAndSouth) : columnTotalDenom = Array("", NewDictionary())
Dim groupTotal, groupTotalDenom, groupGrandTotal, groupGrandTotalDenom, columnValue, columnDesc, cv0
groupTotal = Array("", NewDictionary()) : groupTotalDenom = Array("", NewDictionary())
groupGrandTotal = Array("", 0) : groupGrandTotalDenom = Array("", 0)
Set columnDesc = NewDictionary() : columnDesc.Add "North", "" : columnDesc.Add "South", ""
Dim showOtherRow, otherPivotRow, otherPivotRow_dnm, groupId, numOfGroups, arrGroup, enableLinkGrid, newGroup
showOtherRow = False : Set otherPivotRow = NewDictionary() : Set otherPivotRow_dnm = NewDictionary()
groupId = 1 : numOfGroups = 0 : arrGroup = Array() : enableLinkGrid = True : newGroup = False
Dim pivotGrouped : pivotGrouped = False

sb.append "<tr><td class=br>A</td>"
For Each columnValue In Array("North", "South")
  cv0 = columnValue : linkClause = "%key%=A"
  If columnValue = "North" Then repRowCounter = 0 Else repRowCounter = 1
  rr.renderPivotQuantities sb, uc, pivotSettings, pivotRows, repRowCounter, default_font_size, _
      default_font_family, default_font_color, currency_symbol, system_currency_symbol, _
      negative_num_format, report_rows, pivotGrouped, config_analysis, _
      enable_drilldown_hyperlinks, linkClause, keyFieldSQLColumn, numPivotQuantities, _
      pivotQuantities, pivotQuantitiesFormat, pivotQuantitiesHasDenom, pivotQuantitiesFont, _
      pivotQuantities_sqlColumn, pivotQuantitiesDnm_sqlColumn, smallFont, pivotqty, rowTotal, _
      rowTotalDenom, columnTotal, columnTotalDenom, grandTotal, grandTotalDenom, groupTotal, _
      groupTotalDenom, groupGrandTotal, groupGrandTotalDenom, columnValue, columnDesc, cv0, _
      showOtherRow, otherPivotRow, otherPivotRow_dnm, groupId, numOfGroups, arrGroup, _
      enableLinkGrid, newGroup
Next
rr.analysis_pivot_nonfirstrow sb, uc, pivotSettings, default_font_size, default_font_family, _
    default_font_color, currency_symbol, system_currency_symbol, negative_num_format, _
    enable_drilldown_hyperlinks, numPivotQuantities, pivotQuantities, pivotQuantitiesFormat, _
    pivotQuantitiesHasDenom, pivotQuantitiesFont, smallFont, pivotqty, rowTotal, rowTotalDenom
Dim arHeadings, descriptionColspan, showOtherCol, showLastRowTotal, pivot_column
arHeadings = Array("north", "south") : descriptionColspan = 1 : showOtherCol = False
showLastRowTotal = True : pivot_column = "Yes" : totalTitle = "Total"
rr.utilities_showPivotGrandTotals sb, uc, pivotSettings, default_font_size, default_font_family, _
    default_font_color, currency_symbol, system_currency_symbol, negative_num_format, _
    enable_drilldown_hyperlinks, totalTitle, numPivotQuantities, pivotQuantities, _
    pivotQuantitiesFormat, pivotQuantitiesHasDenom, pivotQuantitiesFont, smallFont, pivotqty, _
    columnTotal, columnTotalDenom, grandTotal, grandTotalDenom, arHeadings, descriptionColspan, _
    showOtherCol, showLastRowTotal, pivot_column
Flush

' --- A comparison of customer A's sales: 120 this year against 100 last year -----------------
Dim salesOnly, allVals, colType, rangeID, colContainsValues, tb_view, qty_row
Set salesOnly = NewDictionary() : salesOnly.Add "sales", ""
Set allVals = NewDictionary()
allVals.Add "A_sales_num_original_1", 120 : allVals.Add "A_sales_dnm_original_1", ""
allVals.Add "A_sales_format_original_1", "number" : allVals.Add "A_sales_hasDenom_original_1", False
allVals.Add "A_sales_num_comparison_1", 100 : allVals.Add "A_sales_dnm_comparison_1", ""
allVals.Add "A_sales_format_comparison_1", "number" : allVals.Add "A_sales_hasDenom_comparison_1", False
allVals.Add "A_sales_num_var_pctchange_1", 20 : allVals.Add "A_sales_dnm_var_pctchange_1", 100
rangeID = "_1" : tb_view = "standard" : qty_row = "" : rep_key = "A"
StartGroup
Set colContainsValues = NewDictionary()
sb.append "<tr><td class=br>A</td>"
For Each colType In Array("_original", "_comparison")
  rr.renderCompareQuantities sb, uc, salesOnly, colTotals, colTotalDenoms, _
      cache_schemaReportQuantities, default_font_size, default_font_family, default_font_color, _
      currency_symbol, system_currency_symbol, negative_num_format, report_rows, _
      enable_nondrilldown_hyperlinks, rep_key, allVals, colType, rangeID, colContainsValues, _
      tb_view, qty_row
Next
Dim comparisonqty, topselect_cutoff, rNum : comparisonqty = "pctchange" : topselect_cutoff = 0 : rNum = "1"
rr.utilities_compare_varshow sb, uc, repQtyFormats, cache_schemaReportQuantities, _
    default_font_size, default_font_family, default_font_color, currency_symbol, _
    system_currency_symbol, negative_num_format, isGrouped, enable_nondrilldown_hyperlinks, _
    groupkey, rep_key, allVals, rangeID, comparisonqty, topselect_cutoff, salesOnly, tb_view, qty_row
sb.append "</tr><tr><td class=br>Total</td>"
rr.utilities_compare_colvarshow sb, uc, repQtyFormats, colTotals, colTotalDenoms, _
    cache_schemaReportQuantities, default_font_size, default_font_family, default_font_color, _
    currency_symbol, system_currency_symbol, negative_num_format, _
    enable_nondrilldown_hyperlinks, comparisonqty, rNum, salesOnly, colContainsValues, tb_view, qty_row
sb.append "</tr>"
Flush

' What the calls wrote back into the page's variables.
WScript.Echo "linkClause: " & linkClause & " | group: " & groupdescr & " | key: " & key
