// Members not written yet.
#include "tabulix32/render/report_render.h"

Result<Variant> ReportRender::utilities_updategroupdate(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::utilities_updategriddate(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::analysis_pivot_updatedates(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::renderCompareRowDescriptions(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::renderCompareQuantities(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::otherRow_Comparison(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::utilities_compare_varshow(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::compare_ShowGrandTotals(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::utilities_compare_colvarshow(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::renderCompareGroupedTotals(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::compareGroupedTotals_flipped(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::compare_AllZeroes(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
