#pragma once
// Regular expressions as scripts write them for the RegExp object (the JavaScript-family
// dialect: \d \w \s \b, classes, groups, (?: (?= (?!, lazy quantifiers, backreferences,
// \xHH \uHHHH \cX and octal escapes), translated into PCRE2's syntax and compiled by the
// 16-bit PCRE2 library. Text is matched as UTF-16 code units, as the script sees it: a lone
// surrogate is an ordinary unit and every offset counts units.
//
// A pattern and a subject are both script text, so nothing here trusts them: the translation
// accepts only the dialect (no PCRE2 verbs, recursion, callouts or inline options reach the
// compiler), and every search runs under limits on work, backtracking depth and memory.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/automation/result.h"

struct pcre2_real_code_16;
struct pcre2_real_match_context_16;
struct pcre2_real_match_data_16;

struct PatternOptions {
  bool ignore_case = false;  // letters match either case (ASCII, Latin, Greek, Cyrillic)
  bool multiline = false;    // ^ and $ also match after and before each "\n" or "\r"
};

/// The offset a group that took no part in the match has.
inline constexpr uint32_t kUnmatchedOffset = UINT32_MAX;

/// Pattern items all the searches of one script call may try together.
inline constexpr uint64_t kSearchBudgetSteps = 100'000'000;

/// The work the searches of one script call (a Test, Execute or Replace) share, counted in
/// pattern items tried. Each search is limited on its own as well, but that limit applies
/// afresh at every start position, so heavy backtracking that stays just under it at each of
/// many positions would otherwise run for minutes.
struct SearchBudget {
  uint64_t steps_left = kSearchBudgetSteps;
};

class CompiledPattern {
 public:
  /// The pattern compiled. Errors: RegExpExpectedParen (5020) for an unclosed group,
  /// RegExpExpectedBracket (5019) for an unclosed class, RegExpUnexpectedQuantifier (5018) for
  /// a quantifier with nothing to repeat, RegExpInvalidRange (5021) for a class range whose
  /// ends are out of order, RegExpSyntaxError (5017) for anything else malformed or too large.
  static Result<std::unique_ptr<CompiledPattern>> Compile(std::u16string_view pattern,
                                                          PatternOptions options);
  ~CompiledPattern();
  CompiledPattern(const CompiledPattern&) = delete;
  CompiledPattern& operator=(const CompiledPattern&) = delete;

  /// Capturing groups in the pattern, the whole match not counted.
  uint32_t GroupCount() const { return group_count_; }

  /// The leftmost match starting at or after `start` (at most subject.size()). On a match,
  /// `offsets` holds 2 * (GroupCount() + 1) entries: start and end of the whole match, then of
  /// each group in order, kUnmatchedOffset for a group that did not take part. False when
  /// there is no match. RegExpSyntaxError (5017) "Regular expression is too complex" when the
  /// search runs out of its work, depth or memory allowance, or spends what is left of
  /// `budget`.
  Result<bool> Search(std::u16string_view subject, size_t start, std::vector<uint32_t>& offsets,
                      SearchBudget& budget);

 private:
  CompiledPattern() = default;

  pcre2_real_code_16* code_ = nullptr;
  pcre2_real_match_context_16* limits_ = nullptr;
  pcre2_real_match_data_16* match_data_ = nullptr;  // reused by every search
  uint32_t group_count_ = 0;
};
