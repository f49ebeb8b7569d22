#pragma once
// The parameters of the 31 ReportRender members, in positional order: the single source of the
// member table, of the positions the member bodies read, and of docs/REPORT_RENDER.md. Each
// list names the arguments in the order the rendering conventions first name them (the
// buffer sb and the utilities uc first), so that late-bound pages may call positionally or by
// name. Every argument is a variant by reference and every one is required.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace render_signatures {

// 1. utilities_updategroupdate
inline constexpr std::u16string_view kUtilitiesUpdategroupdateParameters =
    u"uc,reporttype1,isGrouped,linkClause,groupby,keyField,groupField,week_start_day,"
    u"year_start_month,numComparisonRanges,rStart_arr,rEnd_arr,daterange_arr,"
    u"isMapped_dateReport,dateReport,dateStartField,dateEndField,dateRangeField,"
    u"numDateReports,groupbyKey,isPivot";
// 2. analysis_drilldown_quantities
inline constexpr std::u16string_view kAnalysisDrilldownQuantitiesParameters =
    u"sb,uc,reportVisibleQtys,reportQtyNum,reportQtyDenom,reportHasDenom,reportQtyFormat,"
    u"repTotalTypes,colTotals,colTotalDenoms,grandTotals,grandTotalDenoms,"
    u"cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"reporttype1,report_rows,enable_nondrilldown_hyperlinks,rep_key";
// 3. analysis_quantities_flipped
inline constexpr std::u16string_view kAnalysisQuantitiesFlippedParameters =
    u"sb,uc,qty,reportQtyNum,reportQtyDenom,reportHasDenom,reportQtyFormat,repTotalTypes,"
    u"colTotals,colTotalDenoms,grandTotals,grandTotalDenoms,cache_schemaReportQuantities,"
    u"default_font_size,default_font_family,default_font_color,currency_symbol,"
    u"system_currency_symbol,negative_num_format,reporttype1,report_rows,"
    u"enable_nondrilldown_hyperlinks,rep_key";
// 4. renderGroupRowDescriptions
inline constexpr std::u16string_view kRenderGroupRowDescriptionsParameters =
    u"sb,uc,rowsReport,repRowCounter,default_font_size,default_font_family,"
    u"default_font_color,range_char,escape_char,enable_nondrilldown_hyperlinks,"
    u"enable_drilldown_hyperlinks,methodSuffix,linkClause,groupby,groupkey,hasKeyField,"
    u"keyField,keyFieldGroupby_col,groupviewDescriptions,"
    u"suppDescriptionFieldsGroupby_sqlCols,objGroupbyDescrs1,val,isCompare,week_start_day,"
    u"year_start_month,year_offset";
// 5. renderStoredRowDescriptions
inline constexpr std::u16string_view kRenderStoredRowDescriptionsParameters =
    u"sb,uc,rowsReport,repRowCounter,default_font_size,default_font_family,"
    u"default_font_color,range_char,escape_char,reporttype1,isGrouped,config_analysis,"
    u"enable_nondrilldown_hyperlinks,enable_drilldown_hyperlinks,linkClause,key,"
    u"keyDescription,hasKeyField,hasDistinctKeyField,keyFieldSQLColumn,"
    u"keyFieldGroupbySQLColumn,suppDescriptionFields,linkUrlDescr,linkurl_key,"
    u"report_descr,week_start_day,year_start_month,year_offset";
// 6. renderGroupedTotals
inline constexpr std::u16string_view kRenderGroupedTotalsParameters =
    u"sb,uc,reportVisibleQtys,reportKeys,repTotalTypes,repQtyFormats,repQtyDenoms,"
    u"colTotals,colTotalDenoms,grandTotals,grandTotalDenoms,cache_schemaReportQuantities,"
    u"default_font_size,default_font_family,default_font_color,currency_symbol,"
    u"system_currency_symbol,negative_num_format,reporttype1,"
    u"enable_nondrilldown_hyperlinks,group_print_style,groupdescr,numDescriptionColumns,"
    u"totalTitle,numGroupRows";
