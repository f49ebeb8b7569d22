#include "platform/vbscript/regexp_pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <bitset>
#include <cassert>
#include <optional>
#include <span>
#include <string>

#include "platform/automation/text_case.h"

namespace {

// Work one search may do: calls of PCRE2's internal match function, nested backtracking
// points, and the memory holding them. Catastrophic backtracking ("(a+)+$") stops at the
// first. A long subject under a quantified group ("(a|b)*") legitimately nests a point per
// unit, so the depth allowance is generous and the memory allowance is what bounds it.
constexpr uint32_t kMatchLimit = 10'000'000;
constexpr uint32_t kDepthLimit = 1'000'000;
constexpr uint32_t kHeapLimitKib = 64 * 1024;

// The longest pattern, before and after translation, in code units. PCRE2 refuses far
// shorter compiled forms; this bound only keeps the translation's own memory in check.
constexpr size_t kMaxPatternUnits = size_t{1} << 20;

// Quantifier bounds above PCRE2's maximum (65535) all read as this, which PCRE2 rejects.
constexpr uint32_t kQuantifierCeiling = 100'000;

constexpr std::u16string_view kTooComplex = u"Regular expression is too complex";

// IgnoreCase adds the other-case forms of the letters in [kFirstFoldedUnit, kPastFoldedUnit):
// below it PCRE2's caseless mode already pairs the ASCII letters, and text_case.h changes no
// unit at or above it.
constexpr char16_t kFirstFoldedUnit = 0x80;
constexpr char16_t kPastFoldedUnit = 0x460;
using CaseMarks = std::bitset<kPastFoldedUnit - kFirstFoldedUnit>;

struct UnitRange {
  char16_t first;
  char16_t last;
};

// The class escapes as the dialect defines them, ASCII only; sorted and disjoint.
constexpr UnitRange kDigits[] = {{u'0', u'9'}};
constexpr UnitRange kWordUnits[] = {{u'0', u'9'}, {u'A', u'Z'}, {u'_', u'_'}, {u'a', u'z'}};
constexpr UnitRange kSpaces[] = {{u'\t', u'\r'}, {u' ', u' '}};

Error TooComplex() {
  return Error::Script(static_cast<int32_t>(ErrorNumber::RegExpSyntaxError),
                       std::u16string(kTooComplex));
}

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }
bool IsOctalDigit(char16_t unit) { return unit >= u'0' && unit <= u'7'; }
bool IsAsciiLetter(char16_t unit) {
  return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
}

std::optional<uint32_t> HexDigitValue(char16_t unit) {
  if (IsDigit(unit)) return unit - u'0';
  if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
  if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
  return std::nullopt;
}

// \d \D \w \W \s \S: the letter names a set; upper case stands for every other unit.
bool IsClassEscape(char16_t letter) {
  switch (letter) {
    case u'd': case u'D': case u'w': case u'W': case u's': case u'S': return true;
    default: return false;
  }
}

std::span<const UnitRange> ClassEscapeSet(char16_t letter) {
  switch (letter) {
    case u'd': case u'D': return kDigits;
    case u'w': case u'W': return kWordUnits;
    default: return kSpaces;
  }
}

bool IsNegatedClassEscape(char16_t letter) {
  return letter == u'D' || letter == u'W' || letter == u'S';
}

// The units of a class escape, appended to `ranges`.
void AppendClassEscape(char16_t letter, std::vector<UnitRange>& ranges) {
  std::span<const UnitRange> set = ClassEscapeSet(letter);
  if (!IsNegatedClassEscape(letter)) {
    ranges.insert(ranges.end(), set.begin(), set.end());
    return;
  }
  uint32_t next = 0;
  for (const UnitRange& range : set) {
    if (range.first > next) ranges.push_back({char16_t(next), char16_t(range.first - 1)});
    next = range.last + 1u;
  }
  if (next <= 0xFFFF) ranges.push_back({char16_t(next), char16_t(0xFFFF)});
}

// A unit as PCRE2 reads it literally in and out of classes: ASCII letters and digits as
// themselves, anything else by its hexadecimal value, so that no unit the script wrote can
// be taken for PCRE2 syntax.
void AppendUnit(std::u16string& out, char16_t unit) {
  if (IsDigit(unit) || IsAsciiLetter(unit)) {
    out += unit;
    return;
  }
  constexpr std::u16string_view kHexDigits = u"0123456789abcdef";
  out += u"\\x{";
  bool leading = true;
  for (int shift = 12; shift >= 0; shift -= 4) {
    uint32_t digit = (unit >> shift) & 0xF;
    if (leading && digit == 0 && shift > 0) continue;
    leading = false;
    out += kHexDigits[digit];
  }
  out += u'}';
}

