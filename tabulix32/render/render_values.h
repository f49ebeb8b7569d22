#pragma once
// How the render methods read the values a page passes: conditions, texts, emptiness, and the
// running totals they keep. Conversions and arithmetic are the value type's own
// (platform/automation); this file only says which rule each test of the methods applies.

#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

namespace render_values {

/// A condition: true for True or a non-zero number; Null and Empty are false; a text that is
/// no number fails with type mismatch (13), as "If x Then" does.
Result<bool> IsTrue(const VARIANT& value);

/// value = text, compared exactly (case-sensitive); Null is never equal.
Result<bool> Equals(const VARIANT& value, std::u16string_view text);

/// A page's switch: value = "Yes", exactly.
Result<bool> IsYes(const VARIANT& value);

/// The text of a value as concatenation gives it: Null and Empty as "", numbers and dates in
/// the locale's display form.
Result<std::u16string> TextOf(const VARIANT& value);

/// "Not empty" in the methods' tests is false for Empty, Null and "".
bool IsEmptyValue(const VARIANT& value);

/// Empty after trimming spaces (Null counts as empty).
Result<bool> IsBlank(const VARIANT& value);

/// A description shown as the placeholder ".": Null, blank, or the text "<NULL>".
Result<bool> IsMissingDescription(const VARIANT& value);

/// A text the formatters cannot read as a number: a string that is neither empty nor
/// numeric ("n/a"). Such a value is shown as its text instead of failing the report.
bool IsUnreadableNumber(const VARIANT& value);

/// A denominator that is no number (Null, "", "n/a"): it counts as 0, so that one odd value
/// never fails a report.
bool IsUnreadableDenominator(const VARIANT& value);

/// The denominator as the formatters are given it: 0 for one that is no number.
Variant DenominatorOrZero(const VARIANT& value);

/// The value as a double; a value that is no number (Null, "", "n/a") counts as 0.
double NumberOrZero(const VARIANT& value);

/// How a running total takes a value: by the value type's addition (numbers keep their type),
/// or as double-precision numbers.
enum class Accumulation { Values, Doubles };

/// total + addend for a running total. A total that holds no number (the empty text of a
/// column that met a value that is no number, Null) takes no further values: nothing is
/// returned and the total stays as it is. An addend that is no number counts as 0. Overflow
/// (6) as the addition gives it.
Result<std::optional<Variant>> Accumulate(const VARIANT& total, const VARIANT& addend,
                                          Accumulation mode);

}  // namespace render_values