// 7. renderGroupedTotals_fliped
inline constexpr std::u16string_view kRenderGroupedTotalsFlipedParameters =
    u"sb,uc,qty,reportKeys,repTotalTypes,repQtyFormats,repQtyDenoms,colTotals,"
    u"colTotalDenoms,grandTotals,grandTotalDenoms,cache_schemaReportQuantities,"
    u"default_font_size,default_font_family,default_font_color,currency_symbol,"
    u"system_currency_symbol,negative_num_format,reporttype1,"
    u"enable_nondrilldown_hyperlinks";
// 8. rowsGroupDescriptions
inline constexpr std::u16string_view kRowsGroupDescriptionsParameters =
    u"uc,rowsReport,repRowCounter,groupby,groupkey,suppDescriptionFieldsGroupby_sqlCols,"
    u"groupdescr,week_start_day,year_start_month,year_offset,suppDescriptionFieldsGroupby,"
    u"firstDescriptionFieldGroupby,groupFieldGroupby";
// 9. renderRowDescriptions
inline constexpr std::u16string_view kRenderRowDescriptionsParameters =
    u"sb,uc,rowsReport,repRowCounter,default_font_size,default_font_family,"
    u"default_font_color,range_char,escape_char,reporttype1,isGrouped,config_analysis,"
    u"enable_nondrilldown_hyperlinks,enable_drilldown_hyperlinks,methodSuffix,linkClause,"
    u"key,keyDescription,hasKeyField,keyFieldSQLColumn,keyFieldGroupbySQLColumn,"
    u"descriptionField,groupField,suppDescriptionFields,objDField_s,i_descr,linkUrlDescr,"
    u"linkurl_key,week_start_day,year_start_month,year_offset";
// 10. utilities_updategriddate
inline constexpr std::u16string_view kUtilitiesUpdategriddateParameters =
    u"uc,reporttype1,isGrouped,linkClause,groupby,week_start_day,year_start_month,"
    u"columnValue,numComparisonRanges,rStart_arr,rEnd_arr,daterange_arr,"
    u"isMapped_dateReport,dateReport,dateStartField,dateEndField,dateRangeField,"
    u"numDateReports,descr,reporttype2,descr_groupby";
// 11. renderPivotQuantities
inline constexpr std::u16string_view kRenderPivotQuantitiesParameters =
    u"sb,uc,cache_schemaReportQuantities,rowsReport,repRowCounter,default_font_size,"
    u"default_font_family,default_font_color,currency_symbol,system_currency_symbol,"
    u"negative_num_format,report_rows,isGrouped,config_analysis,"
    u"enable_drilldown_hyperlinks,linkClause,keyFieldSQLColumn,numPivotQuantities,"
    u"pivotQuantities,pivotQuantitiesFormat,pivotQuantitiesHasDenom,pivotQuantitiesFont,"
    u"pivotQuantities_sqlColumn,pivotQuantitiesDnm_sqlColumn,smallFont,pivotqty,rowTotal,"
    u"rowTotalDenom,columnTotal,columnTotalDenom,grandTotal,grandTotalDenom,groupTotal,"
    u"groupTotalDenom,groupGrandTotal,groupGrandTotalDenom,columnValue,columnDesc,cv0,"
    u"showOtherRow,otherPivotRow,otherPivotRow_dnm,groupId,numOfGroups,arrGroup,"
    u"enableLinkGrid,newGroup";
// 12. renderPivotGroupedTotals
inline constexpr std::u16string_view kRenderPivotGroupedTotalsParameters =
    u"sb,uc,cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"enable_drilldown_hyperlinks,group_print_style,groupdescr,totalTitle,"
    u"numPivotQuantities,pivotQuantities,pivotQuantitiesFormat,pivotQuantitiesHasDenom,"
    u"pivotQuantitiesFont,smallFont,pivotqty,columnTotal,columnTotalDenom,groupTotal,"
    u"groupTotalDenom,groupGrandTotal,groupGrandTotalDenom,arHeadings,descriptionColspan,"
    u"showOtherRow,showOtherCol,otherPivotRow,otherPivotRow_dnm,groupId,numOfGroups,"
    u"arrGroup,pivot_column";