void AppendRange(std::u16string& out, UnitRange range) {
  AppendUnit(out, range.first);
  if (range.last == range.first) return;
  out += u'-';
  AppendUnit(out, range.last);
}

void AppendDecimal(std::u16string& out, uint32_t value) {
  std::string digits = std::to_string(value);
  out.append(digits.begin(), digits.end());
}

// Marks the other-case forms of the range's letters that PCRE2 would not pair by itself.
void MarkCaseVariants(UnitRange range, CaseMarks& marks) {
  uint32_t first = std::max<uint32_t>(range.first, kFirstFoldedUnit);
  uint32_t last = std::min<uint32_t>(range.last, kPastFoldedUnit - 1);
  for (uint32_t unit = first; unit <= last; ++unit) {
    for (char16_t variant : {ToUpperChar(char16_t(unit)), ToLowerChar(char16_t(unit))}) {
      if (variant == unit || variant < kFirstFoldedUnit || variant >= kPastFoldedUnit) continue;
      marks.set(variant - kFirstFoldedUnit);
    }
  }
}

void AppendMarkedRanges(std::u16string& out, const CaseMarks& marks) {
  size_t index = 0;
  while (index < marks.size()) {
    if (!marks.test(index)) {
      ++index;
      continue;
    }
    size_t run_end = index;
    while (run_end + 1 < marks.size() && marks.test(run_end + 1)) ++run_end;
    AppendRange(out, {char16_t(kFirstFoldedUnit + index), char16_t(kFirstFoldedUnit + run_end)});
    index = run_end + 1;
  }
}

// Rewrites a script's pattern in PCRE2's syntax, checking it against the dialect on the way.
// One pass, no recursion: nesting is only counted, so hostile nesting costs nothing here.
class PatternTranslator {
 public:
  PatternTranslator(std::u16string_view pattern, PatternOptions options)
      : pattern_(pattern), options_(options) {}

  Result<std::u16string> Translate();

 private:
  bool AtEnd() const { return position_ >= pattern_.size(); }
  bool NextIs(char16_t unit, size_t ahead = 0) const {
    return position_ + ahead < pattern_.size() && pattern_[position_ + ahead] == unit;
  }
  char16_t Take() { return pattern_[position_++]; }
  bool TakeIf(char16_t unit) {
    if (!NextIs(unit)) return false;
    ++position_;
    return true;
  }

  Result<void> TranslateItem(char16_t unit);
  Result<void> OpenGroup();
  Result<void> CloseGroup();
  Result<void> TranslateQuantifier(std::u16string_view quantifier);
  Result<void> TranslateBrace();
  Result<void> TranslateEscape();
  Result<void> TranslateDecimalEscape(char16_t first);
  Result<void> TranslateClass();
  Result<std::optional<char16_t>> ClassAtom(std::vector<UnitRange>& ranges);
  char16_t CharacterEscape(char16_t letter);
  char16_t TakeOctal(char16_t first);
  std::optional<char16_t> TakeHex(size_t digits);
  std::optional<std::u16string> TakeBraceQuantifier();
  std::optional<uint32_t> TakeBound();
  void AppendLiteral(char16_t unit);
  void AppendAnchor(char16_t anchor);
  void AppendClass(std::span<const UnitRange> ranges, bool negated);

  std::u16string_view pattern_;
  PatternOptions options_;
  uint32_t group_count_ = 0;   // capturing groups in the whole pattern
  size_t position_ = 0;
  uint32_t open_groups_ = 0;
  bool repeatable_ = false;    // whether what was translated last may take a quantifier
  std::u16string output_;
};

// Capturing groups: every "(" outside a class that is not followed by "?". Needed before
// translating, since "\2" is a backreference only when the pattern has two groups.
uint32_t CountCapturingGroups(std::u16string_view pattern) {
  uint32_t count = 0;
  bool in_class = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char16_t unit = pattern[i];
    if (unit == u'\\') {
      ++i;
    } else if (in_class) {
      in_class = unit != u']';
    } else if (unit == u'[') {
      in_class = true;
    } else if (unit == u'(' && (i + 1 == pattern.size() || pattern[i + 1] != u'?')) {
      ++count;
    }
  }
  return count;
}

