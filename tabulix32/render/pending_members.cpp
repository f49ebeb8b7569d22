// Members not written yet.
#include "tabulix32/render/report_render.h"

Result<Variant> ReportRender::utilities_updategroupdate(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::utilities_updategriddate(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
Result<Variant> ReportRender::analysis_pivot_updatedates(const DispatchArguments&) { return Error::FromHresult(E_NOTIMPL); }
