// The string functions that search: InStr, InStrRev, InStrB, Replace, Split, Filter and
// StrComp, and Join, Split's inverse. Text comparison upper-cases both sides with the value
// layer's case mapping (one code unit for one, so positions carry over), then searches
// binary. Searches stay linear for any input: short patterns use the library search, long
// ones a rolling hash, so no script can make one call quadratic in its text.

#include <optional>
#include <sys/random.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/safearray.h"
#include "platform/automation/text_case.h"
#include "platform/vbscript/builtins/builtin_functions_internal.h"

namespace builtins {
namespace {

constexpr size_t kNotFound = std::u16string_view::npos;

// ---- Rolling-hash search ----

// Patterns up to this length use the library's search, whose worst case is length × text.
constexpr size_t kShortPattern = 32;
constexpr uint64_t kHashModulus = (uint64_t{1} << 61) - 1;

uint64_t MultiplyModulo(uint64_t a, uint64_t b) {
  unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  uint64_t folded = static_cast<uint64_t>(product >> 61) + static_cast<uint64_t>(product & kHashModulus);
  return folded >= kHashModulus ? folded - kHashModulus : folded;
}

// A base drawn once per process, so that no script can choose texts whose hashes collide.
uint64_t HashBase() {
  static const uint64_t base = [] {
    uint64_t seed = 0;
    if (getrandom(&seed, sizeof(seed), GRND_NONBLOCK) != static_cast<ssize_t>(sizeof(seed))) {
      seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    return seed % (kHashModulus - 1024) + 512;
  }();
  return base;
}

// Reads a text forwards or back to front, so that one search serves InStr and InStrRev.
struct Forward {
  std::u16string_view text;
  char16_t operator[](size_t i) const { return text[i]; }
};
struct Backward {
  std::u16string_view text;
  char16_t operator[](size_t i) const { return text[text.size() - 1 - i]; }
};

template <class Reader>
bool MatchesAt(const Reader& haystack, const Reader& needle, size_t at, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (haystack[at + i] != needle[i]) return false;
  }
  return true;
}

// Rabin-Karp: the first i >= from where the needle occurs, in the reader's order.
template <class Reader>
size_t RollingFind(const Reader& haystack, size_t size, const Reader& needle, size_t length, size_t from) {
  if (from > size || size - from < length) return kNotFound;
  const uint64_t base = HashBase();
  uint64_t needle_hash = 0, window = 0, top_power = 1;
  for (size_t i = 0; i < length; ++i) {
    needle_hash = (MultiplyModulo(needle_hash, base) + needle[i]) % kHashModulus;
    window = (MultiplyModulo(window, base) + haystack[from + i]) % kHashModulus;
    if (i > 0) top_power = MultiplyModulo(top_power, base);
  }
  for (size_t at = from;; ++at) {
    if (window == needle_hash && MatchesAt(haystack, needle, at, length)) return at;
    if (at + length >= size) return kNotFound;
    uint64_t outgoing = MultiplyModulo(haystack[at], top_power);
    window = (window + kHashModulus - outgoing) % kHashModulus;
    window = (MultiplyModulo(window, base) + haystack[at + length]) % kHashModulus;
  }
}

// The first occurrence at or after `from`.
size_t FindFirst(std::u16string_view haystack, std::u16string_view needle, size_t from) {
  if (needle.size() <= kShortPattern) return haystack.find(needle, from);
  return RollingFind(Forward{haystack}, haystack.size(), Forward{needle}, needle.size(), from);
}

// The last occurrence that ends at or before `end`.
size_t FindLast(std::u16string_view haystack, std::u16string_view needle, size_t end) {
  if (end < needle.size()) return kNotFound;
  if (needle.size() <= kShortPattern) return haystack.rfind(needle, end - needle.size());
  size_t reversed = RollingFind(Backward{haystack}, haystack.size(), Backward{needle}, needle.size(),
                                haystack.size() - end);
  return reversed == kNotFound ? kNotFound : haystack.size() - reversed - needle.size();
}

// The two texts of a search, upper-cased for text comparison. Positions in the folded texts are
// positions in the originals.
class SearchTexts {
 public:
  SearchTexts(std::u16string_view haystack, std::u16string_view needle, CompareMode mode) {
    if (mode == CompareMode::Binary) {
      haystack_ = haystack;
      needle_ = needle;
      return;
    }
    folded_haystack_ = ToUpper(haystack);
    folded_needle_ = ToUpper(needle);
    haystack_ = folded_haystack_;
    needle_ = folded_needle_;
  }
  // The views may point into the object itself.
  SearchTexts(const SearchTexts&) = delete;
  SearchTexts& operator=(const SearchTexts&) = delete;

  size_t First(size_t from) const { return FindFirst(haystack_, needle_, from); }
  size_t Last(size_t end) const { return FindLast(haystack_, needle_, end); }

