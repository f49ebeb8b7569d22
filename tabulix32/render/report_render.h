#pragma once
// ReportRender: turns the report data a page has fetched into the HTML of report rows, totals,
// pivots and comparisons, appended to a StringBuffer. It holds no state between calls.

#include <span>

#include "platform/com/dispatch_object.h"

class ReportRender : public DispatchObject<ReportRender> {
 public:
  static std::span<const DispatchMember<ReportRender>> Members();
  std::u16string_view TypeName() override { return u"ReportRender"; }
};

/// A new ReportRender for the module's class factory; null when memory runs out.
IUnknown* CreateReportRender();
