#pragma once
// OLE dates (local calendar time, days since 1899-12-30) and JavaScript time values
// (milliseconds since 1970-01-01 UTC), converted through the process's time zone as the
// script's Date objects see it.

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

namespace jscript {

/// The time value of a local OLE date, to the millisecond; NaN for a date outside the valid
/// range.
double TimeValueFromOleDate(DATE date);

/// The local OLE date of a time value; Overflow (6) for NaN, infinities and dates outside
/// years 100-9999.
Result<DATE> OleDateFromTimeValue(double time_value);

}  // namespace jscript
