// The member table of ReportRender: the 31 render methods in interface order, with their
// dispatch identifiers and parameter names. Every argument is required.
#include "tabulix32/render/report_render.h"

#include <new>

#include "tabulix32/render/render_signatures.h"

namespace {

using R = ReportRender;
using namespace render_signatures;

consteval DispatchMember<R> Member(std::u16string_view name, DISPID dispid,
                                   Result<Variant> (R::*handler)(const DispatchArguments&),
                                   std::u16string_view parameters) {
  uint8_t count = ParameterCount(parameters);
  return DispatchMember<R>{name, dispid, kMethod, count, count, handler, parameters};
}

}  // namespace

std::span<const DispatchMember<ReportRender>> ReportRender::Members() {
  static constexpr DispatchMember<R> kMembers[] = {
      Member(u"utilities_updategroupdate", 1, &R::utilities_updategroupdate,
             kUtilitiesUpdategroupdateParameters),
      Member(u"analysis_drilldown_quantities", 2, &R::analysis_drilldown_quantities,
             kAnalysisDrilldownQuantitiesParameters),
      Member(u"analysis_quantities_flipped", 3, &R::analysis_quantities_flipped,
             kAnalysisQuantitiesFlippedParameters),
      Member(u"renderGroupRowDescriptions", 4, &R::renderGroupRowDescriptions,
             kRenderGroupRowDescriptionsParameters),
      Member(u"renderStoredRowDescriptions", 5, &R::renderStoredRowDescriptions,
             kRenderStoredRowDescriptionsParameters),
      Member(u"renderGroupedTotals", 6, &R::renderGroupedTotals, kRenderGroupedTotalsParameters),
      Member(u"renderGroupedTotals_fliped", 7, &R::renderGroupedTotals_fliped,
             kRenderGroupedTotalsFlipedParameters),
      Member(u"rowsGroupDescriptions", 8, &R::rowsGroupDescriptions,
             kRowsGroupDescriptionsParameters),
      Member(u"renderRowDescriptions", 9, &R::renderRowDescriptions,
             kRenderRowDescriptionsParameters),
      Member(u"utilities_updategriddate", 10, &R::utilities_updategriddate,
             kUtilitiesUpdategriddateParameters),
      Member(u"renderPivotQuantities", 11, &R::renderPivotQuantities,
             kRenderPivotQuantitiesParameters),
      Member(u"renderPivotGroupedTotals", 12, &R::renderPivotGroupedTotals,
             kRenderPivotGroupedTotalsParameters),
      Member(u"analysis_pivot_updatedates", 13, &R::analysis_pivot_updatedates,
             kAnalysisPivotUpdatedatesParameters),
      Member(u"pivot_OtherCol", 14, &R::pivot_OtherCol, kPivotOtherColParameters),
      Member(u"analysis_pivot_nonfirstrow", 15, &R::analysis_pivot_nonfirstrow,
             kAnalysisPivotNonfirstrowParameters),
      Member(u"pivot_OtherRow", 16, &R::pivot_OtherRow, kPivotOtherRowParameters),
      Member(u"utilities_showPivotGrandTotals", 17, &R::utilities_showPivotGrandTotals,
             kUtilitiesShowPivotGrandTotalsParameters),
      Member(u"analysis_ShowOtherRow", 18, &R::analysis_ShowOtherRow,
             kAnalysisShowOtherRowParameters),
      Member(u"analysis_otherRow_flipped", 19, &R::analysis_otherRow_flipped,
             kAnalysisOtherRowFlippedParameters),
      Member(u"analysis_ShowGrandTotals", 20, &R::analysis_ShowGrandTotals,
             kAnalysisShowGrandTotalsParameters),
      Member(u"analysis_GrandTotals_flipped", 21, &R::analysis_GrandTotals_flipped,
             kAnalysisGrandTotalsFlippedParameters),
      Member(u"renderCompareRowDescriptions", 22, &R::renderCompareRowDescriptions,
             kRenderCompareRowDescriptionsParameters),
      Member(u"renderCompareQuantities", 23, &R::renderCompareQuantities,
             kRenderCompareQuantitiesParameters),
      Member(u"otherRow_Comparison", 24, &R::otherRow_Comparison, kOtherRowComparisonParameters),
      Member(u"utilities_compare_varshow", 25, &R::utilities_compare_varshow,
             kUtilitiesCompareVarshowParameters),
      Member(u"compare_ShowGrandTotals", 26, &R::compare_ShowGrandTotals,
             kCompareShowGrandTotalsParameters),
      Member(u"utilities_compare_colvarshow", 27, &R::utilities_compare_colvarshow,
             kUtilitiesCompareColvarshowParameters),
      Member(u"renderCompareGroupedTotals", 28, &R::renderCompareGroupedTotals,
             kRenderCompareGroupedTotalsParameters),
      Member(u"compareGroupedTotals_flipped", 29, &R::compareGroupedTotals_flipped,
             kCompareGroupedTotalsFlippedParameters),
      Member(u"rowsAllZeroes", 30, &R::rowsAllZeroes, kRowsAllZeroesParameters),
      Member(u"compare_AllZeroes", 31, &R::compare_AllZeroes, kCompareAllZeroesParameters),
  };
  return kMembers;
}

IUnknown* CreateReportRender() {
  return static_cast<IDispatch*>(new (std::nothrow) ReportRender());
}
