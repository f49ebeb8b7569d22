#pragma once
// The platform's formatters on automation values, in the calling thread's locale: the number,
// percent and currency forms (value, digits, leading zero, parentheses for negatives, grouping)
// and the named date formats. The value is converted to a number first (a numeric string is
// accepted; Null is InvalidUseOfNull (94), other text TypeMismatch (13)); a Currency value is
// formatted exactly.

#include "platform/automation/date_time.h"
#include "platform/automation/number_text.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"

Result<Bstr> FormatNumber(const VARIANT& value, int digits = -1,
                          TriState leading_zero = TriState::UseDefault,
                          TriState parentheses = TriState::UseDefault,
                          TriState grouping = TriState::UseDefault);
Result<Bstr> FormatPercent(const VARIANT& value, int digits = -1,
                           TriState leading_zero = TriState::UseDefault,
                           TriState parentheses = TriState::UseDefault,
                           TriState grouping = TriState::UseDefault);
Result<Bstr> FormatCurrency(const VARIANT& value, int digits = -1,
                            TriState leading_zero = TriState::UseDefault,
                            TriState parentheses = TriState::UseDefault,
                            TriState grouping = TriState::UseDefault);
/// The value converted to a date, then written in one of the named formats.
Result<Bstr> FormatDateTime(const VARIANT& value, NamedDateFormat format = NamedDateFormat::GeneralDate);