// 13. analysis_pivot_updatedates
inline constexpr std::u16string_view kAnalysisPivotUpdatedatesParameters =
    u"uc,reporttype1,isGrouped,linkClause,groupby,week_start_day,year_start_month,"
    u"numComparisonRanges,rStart_arr,rEnd_arr,daterange_arr,isMapped_dateReport,"
    u"dateReport,dateStartField,dateEndField,dateRangeField,numDateReports,descr,"
    u"descr_groupby";
// 14. pivot_OtherCol
inline constexpr std::u16string_view kPivotOtherColParameters =
    u"sb,uc,cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"range_char,escape_char,isGrouped,enable_drilldown_hyperlinks,groupby,groupkey,"
    u"numPivotQuantities,pivotQuantities,pivotQuantitiesFormat,pivotQuantitiesHasDenom,"
    u"pivotQuantitiesFont,smallFont,pivotqty,rowTotal,rowTotalDenom,columnTotal,"
    u"columnTotalDenom,grandTotal,grandTotalDenom,groupTotal,groupTotalDenom,"
    u"groupGrandTotal,groupGrandTotalDenom,lkey,otherPivotCol,otherPivotCol_dnm";
// 15. analysis_pivot_nonfirstrow
inline constexpr std::u16string_view kAnalysisPivotNonfirstrowParameters =
    u"sb,uc,cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"enable_drilldown_hyperlinks,numPivotQuantities,pivotQuantities,"
    u"pivotQuantitiesFormat,pivotQuantitiesHasDenom,pivotQuantitiesFont,smallFont,"
    u"pivotqty,rowTotal,rowTotalDenom";
// 16. pivot_OtherRow
inline constexpr std::u16string_view kPivotOtherRowParameters =
    u"sb,uc,cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"range_char,escape_char,report_rows,isGrouped,enable_nondrilldown_hyperlinks,"
    u"enable_drilldown_hyperlinks,Class,groupby,groupkey,rowTitle,numPivotQuantities,"
    u"pivotQuantities,pivotQuantitiesFormat,pivotQuantitiesHasDenom,pivotQuantitiesFont,"
    u"smallFont,pivotqty,rowTotal,rowTotalDenom,columnTotal,columnTotalDenom,grandTotal,"
    u"grandTotalDenom,groupTotal,groupTotalDenom,groupGrandTotal,groupGrandTotalDenom,"
    u"arHeadings,descriptionColspan,showOtherCol,otherPivotRow,otherPivotRow_dnm,"
    u"otherPivotCol,otherPivotCol_dnm,pivot_column";
// 17. utilities_showPivotGrandTotals
inline constexpr std::u16string_view kUtilitiesShowPivotGrandTotalsParameters =
    u"sb,uc,cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"enable_drilldown_hyperlinks,totalTitle,numPivotQuantities,pivotQuantities,"
    u"pivotQuantitiesFormat,pivotQuantitiesHasDenom,pivotQuantitiesFont,smallFont,"
    u"pivotqty,columnTotal,columnTotalDenom,grandTotal,grandTotalDenom,arHeadings,"
    u"descriptionColspan,showOtherCol,showLastRowTotal,pivot_column";
// 18. analysis_ShowOtherRow
inline constexpr std::u16string_view kAnalysisShowOtherRowParameters =
    u"sb,uc,reportVisibleQtys,reportQtyFormat,repTotalTypes,colTotals,colTotalDenoms,"
    u"grandTotals,grandTotalDenoms,cache_schemaReportQuantities,default_font_size,"
    u"default_font_family,default_font_color,currency_symbol,system_currency_symbol,"
    u"negative_num_format,reporttype1,report_rows,isGrouped,"
    u"enable_nondrilldown_hyperlinks,r_class,groupby,groupkey,repQuantity,"
    u"numDescriptionColumns,reportQtyOther,reportQtyOtherDenom,rowTitle";
