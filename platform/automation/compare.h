#pragma once
// Comparison of automation values: strings by code unit (or ignoring case in text mode),
// numbers by value, a number and a numeric string as numbers, a number below a non-numeric
// string, Empty as 0 beside numbers and "" beside strings, and Null against anything is Null.

#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

enum class CompareMode { Binary = 0, Text = 1 };

/// The outcome, with the platform's VARCMP values.
enum class Comparison { Less = 0, Equal = 1, Greater = 2, Null = 3 };

/// TypeMismatch (13) for arrays, errors and objects without a default value.
Result<Comparison> Compare(const VARIANT& left, const VARIANT& right,
                           CompareMode mode = CompareMode::Binary);

Comparison CompareStrings(std::u16string_view left, std::u16string_view right, CompareMode mode);
