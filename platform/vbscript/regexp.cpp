#include "platform/vbscript/regexp.h"

#include <optional>
#include <utility>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/vbscript/regexp_matches.h"
#include "platform/vbscript/regexp_module.h"
#include "platform/vbscript/regexp_pattern.h"

namespace {

// Offsets one search may record (64 MiB of them). A pattern that can match empty text, over
// a long subject, with many groups would otherwise grow without bound; past this the call
// fails with OutOfMemory (7).
constexpr size_t kMaxStoredOffsets = size_t{1} << 24;

// Records every match (only the first unless `global`) of `pattern` in `list.subject`. Each
// search starts where the previous match ended, one unit further after an empty match, so an
// empty match is never found twice and the loop always moves forward. All the searches share
// one budget.
Result<void> CollectMatches(CompiledPattern& pattern, bool global, MatchList& list) {
  std::u16string_view subject = list.subject;
  std::vector<uint32_t> offsets;
  SearchBudget budget;
  size_t start = 0;
  while (start <= subject.size()) {
    bool found = TRY(pattern.Search(subject, start, offsets, budget));
    if (!found) return {};
    if (list.offsets.size() + offsets.size() > kMaxStoredOffsets) return ErrorNumber::OutOfMemory;
    list.offsets.insert(list.offsets.end(), offsets.begin(), offsets.end());
    if (!global) return {};
    start = offsets[1] == offsets[0] ? offsets[1] + size_t{1} : offsets[1];
  }
  return {};
}

// The group a "$" reference names at the start of `digits`, with how many digits it used:
// two digits when they name an existing group ($10 with ten groups), else one ($1 then "0").
// Nothing when neither names one ("$0", "$7" with two groups): the "$" is then literal.
std::optional<std::pair<uint32_t, size_t>> GroupReference(std::u16string_view digits,
                                                          uint32_t group_count) {
  auto digit_at = [&](size_t i) -> std::optional<uint32_t> {
    if (i >= digits.size() || digits[i] < u'0' || digits[i] > u'9') return std::nullopt;
    return digits[i] - u'0';
  };
  std::optional<uint32_t> first = digit_at(0);
  if (!first) return std::nullopt;
  std::optional<uint32_t> second = digit_at(1);
  if (second && *first * 10 + *second >= 1 && *first * 10 + *second <= group_count) {
    return std::pair(*first * 10 + *second, size_t{2});
  }
  if (*first >= 1 && *first <= group_count) return std::pair(*first, size_t{1});
  return std::nullopt;
}

// Replace's replacement as text, converted as the platform converts any value, without the
// script's Boolean names: True becomes "-1".
Result<Bstr> ReplacementText(const VARIANT& argument) {
  VARIANT value = PeekValue(argument);
  if (value.vt == VT_BOOL) return Bstr(value.boolVal != 0 ? u"-1" : u"0");
  return ToBstr(argument);
}

// Builds Replace's result piece by piece, refusing to grow past the longest string.
class ReplacementBuilder {
 public:
  explicit ReplacementBuilder(const MatchList& list) : list_(list) {}

  Result<void> Append(std::u16string_view text) {
    if (text.size() > kMaxBstrLength - result_.size()) return ErrorNumber::OutOfStringSpace;
    result_ += text;
    return {};
  }
  // The replacement text for one match, its "$" references expanded.
  Result<void> AppendExpanded(std::u16string_view replacement, size_t match);
  std::u16string_view result() const { return result_; }

 private:
  std::u16string_view Group(size_t match, size_t group) const {
    uint32_t start = list_.Start(match, group);
    if (start == kUnmatchedOffset) return {};
    return std::u16string_view(list_.subject).substr(start, list_.End(match, group) - start);
  }

  const MatchList& list_;
  std::u16string result_;
};

Result<void> ReplacementBuilder::AppendExpanded(std::u16string_view replacement, size_t match) {
  std::u16string_view subject = list_.subject;
  size_t literal_start = 0;  // the replacement text not yet copied begins here
  size_t i = 0;
  while (i < replacement.size()) {
    if (replacement[i] != u'$' || i + 1 == replacement.size()) {
      ++i;
      continue;
    }
    std::u16string_view rest = replacement.substr(i + 1);
    std::u16string_view expansion;
    size_t used = 1;
    if (rest[0] == u'$') {
      expansion = u"$";
    } else if (rest[0] == u'&') {
      expansion = Group(match, 0);
    } else if (rest[0] == u'`') {
      expansion = subject.substr(0, list_.Start(match, 0));
    } else if (rest[0] == u'\'') {
      expansion = subject.substr(list_.End(match, 0));
    } else if (auto group = GroupReference(rest, list_.group_count)) {
      expansion = Group(match, group->first);
      used = group->second;
    } else {
      ++i;  // no reference: the "$" stays as written
      continue;
    }
    TRY(Append(replacement.substr(literal_start, i - literal_start)));
    TRY(Append(expansion));
    i += 1 + used;
    literal_start = i;
  }
  return Append(replacement.substr(literal_start));
}

}  // namespace

RegExpObject::RegExpObject() = default;
RegExpObject::~RegExpObject() = default;