// 19. analysis_otherRow_flipped
inline constexpr std::u16string_view kAnalysisOtherRowFlippedParameters =
    u"sb,uc,qty,reportQtyFormat,repTotalTypes,colTotals,colTotalDenoms,grandTotals,"
    u"grandTotalDenoms,cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"reporttype1,report_rows,isGrouped,enable_nondrilldown_hyperlinks,groupkey,"
    u"repQuantity,reportQtyOther,reportQtyOtherDenom,q_index";
// 20. analysis_ShowGrandTotals
inline constexpr std::u16string_view kAnalysisShowGrandTotalsParameters =
    u"sb,uc,reportVisibleQtys,reportKeys,repTotalTypes,repQtyFormats,repQtyDenoms,"
    u"grandTotals,grandTotalDenoms,cache_schemaReportQuantities,default_font_size,"
    u"default_font_family,default_font_color,currency_symbol,system_currency_symbol,"
    u"negative_num_format,reporttype1,enable_nondrilldown_hyperlinks,"
    u"numDescriptionColumns,totalTitle,grand_total,numRows";
// 21. analysis_GrandTotals_flipped
inline constexpr std::u16string_view kAnalysisGrandTotalsFlippedParameters =
    u"sb,uc,qty,reportKeys,repTotalTypes,repQtyFormats,repQtyDenoms,grandTotals,"
    u"grandTotalDenoms,cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"reporttype1,enable_nondrilldown_hyperlinks";
// 22. renderCompareRowDescriptions
inline constexpr std::u16string_view kRenderCompareRowDescriptionsParameters =
    u"sb,uc,default_font_size,default_font_family,default_font_color,range_char,"
    u"escape_char,reporttype1,isGrouped,enable_nondrilldown_hyperlinks,"
    u"enable_drilldown_hyperlinks,linkClause,keyDescription,hasKeyField,keyField,"
    u"linkUrlDescr,linkurl_key,week_start_day,year_start_month,year_offset,row_key,"
    u"l_currDescription,matched_date,invalid_link_update,keyGroupby";
// 23. renderCompareQuantities
inline constexpr std::u16string_view kRenderCompareQuantitiesParameters =
    u"sb,uc,reportVisibleQtys,colTotals,colTotalDenoms,cache_schemaReportQuantities,"
    u"default_font_size,default_font_family,default_font_color,currency_symbol,"
    u"system_currency_symbol,negative_num_format,report_rows,"
    u"enable_nondrilldown_hyperlinks,rep_key,allVals,colType,rangeID,colContainsValues,"
    u"tb_view,qty_row";
// 24. otherRow_Comparison
inline constexpr std::u16string_view kOtherRowComparisonParameters =
    u"sb,uc,reportVisibleQtys,reportQtyFormat,colTotals,colTotalDenoms,"
    u"cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"report_rows,isGrouped,enable_nondrilldown_hyperlinks,groupkey,repQuantity,"
    u"reportQtyOther,reportQtyOtherDenom,colType,rangeID,colContainsValues,tb_view,"
    u"qty_row";
// 25. utilities_compare_varshow
inline constexpr std::u16string_view kUtilitiesCompareVarshowParameters =
    u"sb,uc,repQtyFormats,cache_schemaReportQuantities,default_font_size,"
    u"default_font_family,default_font_color,currency_symbol,system_currency_symbol,"
    u"negative_num_format,isGrouped,enable_nondrilldown_hyperlinks,groupkey,rep_key,"
    u"allVals,rangeID,comparisonqty,topselect_cutoff,comparisonQtys,tb_view,qty_row";
// 26. compare_ShowGrandTotals
inline constexpr std::u16string_view kCompareShowGrandTotalsParameters =
    u"sb,uc,reportVisibleQtys,reportQtyFormat,repTotalTypes,repQtyFormats,repQtyDenoms,"
    u"cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"enable_nondrilldown_hyperlinks,reportQtyOther,reportQtyOtherDenom,allVals,allKeys,"
    u"origKeys,colTypes,colContainsValues,colGrandTotals,colGrandTotalDenoms,tb_view,"
    u"qty_row,colType_row,numComparisonRanges,other_rows";