Result<std::u16string> PatternTranslator::Translate() {
  if (pattern_.size() > kMaxPatternUnits) return TooComplex();
  group_count_ = CountCapturingGroups(pattern_);
  while (!AtEnd()) {
    TRY(TranslateItem(Take()));
    if (output_.size() > kMaxPatternUnits) return TooComplex();
  }
  if (open_groups_ > 0) return ErrorNumber::RegExpExpectedParen;
  return std::move(output_);
}

Result<void> PatternTranslator::TranslateItem(char16_t unit) {
  switch (unit) {
    case u'(': return OpenGroup();
    case u')': return CloseGroup();
    case u'|':
      output_ += u'|';
      repeatable_ = false;
      return {};
    case u'^': case u'$':
      AppendAnchor(unit);
      return {};
    case u'*': return TranslateQuantifier(u"*");
    case u'+': return TranslateQuantifier(u"+");
    case u'?': return TranslateQuantifier(u"?");
    case u'{': return TranslateBrace();
    case u'[': return TranslateClass();
    case u'\\': return TranslateEscape();
    case u'.':
      output_ += u'.';  // any unit but "\n": the compile context makes LF the only newline
      repeatable_ = true;
      return {};
    default:
      AppendLiteral(unit);
      return {};
  }
}

// group -> "(" disjunction ")" | "(?:" ... | "(?=" ... | "(?!" ...
Result<void> PatternTranslator::OpenGroup() {
  repeatable_ = false;
  ++open_groups_;
  if (!TakeIf(u'?')) {
    output_ += u'(';
    return {};
  }
  // The dialect has no other "(?" form; the "?" is then a quantifier with nothing before it.
  if (!NextIs(u':') && !NextIs(u'=') && !NextIs(u'!')) {
    return ErrorNumber::RegExpUnexpectedQuantifier;
  }
  output_ += u"(?";
  output_ += Take();
  return {};
}

Result<void> PatternTranslator::CloseGroup() {
  if (open_groups_ == 0) return ErrorNumber::RegExpSyntaxError;
  --open_groups_;
  output_ += u')';
  repeatable_ = true;  // lookaheads too: the dialect lets them be quantified
  return {};
}

// quantifier -> ("*" | "+" | "?" | "{" n ["," [m]] "}") ["?"]
Result<void> PatternTranslator::TranslateQuantifier(std::u16string_view quantifier) {
  // Nothing before it, an anchor, or another quantifier: also what keeps PCRE2's possessive
  // "a++" and "a*+" out, which the dialect does not have.
  if (!repeatable_) return ErrorNumber::RegExpUnexpectedQuantifier;
  output_ += quantifier;
  if (TakeIf(u'?')) output_ += u'?';
  repeatable_ = false;
  return {};
}

Result<void> PatternTranslator::TranslateBrace() {
  size_t brace = position_;
  std::optional<std::u16string> quantifier = TakeBraceQuantifier();
  if (!quantifier) {
    position_ = brace;
    AppendLiteral(u'{');  // a brace that opens no well-formed quantifier is itself
    return {};
  }
  return TranslateQuantifier(*quantifier);
}

// After "{": "n}", "n,}" or "n,m}" taken and given back as PCRE2's quantifier; nothing
// (the position then anywhere) when the text is not one. Bounds past PCRE2's are capped so
// that PCRE2 refuses them rather than this overflowing.
std::optional<std::u16string> PatternTranslator::TakeBraceQuantifier() {
  std::optional<uint32_t> low = TakeBound();
  if (!low) return std::nullopt;
  std::u16string quantifier = u"{";
  AppendDecimal(quantifier, *low);
  if (TakeIf(u',')) {
    quantifier += u',';
    if (std::optional<uint32_t> high = TakeBound()) AppendDecimal(quantifier, *high);
  }
  if (!TakeIf(u'}')) return std::nullopt;
  quantifier += u'}';
  return quantifier;
}

std::optional<uint32_t> PatternTranslator::TakeBound() {
  if (AtEnd() || !IsDigit(pattern_[position_])) return std::nullopt;
  uint32_t value = 0;
  while (!AtEnd() && IsDigit(pattern_[position_])) {
    value = std::min<uint32_t>(value * 10 + (Take() - u'0'), kQuantifierCeiling);
  }
  return value;
}

