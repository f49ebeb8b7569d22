#pragma once
// The RegExp object scripts make with `New RegExp` (TypeName "IRegExp2"): a pattern and three
// switches (IgnoreCase, Global, Multiline, all False at first), and Test, Execute and Replace
// over a subject string. The pattern is compiled when first used after it or a switch that
// shapes it changed, so an invalid pattern raises its error (5017-5021) from the call that
// uses it, not from the assignment. Global decides whether Execute and Replace take every
// match or only the first. The dialect and its limits are described in regexp_pattern.h.

#include <memory>
#include <span>
#include <string>

#include "platform/com/dispatch_object.h"

class CompiledPattern;
struct MatchList;

class RegExpObject : public DispatchObject<RegExpObject> {
 public:
  RegExpObject();
  ~RegExpObject() override;

  static std::span<const DispatchMember<RegExpObject>> Members();
  std::u16string_view TypeName() override { return u"IRegExp2"; }

 private:
  Result<Variant> GetPattern(const DispatchArguments& arguments);
  Result<Variant> LetPattern(const DispatchArguments& arguments);
  Result<Variant> GetIgnoreCase(const DispatchArguments& arguments);
  Result<Variant> LetIgnoreCase(const DispatchArguments& arguments);
  Result<Variant> GetGlobal(const DispatchArguments& arguments);
  Result<Variant> LetGlobal(const DispatchArguments& arguments);
  Result<Variant> GetMultiline(const DispatchArguments& arguments);
  Result<Variant> LetMultiline(const DispatchArguments& arguments);
  // Test(sourceString): whether the pattern matches anywhere in it.
  Result<Variant> Test(const DispatchArguments& arguments);
  // Execute(sourceString): a Matches collection, empty when nothing matched.
  Result<Variant> Execute(const DispatchArguments& arguments);
  // Replace(sourceString, replaceVar): the subject with the matches replaced; in the
  // replacement $1..$99 stand for groups, $& the match, $` and $' the text before and after
  // it, $$ a dollar sign, and any other $ for itself.
  Result<Variant> Replace(const DispatchArguments& arguments);

  // The pattern compiled with the current switches, compiling it if needed.
  Result<CompiledPattern*> Compiled();
  // The matches of the compiled pattern in `subject`, the first only unless Global.
  Result<std::shared_ptr<MatchList>> FindMatches(std::u16string subject);

  std::u16string pattern_;
  bool ignore_case_ = false;
  bool global_ = false;
  bool multiline_ = false;
  std::unique_ptr<CompiledPattern> compiled_;  // null until used, and after a change
};
