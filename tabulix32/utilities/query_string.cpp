// Query-string members of UtilitiesClass: reading, setting, changing and removing name=value
// pairs of a link clause. Names are compared exactly; values are neither decoded nor encoded.
#include "tabulix32/utilities/utilities_class.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/compare.h"
#include "platform/automation/conversion.h"
#include "tabulix32/utilities/link_utilities_internal.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using namespace utilities_internal;

namespace {

constexpr char16_t kPairSeparator = u'&';
constexpr char16_t kPageSeparator = u'?';
constexpr char16_t kNameValueSeparator = u'=';
constexpr char16_t kValueListSeparator = u',';

// The texts one after another; out of string space (14) past the longest string.
Result<std::u16string> JoinTexts(std::initializer_list<std::u16string_view> texts) {
  uint64_t size = 0;
  for (std::u16string_view text : texts) size += text.size();
  if (size > kMaxBstrLength) return ErrorNumber::OutOfStringSpace;
  std::u16string joined;
  joined.reserve(static_cast<size_t>(size));
  for (std::u16string_view text : texts) joined.append(text);
  return joined;
}

// The query string as searched: "?" counts as a pair separator.
std::u16string WithPageSeparatorAsPair(std::u16string_view query) {
  std::u16string searched(query);
  std::replace(searched.begin(), searched.end(), kPageSeparator, kPairSeparator);
  return searched;
}

// Calls `visit(part)` for each "&"-separated part, in order; an empty query has no parts. A
// failing visit ends the walk with its error.
template <class Visit>
Result<void> ForEachPart(std::u16string_view query, Visit visit) {
  if (query.empty()) return {};
  size_t start = 0;
  while (true) {
    size_t end = std::min(query.find(kPairSeparator, start), query.size());
    TRY(visit(query.substr(start, end - start)));
    if (end == query.size()) return {};
    start = end + 1;
  }
}

// Whether a pair's name equals the wanted name, by the value type's comparison (a string name
// exactly, code unit by code unit; Null matches nothing).
Result<bool> NameMatches(std::u16string_view name, const Variant& wanted) {
  if (wanted.Type() == VT_BSTR) return name == wanted.StringView();
  if (wanted.IsNull()) return false;
  Variant name_value = Variant::FromString(name);
  return TRY(Compare(name_value, wanted)) == Comparison::Equal;
}

// The values of every pair named `wanted`, joined with ","; "" when none. A matching part
// without "=" has no value: subscript out of range (9).
Result<std::u16string> CollectValues(std::u16string_view query, const Variant& wanted) {
  std::u16string values;
  bool matched = false;
  TRY(ForEachPart(query, [&](std::u16string_view part) -> Result<void> {
    size_t equals = part.find(kNameValueSeparator);
    if (!TRY(NameMatches(part.substr(0, equals), wanted))) return {};
    if (equals == std::u16string_view::npos) return ErrorNumber::SubscriptOutOfRange;
    if (matched) values += kValueListSeparator;
    values.append(part.substr(equals + 1));  // the value keeps any further "="
    matched = true;
    return {};
  }));
  return values;
}

// The pair of a part for removeQSVariable: its name and the piece after the first "=" up to a
// second one (a part without "=" gets an empty value).
struct NameAndValue {
  std::u16string_view name;
  std::u16string_view value;
};

NameAndValue SplitPair(std::u16string_view part) {
  size_t equals = part.find(kNameValueSeparator);
  if (equals == std::u16string_view::npos) return {part, {}};
  std::u16string_view after = part.substr(equals + 1);
  return {part.substr(0, equals), after.substr(0, after.find(kNameValueSeparator))};
}

}  // namespace