std::span<const DispatchMember<RegExpObject>> RegExpObject::Members() {
  static constexpr DispatchMember<RegExpObject> kMembers[] = {
      {u"Pattern", 1, kPropertyGet, 0, 0, &RegExpObject::GetPattern},
      {u"Pattern", 1, kPropertyPut, 0, 0, &RegExpObject::LetPattern},
      {u"IgnoreCase", 2, kPropertyGet, 0, 0, &RegExpObject::GetIgnoreCase},
      {u"IgnoreCase", 2, kPropertyPut, 0, 0, &RegExpObject::LetIgnoreCase},
      {u"Global", 3, kPropertyGet, 0, 0, &RegExpObject::GetGlobal},
      {u"Global", 3, kPropertyPut, 0, 0, &RegExpObject::LetGlobal},
      {u"Multiline", 4, kPropertyGet, 0, 0, &RegExpObject::GetMultiline},
      {u"Multiline", 4, kPropertyPut, 0, 0, &RegExpObject::LetMultiline},
      {u"Test", 5, kMethod, 1, 1, &RegExpObject::Test, u"sourceString"},
      {u"Execute", 6, kMethod, 1, 1, &RegExpObject::Execute, u"sourceString"},
      {u"Replace", 7, kMethod, 2, 2, &RegExpObject::Replace, u"sourceString,replaceVar"},
  };
  return kMembers;
}

Result<Variant> RegExpObject::GetPattern(const DispatchArguments&) {
  return Variant::FromString(pattern_);
}

Result<Variant> RegExpObject::LetPattern(const DispatchArguments& arguments) {
  Bstr pattern = TRY(ToBstr(arguments.value()));
  pattern_ = pattern.view();
  compiled_.reset();
  return Variant();
}

Result<Variant> RegExpObject::GetIgnoreCase(const DispatchArguments&) {
  return Variant::FromBool(ignore_case_);
}

Result<Variant> RegExpObject::LetIgnoreCase(const DispatchArguments& arguments) {
  bool ignore_case = TRY(ToBool(arguments.value()));
  if (ignore_case != ignore_case_) compiled_.reset();
  ignore_case_ = ignore_case;
  return Variant();
}

Result<Variant> RegExpObject::GetGlobal(const DispatchArguments&) {
  return Variant::FromBool(global_);
}

Result<Variant> RegExpObject::LetGlobal(const DispatchArguments& arguments) {
  global_ = TRY(ToBool(arguments.value()));  // chosen per search, not compiled in
  return Variant();
}

Result<Variant> RegExpObject::GetMultiline(const DispatchArguments&) {
  return Variant::FromBool(multiline_);
}

Result<Variant> RegExpObject::LetMultiline(const DispatchArguments& arguments) {
  bool multiline = TRY(ToBool(arguments.value()));
  if (multiline != multiline_) compiled_.reset();
  multiline_ = multiline;
  return Variant();
}

Result<CompiledPattern*> RegExpObject::Compiled() {
  if (!compiled_) {
    compiled_ = TRY(CompiledPattern::Compile(pattern_, {ignore_case_, multiline_}));
  }
  return compiled_.get();
}

Result<std::shared_ptr<MatchList>> RegExpObject::FindMatches(std::u16string subject) {
  CompiledPattern* pattern = TRY(Compiled());
  auto list = std::make_shared<MatchList>();
  list->subject = std::move(subject);
  list->group_count = pattern->GroupCount();
  TRY(CollectMatches(*pattern, global_, *list));
  return list;
}

// The arguments are converted before the pattern is compiled: converting an object runs its
// default member, which may be script code that changes this RegExp.
Result<Variant> RegExpObject::Test(const DispatchArguments& arguments) {
  Bstr subject = TRY(ToBstr(arguments[0]));
  CompiledPattern* pattern = TRY(Compiled());
  std::vector<uint32_t> offsets;
  SearchBudget budget;
  bool found = TRY(pattern->Search(subject.view(), 0, offsets, budget));
  return Variant::FromBool(found);
}

Result<Variant> RegExpObject::Execute(const DispatchArguments& arguments) {
  Bstr subject = TRY(ToBstr(arguments[0]));
  std::shared_ptr<MatchList> list = TRY(FindMatches(std::u16string(subject.view())));
  ComPtr<IDispatch> matches = CreateMatches(std::move(list));
  return Variant::FromDispatch(matches.get());
}

Result<Variant> RegExpObject::Replace(const DispatchArguments& arguments) {
  Bstr subject = TRY(ToBstr(arguments[0]));
  Bstr replacement = TRY(ReplacementText(arguments[1]));
  std::shared_ptr<MatchList> list = TRY(FindMatches(std::u16string(subject.view())));
  ReplacementBuilder builder(*list);
  std::u16string_view text = subject.view();
  size_t copied = 0;  // the subject before this is in the result already
  for (size_t match = 0; match < list->MatchCount(); ++match) {
    TRY(builder.Append(text.substr(copied, list->Start(match, 0) - copied)));
    TRY(builder.AppendExpanded(replacement.view(), match));
    copied = list->End(match, 0);
  }
  TRY(builder.Append(text.substr(copied)));
  return Variant::FromString(builder.result());
}

ComPtr<IDispatch> CreateRegExp() {
  ComPtr<RegExpObject> regexp = MakeObject<RegExpObject>();
  return ComPtr<IDispatch>(regexp.get());
}