// An anchor: the whole subject's start and end, or with Multiline also each line's. Lines
// end at "\n" or "\r" alone, whatever PCRE2's own newline convention is.
void PatternTranslator::AppendAnchor(char16_t anchor) {
  repeatable_ = false;
  if (!options_.multiline) {
    output_ += anchor == u'^' ? u"^" : u"\\z";
    return;
  }
  output_ += anchor == u'^' ? u"(?<![^\\n\\r])" : u"(?![^\\n\\r])";
}

// A literal unit. Under IgnoreCase a letter PCRE2 does not pair itself becomes a class of
// its case forms.
void PatternTranslator::AppendLiteral(char16_t unit) {
  repeatable_ = true;
  char16_t upper = ToUpperChar(unit);
  char16_t lower = ToLowerChar(unit);
  if (!options_.ignore_case || unit < kFirstFoldedUnit || (upper == unit && lower == unit)) {
    AppendUnit(output_, unit);
    return;
  }
  output_ += u'[';
  AppendUnit(output_, unit);
  if (upper != unit) AppendUnit(output_, upper);
  if (lower != unit) AppendUnit(output_, lower);
  output_ += u']';
}

// escape -> "\" (b | B | d | D | w | W | s | S | decimal | character-escape)
Result<void> PatternTranslator::TranslateEscape() {
  if (AtEnd()) return ErrorNumber::RegExpSyntaxError;  // a trailing "\" escapes nothing
  char16_t letter = Take();
  if (letter == u'b' || letter == u'B') {
    output_ += u'\\';  // PCRE2's word boundary: its default tables know ASCII words only
    output_ += letter;
    repeatable_ = false;
    return {};
  }
  if (IsClassEscape(letter)) {
    AppendClass(ClassEscapeSet(letter), IsNegatedClassEscape(letter));
    repeatable_ = true;
    return {};
  }
  if (letter >= u'1' && letter <= u'9') return TranslateDecimalEscape(letter);
  AppendLiteral(CharacterEscape(letter));
  return {};
}

// "\" followed by digits, the first 1-9: a backreference when the pattern has that many
// groups, otherwise (as older scripts expect) an octal escape, or a literal 8 or 9.
Result<void> PatternTranslator::TranslateDecimalEscape(char16_t first) {
  uint32_t number = first - u'0';
  size_t end = position_;
  // Stops once past the group count, so the number cannot overflow; more digits could only
  // make it larger still.
  while (end < pattern_.size() && IsDigit(pattern_[end]) && number <= group_count_) {
    number = number * 10 + (pattern_[end++] - u'0');
  }
  if (number <= group_count_) {
    position_ = end;
    output_ += u"\\g{";
    AppendDecimal(output_, number);
    output_ += u'}';
    repeatable_ = true;
    return {};
  }
  AppendLiteral(first >= u'8' ? first : TakeOctal(first));
  return {};
}

// The unit an escape stands for, its letter already taken: control escapes, \xHH, \uHHHH,
// \cX, octal; a letter without meaning stands for itself. A "\c" not followed by a letter is
// a literal backslash, the "c" left to be read next.
char16_t PatternTranslator::CharacterEscape(char16_t letter) {
  switch (letter) {
    case u'n': return u'\n';
    case u'r': return u'\r';
    case u't': return u'\t';
    case u'f': return u'\f';
    case u'v': return u'\v';
    case u'x': return TakeHex(2).value_or(u'x');
    case u'u': return TakeHex(4).value_or(u'u');
    case u'c':
      if (!AtEnd() && IsAsciiLetter(pattern_[position_])) return char16_t(Take() % 32);
      --position_;
      return u'\\';
    default:
      return IsOctalDigit(letter) ? TakeOctal(letter) : letter;
  }
}

// Up to three octal digits, the first taken already, while the value stays within \377.
char16_t PatternTranslator::TakeOctal(char16_t first) {
  uint32_t value = first - u'0';
  for (int i = 0; i < 2 && !AtEnd() && IsOctalDigit(pattern_[position_]); ++i) {
    uint32_t extended = value * 8 + (pattern_[position_] - u'0');
    if (extended > 0377) break;
    value = extended;
    ++position_;
  }
  return char16_t(value);
}

