#pragma once
// Function addresses and their parameters as hosts pass them through automation: a number,
// 64-bit (VT_I8) on this system. Empty and a missing argument read as 0 (no function).

#include <cstdint>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

/// The address a value carries: 64-bit integers as they are, other numbers as 32-bit integers
/// (Type mismatch or Overflow for anything else).
Result<int64_t> CallbackAddressOf(const VARIANT& value);
