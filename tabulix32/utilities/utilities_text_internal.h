#pragma once
// Text steps shared by the date-period, query-string, link and IP-mask members of
// UtilitiesClass: the text of an argument under the value type's Null rules, the condition
// test of a flag argument, trimming of spaces and replacement of every occurrence.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/automation/bstr.h"
#include "platform/automation/compare.h"
#include "platform/automation/conversion.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"

namespace utilities_internal {

inline bool IsNullValue(const VARIANT& value) { return PeekValue(value).vt == VT_NULL; }

/// The text of an argument that must be text: Null fails with invalid use of Null (94), other
/// values convert as the value type converts them to text (numbers and dates in the locale).
inline Result<std::u16string> RequiredText(const VARIANT& value) {
  Bstr text = TRY(ToBstr(value));
  return std::u16string(text.view());
}

/// The text of an argument as concatenation sees it: Null and Empty are "".
inline Result<std::u16string> ConcatenatedText(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_NULL) return std::u16string();
  if (shallow.vt == VT_BSTR) return std::u16string(BstrView(shallow.bstrVal));  // as it is
  return RequiredText(value);
}

/// A flag argument in a condition: Null counts as false; "abc" fails with type mismatch (13).
inline Result<bool> IsTrue(const VARIANT& value) {
  if (IsNullValue(value)) return false;
  return ToBool(value);
}

/// value = text by the value type's comparison (binary; Null is never equal; a number never
/// equals a text that is no number).
inline Result<bool> EqualsText(const VARIANT& value, std::u16string_view text) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_BSTR) return BstrView(shallow.bstrVal) == text;
  Variant expected = Variant::FromString(text);
  return TRY(Compare(value, expected)) == Comparison::Equal;
}

/// A text result; a text longer than the longest string fails with out of string space (14)
/// rather than turning into an empty string.
inline Result<Variant> TextResult(std::u16string_view text) {
  if (text.size() > kMaxBstrLength) return ErrorNumber::OutOfStringSpace;
  return Variant::FromString(text);
}

/// A copy of the value an argument stands for (by-reference levels removed), for the members
/// that give an argument back unchanged.
inline Result<Variant> CopyOfValue(const VARIANT& value) {
  Variant copy;
  if (FAILED(VariantCopyInd(&copy, &value))) return ErrorNumber::OutOfMemory;
  return copy;
}

/// The text without the space character U+0020 at either end (tabs and other blanks stay).
inline std::u16string_view TrimSpaces(std::u16string_view text) {
  size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return {};
  size_t last = text.find_last_not_of(u' ');
  return text.substr(first, last - first + 1);
}

/// Every non-overlapping occurrence of `find`, searched from the start and case-sensitively,
/// replaced by `replacement`. An empty `find` changes nothing. A result longer than the longest
/// string fails with out of string space (14) before anything is built.
inline Result<std::u16string> ReplaceAll(std::u16string_view text, std::u16string_view find,
                                         std::u16string_view replacement) {
  if (find.empty()) return std::u16string(text);
  size_t occurrences = 0;
  for (size_t at = text.find(find); at != std::u16string_view::npos;
       at = text.find(find, at + find.size())) {
    ++occurrences;
  }
  if (occurrences == 0) return std::u16string(text);
  // Sizes stay far below overflow: texts are BSTRs, at most kMaxBstrLength characters.
  uint64_t size = text.size() - uint64_t{occurrences} * find.size() +
                  uint64_t{occurrences} * replacement.size();
  if (size > kMaxBstrLength) return ErrorNumber::OutOfStringSpace;
  std::u16string result;
  result.reserve(static_cast<size_t>(size));
  size_t start = 0;
  for (size_t at = text.find(find); at != std::u16string_view::npos;
       at = text.find(find, start)) {
    result.append(text.substr(start, at - start));
    result.append(replacement);
    start = at + find.size();
  }
  result.append(text.substr(start));
  return result;
}

}  // namespace utilities_internal
