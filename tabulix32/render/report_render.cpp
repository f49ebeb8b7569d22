// ReportRender: the member table of the render methods.
#include "tabulix32/render/report_render.h"

#include <new>

std::span<const DispatchMember<ReportRender>> ReportRender::Members() { return {}; }

IUnknown* CreateReportRender() {
  return static_cast<IDispatch*>(new (std::nothrow) ReportRender());
}
