#pragma once
// ReportRender: turns the report data a page has fetched into the HTML of report rows, totals,
// pivots and comparisons, appended to the page's StringBuffer, and keeps the running totals in
// the page's dictionaries. It holds no state between calls. The 31 members are bound by name;
// their parameters are listed in render_signatures.h (and docs/REPORT_RENDER.md), every one a
// variant by reference. Each group of members lives in the file of its concern.

#include <span>

#include "platform/com/dispatch_object.h"

class ReportRender : public DispatchObject<ReportRender> {
 public:
  static std::span<const DispatchMember<ReportRender>> Members();
  std::u16string_view TypeName() override { return u"ReportRender"; }

  // Date ranges of drill-down links (date_ranges.cpp)
  Result<Variant> utilities_updategroupdate(const DispatchArguments& arguments);
  Result<Variant> utilities_updategriddate(const DispatchArguments& arguments);
  Result<Variant> analysis_pivot_updatedates(const DispatchArguments& arguments);

  // Quantity cells of a detail row (quantity_cells.cpp)
  Result<Variant> analysis_drilldown_quantities(const DispatchArguments& arguments);
  Result<Variant> analysis_quantities_flipped(const DispatchArguments& arguments);

  // Row and group descriptions (row_descriptions.cpp)
  Result<Variant> renderRowDescriptions(const DispatchArguments& arguments);
  Result<Variant> renderStoredRowDescriptions(const DispatchArguments& arguments);
  Result<Variant> renderGroupRowDescriptions(const DispatchArguments& arguments);
  Result<Variant> rowsGroupDescriptions(const DispatchArguments& arguments);

  // Group totals (grouped_totals.cpp)
  Result<Variant> renderGroupedTotals(const DispatchArguments& arguments);
  Result<Variant> renderGroupedTotals_fliped(const DispatchArguments& arguments);

  // Other row, grand totals and all-zero rows (other_and_grand_totals.cpp)
  Result<Variant> analysis_ShowOtherRow(const DispatchArguments& arguments);
  Result<Variant> analysis_otherRow_flipped(const DispatchArguments& arguments);
  Result<Variant> analysis_ShowGrandTotals(const DispatchArguments& arguments);
  Result<Variant> analysis_GrandTotals_flipped(const DispatchArguments& arguments);
  Result<Variant> rowsAllZeroes(const DispatchArguments& arguments);

  // Pivots (pivot_rendering.cpp)
  Result<Variant> renderPivotQuantities(const DispatchArguments& arguments);
  Result<Variant> analysis_pivot_nonfirstrow(const DispatchArguments& arguments);
  Result<Variant> pivot_OtherCol(const DispatchArguments& arguments);
  Result<Variant> pivot_OtherRow(const DispatchArguments& arguments);
  Result<Variant> renderPivotGroupedTotals(const DispatchArguments& arguments);
  Result<Variant> utilities_showPivotGrandTotals(const DispatchArguments& arguments);

  // Comparisons (comparison_rows.cpp, comparison_totals.cpp)
  Result<Variant> renderCompareRowDescriptions(const DispatchArguments& arguments);
  Result<Variant> renderCompareQuantities(const DispatchArguments& arguments);
  Result<Variant> otherRow_Comparison(const DispatchArguments& arguments);
  Result<Variant> utilities_compare_varshow(const DispatchArguments& arguments);
  Result<Variant> compare_AllZeroes(const DispatchArguments& arguments);
  Result<Variant> utilities_compare_colvarshow(const DispatchArguments& arguments);
  Result<Variant> compare_ShowGrandTotals(const DispatchArguments& arguments);
  Result<Variant> renderCompareGroupedTotals(const DispatchArguments& arguments);
  Result<Variant> compareGroupedTotals_flipped(const DispatchArguments& arguments);
};

/// A new ReportRender for the module's class factory; null when memory runs out.
IUnknown* CreateReportRender();