namespace utilities_internal {

Result<std::u16string> ChangeQueryStringVariable(std::u16string_view query,
                                                 std::u16string_view name,
                                                 std::u16string_view value) {
  // 1-2. Search with "?" as "&"; a pair at the very start gets a "&" in front for the search.
  std::u16string searched = WithPageSeparatorAsPair(query);
  std::u16string pair_start = TRY(JoinTexts({name, u"="}));
  bool at_start = searched.starts_with(pair_start);
  if (at_start) searched.insert(searched.begin(), kPairSeparator);
  // 3-4. Absent: append the pair to the text as passed.
  size_t found = searched.find(TRY(JoinTexts({u"&", pair_start})));
  if (found == std::u16string::npos) return JoinTexts({query, u"&", pair_start, value});
  // 5. The separator before the name comes from the text as passed, so a "?" survives. For a
  // pair at the start this takes the name's first character, dropped again at the end.
  std::u16string_view separator_and_before = query.substr(0, found + 1);
  // 6-7. The old value ends at the next "&" of the searched text.
  size_t value_start = std::min(separator_and_before.size() + pair_start.size(), searched.size());
  std::u16string_view rest = std::u16string_view(searched).substr(value_start);
  std::u16string_view tail = rest.substr(std::min(rest.find(kPairSeparator), rest.size()));
  // 8.
  std::u16string result = TRY(JoinTexts({separator_and_before, pair_start, value, tail}));
  if (at_start) result.erase(0, 1);
  return result;
}

Result<std::u16string> SetQueryStringVariable(std::u16string_view query,
                                              std::u16string_view name,
                                              std::u16string_view value) {
  // 1. The searched form always starts with a separator.
  std::u16string searched = WithPageSeparatorAsPair(query);
  if (!searched.starts_with(kPairSeparator)) searched.insert(searched.begin(), kPairSeparator);
  // 2. An absent pair is appended to the searched form; a present one changed in place.
  std::u16string result;
  if (searched.find(TRY(JoinTexts({u"&", name, u"="}))) == std::u16string::npos) {
    result = TRY(JoinTexts({searched, u"&", name, u"=", value}));
  } else {
    result = TRY(ChangeQueryStringVariable(query, name, value));
  }
  // 3. Only the first "&" goes: an empty query string gives "&name=value".
  if (result.starts_with(kPairSeparator)) result.erase(0, 1);
  return result;
}

}  // namespace utilities_internal

// getQSVariable(qs, varname): the values of every pair named varname, joined with ",".
// The caller's qs loses one leading and one trailing "&".
Result<Variant> UtilitiesClass::getQSVariable(const DispatchArguments& arguments) {
  std::u16string query = TRY(RequiredText(arguments[0]));
  bool trimmed = false;
  if (query.starts_with(kPairSeparator)) {
    query.erase(0, 1);
    trimmed = true;
  }
  if (query.ends_with(kPairSeparator)) {
    query.pop_back();
    trimmed = true;
  }
  if (trimmed) TRY(arguments.Assign(0, Variant::FromString(query)));
  Variant wanted = TRY(ValueOf(arguments[1]));
  std::u16string values = TRY(CollectValues(query, wanted));
  return TextResult(values);
}

// setQSVariable(l_qs2, l_param, l_newValue)
Result<Variant> UtilitiesClass::setQSVariable(const DispatchArguments& arguments) {
  std::u16string query = TRY(RequiredText(arguments[0]));
  std::u16string name = TRY(ConcatenatedText(arguments[1]));
  std::u16string value = TRY(ConcatenatedText(arguments[2]));
  std::u16string result = TRY(SetQueryStringVariable(query, name, value));
  return TextResult(result);
}

// changeQSVariable(l_qs2, l_param, l_newValue)
Result<Variant> UtilitiesClass::changeQSVariable(const DispatchArguments& arguments) {
  std::u16string query = TRY(RequiredText(arguments[0]));
  std::u16string name = TRY(ConcatenatedText(arguments[1]));
  std::u16string value = TRY(ConcatenatedText(arguments[2]));
  std::u16string result = TRY(ChangeQueryStringVariable(query, name, value));
  return TextResult(result);
}

// removeQSVariable(l_qs, param): the query string without the pairs named param (names
// compared without outer spaces). Null gives Null. Every kept pair comes out as name=value.
Result<Variant> UtilitiesClass::removeQSVariable(const DispatchArguments& arguments) {
  if (IsNullValue(arguments[0])) return Variant::Null();
  std::u16string query = TRY(RequiredText(arguments[0]));
  // A Null name is the name of no pair, so nothing is removed.
  std::optional<std::u16string> removed;
  if (!IsNullValue(arguments[1])) removed = TRY(RequiredText(arguments[1]));
  std::u16string_view removed_name = removed ? TrimSpaces(*removed) : std::u16string_view();
  std::u16string output;
  TRY(ForEachPart(query, [&](std::u16string_view part) -> Result<void> {
    NameAndValue pair = SplitPair(part);
    if (removed && TrimSpaces(pair.name) == removed_name) return {};
    // Once a pair is kept the output holds its "=", so it never trims to empty again.
    if (!output.empty()) output += kPairSeparator;
    output.append(pair.name);
    output += kNameValueSeparator;
    output.append(pair.value);
    return {};
  }));
  return TextResult(output);
}
