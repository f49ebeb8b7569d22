#pragma once
// The keys under which AnalysisCalculate stores report data and the render methods read it:
// row keys, quantity keys, other-keys and the stored description text. Pure text functions;
// the caller converts values to text first (Null and Empty as "").

#include <cstdint>
#include <string>
#include <string_view>

namespace analysis_keys {

inline constexpr std::u16string_view kKeyPrefix = u"key_";
inline constexpr std::u16string_view kKeyEnd = u"|";
inline constexpr std::u16string_view kGroupKeyPrefix = u"groupkey_";
inline constexpr std::u16string_view kGroupKeyEnd = u"^";
inline constexpr std::u16string_view kDetailSeparator = u"~";
inline constexpr std::u16string_view kQuantitySeparator = u"_";
inline constexpr std::u16string_view kOtherPrefix = u"other_";
inline constexpr std::u16string_view kGroupRowPrefix = u"|grouprow_";
inline constexpr std::u16string_view kOtherRangeSeparator = u"^";
inline constexpr std::u16string_view kFirstDescriptionPrefix = u"firstDescr_";
/// Delimits the names and values of the stored description text.
inline constexpr char16_t kDescriptionDelimiter = u'`';
/// What a delimiter inside a description value is stored as: backslash, apostrophe.
inline constexpr std::u16string_view kEscapedDelimiter = u"\\'";

/// How a row key is laid out, by the report's kind.
enum class RowKeyLayout { Plain, Grouped, Compare, CompareGrouped };

inline RowKeyLayout LayoutOf(bool is_compare, bool is_grouped) {
  if (is_compare) return is_grouped ? RowKeyLayout::CompareGrouped : RowKeyLayout::Compare;
  return is_grouped ? RowKeyLayout::Grouped : RowKeyLayout::Plain;
}

/// "key_K|", "key_K|groupkey_G^", "key_K" or "groupkey_G^key_K"; `group_key` is used by the
/// grouped layouts only.
inline std::u16string RowKey(RowKeyLayout layout, std::u16string_view key,
                             std::u16string_view group_key) {
  std::u16string row_key;
  if (layout == RowKeyLayout::CompareGrouped) {
    row_key.append(kGroupKeyPrefix).append(group_key).append(kGroupKeyEnd);
  }
  row_key.append(kKeyPrefix).append(key);
  if (layout == RowKeyLayout::Compare || layout == RowKeyLayout::CompareGrouped) return row_key;
  row_key.append(kKeyEnd);
  if (layout == RowKeyLayout::Grouped) {
    row_key.append(kGroupKeyPrefix).append(group_key).append(kGroupKeyEnd);
  }
  return row_key;
}

/// A detail report's row key: "~" and the detail counter appended.
inline void AppendDetailCounter(std::u16string& row_key, int64_t counter) {
  std::string digits = std::to_string(counter);
  row_key.append(kDetailSeparator).append(digits.begin(), digits.end());
}

/// row key & "_" & quantity & range suffix, where the range suffix is colType & rangeID
/// (whatever the report's kind; pages pass them empty outside comparison reports).
inline std::u16string QuantityKey(std::u16string_view row_key, std::u16string_view quantity,
                                  std::u16string_view range_suffix) {
  std::u16string key(row_key);
  key.append(kQuantitySeparator).append(quantity).append(range_suffix);
  return key;
}

/// The key of one other row's value: "other_" & quantity, in a grouped report then
/// "|grouprow_" & the row's group value, in a comparison report then "^" & the range suffix
/// (colType & rangeID).
inline std::u16string OtherKey(std::u16string_view quantity, bool is_grouped,
                               std::u16string_view group_value, bool is_compare,
                               std::u16string_view range_suffix) {
  std::u16string key(kOtherPrefix);
  key.append(quantity);
  if (is_grouped) key.append(kGroupRowPrefix).append(group_value);
  if (is_compare) key.append(kOtherRangeSeparator).append(range_suffix);
  return key;
}

/// Appends one field's group of the description text: delimiter, name, delimiter, value with
/// every delimiter escaped, delimiter.
inline void AppendDescriptionField(std::u16string& description, std::u16string_view field,
                                   std::u16string_view value) {
  description.push_back(kDescriptionDelimiter);
  description.append(field);
  description.push_back(kDescriptionDelimiter);
  for (char16_t c : value) {
    if (c == kDescriptionDelimiter) {
      description.append(kEscapedDelimiter);
    } else {
      description.push_back(c);
    }
  }
  description.push_back(kDescriptionDelimiter);
}

}  // namespace analysis_keys
