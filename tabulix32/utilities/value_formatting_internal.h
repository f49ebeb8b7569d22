#pragma once
// The value-formatting members the renderer calls for every cell, for callers in this library
// that hold this library's own UtilitiesClass: the same bodies as the members, on arguments
// given first-first (none of these members writes to its arguments), without the dispatch
// step. Each fails as its member does; a wrong argument count fails with 450.

#include <span>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

namespace report_data {
class KeyedItems;
}

namespace utilities_internal {

/// fixZero(numToFix)
Result<Variant> FixZero(std::span<const VARIANT> arguments);
/// myDivision(n, d)
Result<Variant> Division(std::span<const VARIANT> arguments);
/// myFormatPercentNoColor(n, d, numdigits, negative_num_format)
Result<Variant> FormatPercentNoColor(std::span<const VARIANT> arguments);
/// myFormatValue(quantityFieldName, n, d, format, hasdenom, cache_schemaReportQuantities,
/// currency_symbol, system_currency_symbol, default_font_color, negative_num_format,
/// reporttype1)
Result<Variant> FormatValue(std::span<const VARIANT> arguments);
/// The same, reading the settings through `settings`, which the caller opened on the
/// collection arguments[5] holds (one opening for many cells).
Result<Variant> FormatValue(std::span<const VARIANT> arguments, report_data::KeyedItems& settings);

}  // namespace utilities_internal
