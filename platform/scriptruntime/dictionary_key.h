#pragma once
// The identity of a dictionary key: what makes two keys the same key.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

/// How string keys compare. Database compares as Text.
enum class DictionaryCompareMode : int32_t { Binary = 0, Text = 1, Database = 2 };

/// A key reduced to what identifies it; two keys are the same when these are equal.
struct DictionaryKey {
  enum class Kind : uint8_t { Empty, Null, Number, Text, Object };

  Kind kind = Kind::Empty;
  /// Number: the bits of the value as a double, with -0 stored as 0 and every NaN alike.
  /// Object: the address of the object's IUnknown (0 for Nothing).
  uint64_t bits = 0;
  /// Text: the string, upper-cased when case is ignored.
  std::u16string text;

  friend bool operator==(const DictionaryKey&, const DictionaryKey&) = default;
};

/// The identity of a key value (by-reference levels removed). InvalidProcedureCall (5) for
/// arrays and for values that are no key (errors, records, ...).
Result<DictionaryKey> MakeDictionaryKey(const VARIANT& key, DictionaryCompareMode mode);

/// A hash of the key that is the same in every process and build (no per-run seed).
uint64_t HashDictionaryKey(const DictionaryKey& key);

/// HashDictionaryKey of a Text key holding `text`, without building the key.
uint64_t HashTextKey(std::u16string_view text);
