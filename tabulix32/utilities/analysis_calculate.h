#pragma once
// AnalysisCalculate: the loading step between a report query and the render methods. It
// stores each row's key and description and each quantity's numerator, denominator, format
// and denominator flag in the page's dictionaries, and the values of the "other" rows when
// asked; it computes no totals.

#include "platform/com/dispatch_object.h"

class AnalysisCalculate : public DispatchObject<AnalysisCalculate> {
 public:
  static std::span<const DispatchMember<AnalysisCalculate>> Members();
  std::u16string_view TypeName() override { return u"AnalysisCalculate"; }

  /// analysis_calculate(uc, numRowsReport, colType, rangeID, objKeyField, objKeyFieldGroupby,
  /// objDField_s, objDField_sDetail, sqlColumns, sqlColumnDenoms, numReportQuantities,
  /// checkMappedOrDefaults, rowsReport, isCompare, isGrouped, isDetail, suppDescriptionFields,
  /// reportKeys, reportDescrs, repQuantity, repQuantityDenom, repQtyFormats, reportQtyNum,
  /// reportQtyDenom, reportQtyFormat, reportHasDenom, cache_schemaReportQuantities, getOther,
  /// rowOther, reportQtyOther, reportQtyOtherDenom, sqlOther, sqlOtherDenoms, numRowsOther,
  /// numOfGroups, otherGroupVals): no result. Fills the output dictionaries through their
  /// late-bound "Exists" and "Add" (a key already present is never overwritten) and assigns
  /// `numOfGroups` in grouped reports with other rows. Inputs are indexed as the value type
  /// indexes (arrays, or an object's default member). Failures stop the call and leave what
  /// was added: a Null description value (94), a row or column outside the arrays (9), a key
  /// a dictionary already holds (457), a failing `uc` call (its error); row counts past the
  /// 32-bit range overflow (6).
  Result<Variant> analysis_calculate(const DispatchArguments& arguments);
};

/// A new AnalysisCalculate for the module's class factory; null when memory runs out.
IUnknown* CreateAnalysisCalculate();