// Exactly `digits` hexadecimal digits, taken; nothing (and nothing taken) otherwise.
std::optional<char16_t> PatternTranslator::TakeHex(size_t digits) {
  if (pattern_.size() - position_ < digits) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = 0; i < digits; ++i) {
    std::optional<uint32_t> digit = HexDigitValue(pattern_[position_ + i]);
    if (!digit) return std::nullopt;
    value = value * 16 + *digit;
  }
  position_ += digits;
  return char16_t(value);
}

// class -> "[" ["^"] { atom ["-" atom] } "]". "[]" matches nothing and "[^]" any unit. A
// hyphen next to a class escape ("[\d-z]") is literal; a range with its ends reversed is an
// error.
Result<void> PatternTranslator::TranslateClass() {
  bool negated = TakeIf(u'^');
  std::vector<UnitRange> ranges;
  while (!TakeIf(u']')) {
    if (AtEnd()) return ErrorNumber::RegExpExpectedBracket;
    std::optional<char16_t> first = TRY(ClassAtom(ranges));
    if (!first) continue;
    bool starts_range = NextIs(u'-') && position_ + 1 < pattern_.size() && !NextIs(u']', 1);
    if (!starts_range) {
      ranges.push_back({*first, *first});
      continue;
    }
    ++position_;
    std::optional<char16_t> last = TRY(ClassAtom(ranges));
    if (!last) {
      ranges.push_back({*first, *first});
      ranges.push_back({u'-', u'-'});
      continue;
    }
    if (*last < *first) return ErrorNumber::RegExpInvalidRange;
    ranges.push_back({*first, *last});
  }
  AppendClass(ranges, negated);
  repeatable_ = true;
  return {};
}

// One member of a class: a unit, or nothing for a class escape, whose units are appended to
// `ranges` directly. Inside a class \b is a backspace and digits are octal.
Result<std::optional<char16_t>> PatternTranslator::ClassAtom(std::vector<UnitRange>& ranges) {
  char16_t unit = Take();
  if (unit != u'\\') return std::optional<char16_t>(unit);
  if (AtEnd()) return ErrorNumber::RegExpExpectedBracket;
  char16_t letter = Take();
  if (IsClassEscape(letter)) {
    AppendClassEscape(letter, ranges);
    return std::optional<char16_t>();
  }
  if (letter == u'b') return std::optional<char16_t>(u'\b');
  return std::optional<char16_t>(CharacterEscape(letter));
}

// A PCRE2 class of `ranges` (negated: of every other unit), with the case forms of its
// non-ASCII letters added under IgnoreCase. Written out in full, so PCRE2 class syntax such as
// "[:alpha:]" can never arise from the script's text.
void PatternTranslator::AppendClass(std::span<const UnitRange> ranges, bool negated) {
  if (ranges.empty()) {
    output_ += negated ? u"[\\x{0}-\\x{ffff}]" : u"[^\\x{0}-\\x{ffff}]";
    return;
  }
  output_ += negated ? u"[^" : u"[";
  CaseMarks marks;
  for (const UnitRange& range : ranges) {
    AppendRange(output_, range);
    if (options_.ignore_case) MarkCaseVariants(range, marks);
  }
  AppendMarkedRanges(output_, marks);
  output_ += u']';
}

// The error of a translated pattern PCRE2 still refused.
Error CompileError(int code) {
  switch (code) {
    case PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS: return ErrorNumber::RegExpExpectedParen;
    case PCRE2_ERROR_MISSING_SQUARE_BRACKET: return ErrorNumber::RegExpExpectedBracket;
    case PCRE2_ERROR_QUANTIFIER_INVALID: return ErrorNumber::RegExpUnexpectedQuantifier;
    case PCRE2_ERROR_CLASS_RANGE_ORDER:
    case PCRE2_ERROR_CLASS_INVALID_RANGE: return ErrorNumber::RegExpInvalidRange;
    case PCRE2_ERROR_HEAP_FAILED: return ErrorNumber::OutOfMemory;
    case PCRE2_ERROR_QUANTIFIER_TOO_BIG:
    case PCRE2_ERROR_PARENTHESES_NEST_TOO_DEEP:
    case PCRE2_ERROR_PATTERN_TOO_LARGE:
    case PCRE2_ERROR_PATTERN_TOO_COMPLICATED:
    case PCRE2_ERROR_TOO_MANY_CAPTURES: return TooComplex();
    default: return ErrorNumber::RegExpSyntaxError;
  }
}