 private:
  std::u16string folded_haystack_;
  std::u16string folded_needle_;
  std::u16string_view haystack_;
  std::u16string_view needle_;
};

// ---- InStr ----

// InStr's leading start is there only with three or four arguments; an omitted one is 1.
Result<int32_t> InStrStart(const BuiltinCall& call) {
  if (call.arguments.size() < 3 || !call.Has(0)) return 1;
  int32_t start = TRY(ToInt32(call[0]));
  if (start < 1) return ErrorNumber::InvalidProcedureCall;
  return start;
}

// Position (1-based) of `needle` in `haystack` from `start`; 0 when absent, `start` for an empty
// needle, 0 when the start lies past the end.
int32_t FindPosition(std::u16string_view haystack, std::u16string_view needle, int32_t start,
                     CompareMode mode) {
  size_t from = static_cast<size_t>(start) - 1;
  if (from >= haystack.size()) return 0;
  if (needle.empty()) return start;
  size_t found = SearchTexts(haystack, needle, mode).First(from);
  return found == kNotFound ? 0 : static_cast<int32_t>(found + 1);
}

// A string's storage read as bytes: UTF-16LE, as code units lie in memory on the little-endian
// machines we run on.
std::string_view BytesOf(std::u16string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

// ---- Split and Filter ----

// Calls `piece(first, length)` for each piece of `text` cut at `delimiter`, at most `limit`
// pieces (the last keeps the rest; -1 means no limit). Returns the number of pieces.
template <class PieceFunction>
uint32_t ForEachPiece(std::u16string_view text, std::u16string_view delimiter, int32_t limit,
                      CompareMode mode, PieceFunction piece) {
  SearchTexts search(text, delimiter, mode);
  uint32_t count = 0;
  size_t first = 0;
  while (limit < 0 || count + 1 < static_cast<uint32_t>(limit)) {
    size_t found = search.First(first);
    if (found == kNotFound) break;
    piece(first, found - first);
    ++count;
    first = found + delimiter.size();
  }
  piece(first, text.size() - first);
  return count + 1;
}

// Calls `match(position)` for each non-overlapping occurrence, at most `limit` of them (-1: all).
template <class MatchFunction>
void ForEachMatch(const SearchTexts& search, size_t length, int32_t limit, MatchFunction match) {
  size_t from = 0;
  for (int32_t done = 0; limit < 0 || done < limit; ++done) {
    size_t found = search.First(from);
    if (found == kNotFound) return;
    match(found);
    from = found + length;
  }
}

// ---- Arrays of strings ----

// Appends to a string, growing its capacity geometrically; false when memory runs out.
bool AppendInPlace(Bstr& text, std::u16string_view tail) {
  BSTR raw = text.Detach();
  bool appended = BstrAppend(&raw, tail);
  text = Bstr::Adopt(raw);
  return appended;
}

// The element count of the one-dimensional array Join and Filter read; InvalidProcedureCall (5)
// for more dimensions.
Result<uint64_t> VectorLength(SAFEARRAY* array) {
  if (SafeArrayGetDim(array) != 1) return ErrorNumber::InvalidProcedureCall;
  return SafeArrayElementCount(array);
}

// Element `offset` (from the lower bound) as text; strings are borrowed where they lie, so
// joining or filtering a large array copies nothing it does not keep. Null is InvalidUseOfNull.
Result<TextArgument> ElementText(SAFEARRAY* array, uint64_t offset) {
  const int32_t lower = TRY(SafeArrayLowerBound(array, 1));
  const auto index = static_cast<int32_t>(lower + static_cast<int64_t>(offset));
  void* address = TRY(SafeArrayElementAddress(array, &index, 1));
  if (array->vt == VT_VARIANT) return ReadNonNullText(*static_cast<const VARIANT*>(address));
  if (array->vt == VT_BSTR) {
    TextArgument text;
    text.view = BstrView(*static_cast<BSTR*>(address));
    return text;
  }
  // Other element types are numbers, Booleans or objects: their text is made, not borrowed.
  Variant element = TRY(SafeArrayGetElement(array, &index, 1));
  return ReadNonNullText(element);
}

Result<Variant> VectorOfStrings(const std::vector<std::u16string_view>& pieces) {
  Variant vector = TRY(NewVariantVector(static_cast<uint32_t>(pieces.size())));
  VARIANT* elements = VectorElements(vector);
  for (size_t i = 0; i < pieces.size(); ++i) elements[i] = TRY(MakeString(pieces[i])).Detach();
  return vector;
}

}  // namespace

Result<Variant> InStr(const BuiltinCall& call) {
  const size_t first = call.arguments.size() >= 3 ? 1 : 0;
  int32_t start = TRY(InStrStart(call));
  TextArgument haystack = TRY(ReadText(call[first]));
  TextArgument needle = TRY(ReadText(call[first + 1]));
  CompareMode mode = TRY(ReadCompareMode(call, first + 2));
  if (haystack.is_null || needle.is_null) return Variant::Null();
  return Variant::FromI4(FindPosition(haystack.view, needle.view, start, mode));
}

// Byte positions in the strings' UTF-16LE storage; the comparison is always by byte.
Result<Variant> InStrB(const BuiltinCall& call) {
  const size_t first = call.arguments.size() >= 3 ? 1 : 0;
  int32_t start = TRY(InStrStart(call));
  TextArgument haystack = TRY(ReadText(call[first]));
  TextArgument needle = TRY(ReadText(call[first + 1]));
  TRY(ReadCompareMode(call, first + 2));
  if (haystack.is_null || needle.is_null) return Variant::Null();
  const std::string_view bytes = BytesOf(haystack.view);
  const std::string_view sought = BytesOf(needle.view);
  size_t from = static_cast<size_t>(start) - 1;
  if (from >= bytes.size()) return Variant::FromI4(0);
  if (sought.empty()) return Variant::FromI4(start);
  // memmem is linear in the text for any pattern.
  const void* found = memmem(bytes.data() + from, bytes.size() - from, sought.data(), sought.size());
  if (found == nullptr) return Variant::FromI4(0);
  return Variant::FromI4(static_cast<int32_t>(static_cast<const char*>(found) - bytes.data() + 1));
}

// The match must end at or before `start` (-1: the end of the text).
// Unlike InStr, a Null text is "Invalid use of Null" here, not a Null result.
Result<Variant> InStrRev(const BuiltinCall& call) {
  TextArgument haystack = TRY(ReadNonNullText(call[0]));
  TextArgument needle = TRY(ReadNonNullText(call[1]));
  int32_t start = TRY(OptionalLong(call, 2, -1));
  if (start == 0 || start < -1) return ErrorNumber::InvalidProcedureCall;
  CompareMode mode = TRY(ReadCompareMode(call, 3));
  const size_t size = haystack.view.size();
  const size_t end = start == -1 ? size : static_cast<size_t>(start);
  if (size == 0 || end > size) return Variant::FromI4(0);
  if (needle.view.empty()) return Variant::FromI4(static_cast<int32_t>(end));
  size_t found = SearchTexts(haystack.view, needle.view, mode).Last(end);
  return Variant::FromI4(found == kNotFound ? 0 : static_cast<int32_t>(found + 1));
}

// The result starts at `start`: the text before it is dropped, as the platform does. Matches are
// counted before anything is built, so an oversized result fails before it is allocated.
Result<Variant> Replace(const BuiltinCall& call) {
  TextArgument text = TRY(ReadNonNullText(call[0]));
  TextArgument find = TRY(ReadNonNullText(call[1]));
  TextArgument replacement = TRY(ReadNonNullText(call[2]));
  int32_t start = TRY(OptionalLong(call, 3, 1));
  int32_t count = TRY(OptionalLong(call, 4, -1));
  CompareMode mode = TRY(ReadCompareMode(call, 5));
  if (start < 1 || count < -1) return ErrorNumber::InvalidProcedureCall;
  if (static_cast<size_t>(start) > text.view.size()) return MakeString(u"");
  const std::u16string_view tail = text.view.substr(start - 1);
  const std::u16string_view with = replacement.view;
  const size_t find_length = find.view.size();
  if (find_length == 0 || count == 0) return MakeString(tail);
  SearchTexts search(tail, find.view, mode);
  uint64_t matches = 0;
  ForEachMatch(search, find_length, count, [&](size_t) { ++matches; });
  Bstr result = TRY(AllocateString(tail.size() + matches * with.size() - matches * find_length));
  BSTR out = result.get();
  size_t copied = 0;
  ForEachMatch(search, find_length, count, [&](size_t found) {
    out = std::copy(tail.begin() + copied, tail.begin() + found, out);
    out = std::copy(with.begin(), with.end(), out);
    copied = found + find_length;
  });
  std::copy(tail.begin() + copied, tail.end(), out);
  return Variant::FromBstr(std::move(result));
}

// Pieces are counted first and written second, so no list of them is ever held.
Result<Variant> Split(const BuiltinCall& call) {
  TextArgument text = TRY(ReadNonNullText(call[0]));
  TextArgument delimiter;
  if (call.Has(1)) delimiter = TRY(ReadNonNullText(call[1]));
  std::u16string_view separator = call.Has(1) ? delimiter.view : u" ";
  int32_t limit = TRY(OptionalLong(call, 2, -1));
  CompareMode mode = TRY(ReadCompareMode(call, 3));
  if (limit < -1) return ErrorNumber::InvalidProcedureCall;
  if (text.view.empty() || limit == 0) return NewVariantVector(0);
  if (separator.empty()) return VectorOfStrings({text.view});
  uint32_t count = ForEachPiece(text.view, separator, limit, mode, [](size_t, size_t) {});
  Variant vector = TRY(NewVariantVector(count));
  VARIANT* elements = VectorElements(vector);
  uint32_t index = 0;
  Result<void> status;
  ForEachPiece(text.view, separator, limit, mode, [&](size_t first, size_t length) {
    if (!status.ok()) return;
    Result<Variant> piece = MakeString(text.view.substr(first, length));
    if (!piece.ok()) status = std::move(piece).error();
    if (piece.ok()) elements[index++] = piece.value().Detach();
  });
  TRY(std::move(status));
  return vector;
}

// Join for a Variant array whose elements are all strings: the result's length is known before
// it is built. Empty when some element is something else (or the result would be too long), so
// the general path decides.
std::optional<Bstr> JoinStrings(SAFEARRAY* array, uint64_t count, std::u16string_view separator) {
  if (array->vt != VT_VARIANT || count == 0) return std::nullopt;
  const auto* elements = static_cast<const VARIANT*>(array->pvData);
  uint64_t length = separator.size() * (count - 1);
  for (uint64_t i = 0; i < count; ++i) {
    if (elements[i].vt != VT_BSTR) return std::nullopt;
    length += SysStringLen(elements[i].bstrVal);
  }
  if (length > kMaxStringLength) return std::nullopt;
  Bstr joined = Bstr::Adopt(SysAllocStringLen(nullptr, static_cast<uint32_t>(length)));
  if (joined.get() == nullptr) return std::nullopt;
  char16_t* out = joined.get();
  for (uint64_t i = 0; i < count; ++i) {
    if (i > 0) out = std::copy(separator.begin(), separator.end(), out);
    std::u16string_view piece = BstrView(elements[i].bstrVal);
    out = std::copy(piece.begin(), piece.end(), out);
  }
  return joined;
}

// The result grows in place as each element is read once; an oversized result stops at the
// first element that would pass the limit.
Result<Variant> Join(const BuiltinCall& call) {
  SAFEARRAY* array = TRY(ReadArray(call[0]));
  TextArgument delimiter;
  if (call.Has(1)) delimiter = TRY(ReadNonNullText(call[1]));
  const std::u16string_view separator = call.Has(1) ? delimiter.view : u" ";
  const uint64_t count = TRY(VectorLength(array));
  // The usual case, a Variant array of strings, is measured first and copied once.
  if (std::optional<Bstr> joined = JoinStrings(array, count, separator)) return Variant::FromBstr(std::move(*joined));
  Bstr joined;
  for (uint64_t i = 0; i < count; ++i) {
    TextArgument text = TRY(ElementText(array, i));
    TRY(CheckStringLength(joined.size() + (i > 0 ? separator.size() : 0) + text.view.size()));
    if (i > 0 && !AppendInPlace(joined, separator)) return ErrorNumber::OutOfMemory;
    if (!AppendInPlace(joined, text.view)) return ErrorNumber::OutOfMemory;
  }
  return Variant::FromBstr(std::move(joined));  // a null string for no elements reads as ""
}

// The elements that contain `Value` (Include True, the default) or that do not (False).
Result<Variant> Filter(const BuiltinCall& call) {
  SAFEARRAY* array = TRY(ReadArray(call[0]));
  TextArgument value = TRY(ReadNonNullText(call[1]));
  bool include = TRY(OptionalBool(call, 2, true));
  CompareMode mode = TRY(ReadCompareMode(call, 3));
  const uint64_t count = TRY(VectorLength(array));
  std::vector<Variant> kept;
  for (uint64_t i = 0; i < count; ++i) {
    TextArgument text = TRY(ElementText(array, i));
    bool contains = SearchTexts(text.view, value.view, mode).First(0) != kNotFound;
    if (contains == include) kept.push_back(TRY(MakeString(text.view)));
  }
  Variant vector = TRY(NewVariantVector(static_cast<uint32_t>(kept.size())));
  VARIANT* elements = VectorElements(vector);
  for (size_t i = 0; i < kept.size(); ++i) elements[i] = kept[i].Detach();
  return vector;
}

Result<Variant> StrComp(const BuiltinCall& call) {
  TextArgument left = TRY(ReadText(call[0]));
  TextArgument right = TRY(ReadText(call[1]));
  CompareMode mode = TRY(ReadCompareMode(call, 2));
  if (left.is_null || right.is_null) return Variant::Null();
  switch (CompareStrings(left.view, right.view, mode)) {
    case Comparison::Less: return Variant::FromI2(-1);
    case Comparison::Greater: return Variant::FromI2(1);
    default: return Variant::FromI2(0);
  }
}

}  // namespace builtins