// 27. utilities_compare_colvarshow
inline constexpr std::u16string_view kUtilitiesCompareColvarshowParameters =
    u"sb,uc,repQtyFormats,colTotals,colTotalDenoms,cache_schemaReportQuantities,"
    u"default_font_size,default_font_family,default_font_color,currency_symbol,"
    u"system_currency_symbol,negative_num_format,enable_nondrilldown_hyperlinks,"
    u"comparisonqty,rNum,comparisonQtys,colContainsValues,tb_view,qty_row";
// 28. renderCompareGroupedTotals
inline constexpr std::u16string_view kRenderCompareGroupedTotalsParameters =
    u"sb,uc,reportVisibleQtys,reportKeys,repTotalTypes,repQtyFormats,repQtyDenoms,"
    u"colTotals,colTotalDenoms,cache_schemaReportQuantities,default_font_size,"
    u"default_font_family,default_font_color,currency_symbol,system_currency_symbol,"
    u"negative_num_format,enable_nondrilldown_hyperlinks,groupdescr,numDescriptionColumns,"
    u"totalTitle,numGroupRows,rangeID,colTypes";
// 29. compareGroupedTotals_flipped
inline constexpr std::u16string_view kCompareGroupedTotalsFlippedParameters =
    u"sb,uc,qty,reportKeys,repTotalTypes,repQtyFormats,repQtyDenoms,colTotals,"
    u"colTotalDenoms,cache_schemaReportQuantities,default_font_size,default_font_family,"
    u"default_font_color,currency_symbol,system_currency_symbol,negative_num_format,"
    u"enable_nondrilldown_hyperlinks,colType,rangeID";
// 30. rowsAllZeroes
inline constexpr std::u16string_view kRowsAllZeroesParameters =
    u"reportVisibleQtys,reportKeys,reportQtyNum,reportQtyDenom,reportHasDenom,hide_zeroes,"
    u"rowValues";
// 31. compare_AllZeroes
inline constexpr std::u16string_view kCompareAllZeroesParameters =
    u"reportVisibleQtys,hide_zeroes,rowValues,allVals,allKeys,colTypes,"
    u"numComparisonRanges";

/// The number of names in a parameter list.
consteval uint8_t ParameterCount(std::u16string_view parameters) {
  size_t count = parameters.empty() ? 0 : 1;
  for (char16_t c : parameters) count += c == u',' ? 1 : 0;
  if (count > 64) throw "more parameters than a dispatch call carries";
  return static_cast<uint8_t>(count);
}

/// Whether `name` is in a parameter list.
consteval bool HasParameter(std::u16string_view parameters, std::u16string_view name) {
  size_t start = 0;
  while (start <= parameters.size()) {
    size_t end = parameters.find(u',', start);
    if (end == std::u16string_view::npos) end = parameters.size();
    if (parameters.substr(start, end - start) == name) return true;
    start = end + 1;
  }
  return false;
}

/// The position of `name` in a parameter list; a name that is not in the list does not compile.
consteval size_t ParameterPosition(std::u16string_view parameters, std::u16string_view name) {
  size_t position = 0;
  size_t start = 0;
  while (start <= parameters.size()) {
    size_t end = parameters.find(u',', start);
    if (end == std::u16string_view::npos) end = parameters.size();
    if (parameters.substr(start, end - start) == name) return position;
    ++position;
    start = end + 1;
  }
  throw "not a parameter of this member";
}

}  // namespace render_signatures

/// The argument `name` of the member whose parameter list is the constant kParameters in scope,
/// read from the DispatchArguments `arguments` in scope.
#define RENDER_ARGUMENT(name) \
  (arguments[::render_signatures::ParameterPosition(kParameters, u"" #name)])
/// Its position, for write-backs.
#define RENDER_POSITION(name) (::render_signatures::ParameterPosition(kParameters, u"" #name))