// The error of a search that ended without an answer.
Error SearchError(int code) {
  switch (code) {
    case PCRE2_ERROR_CALLOUT:
    case PCRE2_ERROR_MATCHLIMIT:
    case PCRE2_ERROR_DEPTHLIMIT:
    case PCRE2_ERROR_HEAPLIMIT: return TooComplex();
    case PCRE2_ERROR_NOMEMORY: return ErrorNumber::OutOfMemory;
    default: return ErrorNumber::InternalError;
  }
}

// Called before every pattern item PCRE2 tries (the pattern is compiled with automatic
// callouts): spends one step of the call's budget, and ends the search once none is left.
int SpendStep(pcre2_callout_block*, void* budget) {
  uint64_t& steps_left = static_cast<SearchBudget*>(budget)->steps_left;
  if (steps_left == 0) return PCRE2_ERROR_CALLOUT;
  --steps_left;
  return 0;
}

struct CompileContextDeleter {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};

Result<pcre2_code*> CompileTranslated(std::u16string_view translated, PatternOptions options) {
  std::unique_ptr<pcre2_compile_context, CompileContextDeleter> context(
      pcre2_compile_context_create(nullptr));
  if (context == nullptr) return ErrorNumber::OutOfMemory;
  pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);
  // Code units, not UTF-16: a lone surrogate in a script string is text like any other, and
  // no "(*UTF)" or "(*UCP)" could switch that (the translation never lets one through).
  uint32_t flags =
      PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_MATCH_UNSET_BACKREF | PCRE2_AUTO_CALLOUT;
  if (options.ignore_case) flags |= PCRE2_CASELESS;
  int error_code = 0;
  PCRE2_SIZE error_offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()),
                                   translated.size(), flags, &error_code, &error_offset,
                                   context.get());
  if (code == nullptr) return CompileError(error_code);
  return code;
}

}  // namespace

Result<std::unique_ptr<CompiledPattern>> CompiledPattern::Compile(std::u16string_view pattern,
                                                                  PatternOptions options) {
  std::u16string translated = TRY(PatternTranslator(pattern, options).Translate());
  std::unique_ptr<CompiledPattern> compiled(new CompiledPattern());
  compiled->code_ = TRY(CompileTranslated(translated, options));
  compiled->limits_ = pcre2_match_context_create(nullptr);
  compiled->match_data_ = pcre2_match_data_create_from_pattern(compiled->code_, nullptr);
  if (compiled->limits_ == nullptr || compiled->match_data_ == nullptr) {
    return ErrorNumber::OutOfMemory;
  }
  pcre2_set_match_limit(compiled->limits_, kMatchLimit);
  pcre2_set_depth_limit(compiled->limits_, kDepthLimit);
  pcre2_set_heap_limit(compiled->limits_, kHeapLimitKib);
  pcre2_pattern_info(compiled->code_, PCRE2_INFO_CAPTURECOUNT, &compiled->group_count_);
  return compiled;
}

CompiledPattern::~CompiledPattern() {
  pcre2_match_data_free(match_data_);
  pcre2_match_context_free(limits_);
  pcre2_code_free(code_);
}

Result<bool> CompiledPattern::Search(std::u16string_view subject, size_t start,
                                     std::vector<uint32_t>& offsets, SearchBudget& budget) {
  assert(start <= subject.size() && subject.size() < kUnmatchedOffset && "search past subject");
  // PCRE2 refuses a null subject even when it is empty, and an empty view may have one.
  static constexpr char16_t kEmptySubject[] = u"";
  const char16_t* units = subject.empty() ? kEmptySubject : subject.data();
  pcre2_set_callout(limits_, &SpendStep, &budget);
  int outcome = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(units), subject.size(), start,
                            0, match_data_, limits_);
  if (outcome == PCRE2_ERROR_NOMATCH) return false;
  if (outcome < 0) return SearchError(outcome);
  // Pairs past the last group that took part are PCRE2_UNSET, as are the ones that did not.
  const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(match_data_);
  offsets.resize(2 * (size_t{group_count_} + 1));
  for (size_t i = 0; i < offsets.size(); ++i) {
    offsets[i] = vector[i] == PCRE2_UNSET ? kUnmatchedOffset : static_cast<uint32_t>(vector[i]);
  }
  return true;
}
