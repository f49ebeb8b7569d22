#include "platform/vbscript/regexp_matches.h"

#include <utility>

#include "platform/automation/conversion.h"
#include "platform/com/dispatch_object.h"
#include "platform/com/enum_variant.h"
#include "platform/vbscript/regexp_pattern.h"

namespace {

using SharedMatches = std::shared_ptr<const MatchList>;

// The 0-based position an Item call names, checked against the collection's size;
// InvalidProcedureCall (5) outside it.
Result<size_t> ItemIndex(const VARIANT& index, size_t count) {
  int32_t position = TRY(ToInt32(index));
  if (position < 0 || static_cast<size_t>(position) >= count) {
    return ErrorNumber::InvalidProcedureCall;
  }
  return static_cast<size_t>(position);
}

// SubMatches: the text of each group of one match, Empty for a group that took no part.
class SubMatchesObject : public DispatchObject<SubMatchesObject> {
 public:
  SubMatchesObject(SharedMatches list, size_t match) : list_(std::move(list)), match_(match) {}

  static std::span<const DispatchMember<SubMatchesObject>> Members();
  std::u16string_view TypeName() override { return u"ISubMatches"; }

 private:
  // Item(Index): group Index + 1's text; Empty when it did not take part, "" when it matched
  // nothing.
  Result<Variant> Item(const DispatchArguments& arguments) {
    size_t index = TRY(ItemIndex(arguments[0], list_->group_count));
    return GroupValue(index + 1);
  }
  Result<Variant> Count(const DispatchArguments&) {
    return Variant::FromI4(static_cast<int32_t>(list_->group_count));
  }
  Result<Variant> NewEnum(const DispatchArguments&) {
    std::vector<Variant> values;
    values.reserve(list_->group_count);
    for (size_t group = 1; group <= list_->group_count; ++group) {
      values.push_back(GroupValue(group));
    }
    return EnumeratorVariant(std::move(values));
  }

  Variant GroupValue(size_t group) const {
    uint32_t start = list_->Start(match_, group);
    if (start == kUnmatchedOffset) return Variant();
    std::u16string_view subject = list_->subject;
    return Variant::FromString(subject.substr(start, list_->End(match_, group) - start));
  }

  SharedMatches list_;
  size_t match_;
};

std::span<const DispatchMember<SubMatchesObject>> SubMatchesObject::Members() {
  static constexpr DispatchMember<SubMatchesObject> kMembers[] = {
      {u"Item", DISPID_VALUE, kPropertyGet, 1, 1, &SubMatchesObject::Item, u"index"},
      {u"Count", 1, kPropertyGet, 0, 0, &SubMatchesObject::Count},
      {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &SubMatchesObject::NewEnum},
  };
  return kMembers;
}

// Match: one match's text (the default member), where it starts (0-based, in code units),
// its length, and its groups.
class MatchObject : public DispatchObject<MatchObject> {
 public:
  MatchObject(SharedMatches list, size_t match) : list_(std::move(list)), match_(match) {}

  static std::span<const DispatchMember<MatchObject>> Members();
  std::u16string_view TypeName() override { return u"IMatch2"; }

 private:
  Result<Variant> Value(const DispatchArguments&) {
    std::u16string_view subject = list_->subject;
    return Variant::FromString(subject.substr(Start(), End() - Start()));
  }
  Result<Variant> FirstIndex(const DispatchArguments&) {
    return Variant::FromI4(static_cast<int32_t>(Start()));
  }
  Result<Variant> Length(const DispatchArguments&) {
    return Variant::FromI4(static_cast<int32_t>(End() - Start()));
  }
  // The same SubMatches object every time, made on first use.
  Result<Variant> SubMatches(const DispatchArguments&) {
    if (!sub_matches_) sub_matches_ = MakeObject<SubMatchesObject>(list_, match_);
    return Variant::FromDispatch(sub_matches_.get());
  }

  uint32_t Start() const { return list_->Start(match_, 0); }
  uint32_t End() const { return list_->End(match_, 0); }

  SharedMatches list_;
  size_t match_;
  ComPtr<SubMatchesObject> sub_matches_;
};

std::span<const DispatchMember<MatchObject>> MatchObject::Members() {
  static constexpr DispatchMember<MatchObject> kMembers[] = {
      {u"Value", DISPID_VALUE, kPropertyGet, 0, 0, &MatchObject::Value},
      {u"FirstIndex", 1, kPropertyGet, 0, 0, &MatchObject::FirstIndex},
      {u"Length", 2, kPropertyGet, 0, 0, &MatchObject::Length},
      {u"SubMatches", 3, kPropertyGet, 0, 0, &MatchObject::SubMatches},
  };
  return kMembers;
}

// Matches: the Match objects of one Execute, in subject order. They are made when first
// asked for and kept, so `m(0) Is m(0)` holds and walking the collection twice makes no more.
class MatchesObject : public DispatchObject<MatchesObject> {
 public:
  explicit MatchesObject(SharedMatches list)
      : list_(std::move(list)), match_objects_(list_->MatchCount()) {}

  static std::span<const DispatchMember<MatchesObject>> Members();
  std::u16string_view TypeName() override { return u"IMatchCollection2"; }

 private:
  Result<Variant> Item(const DispatchArguments& arguments) {
    size_t index = TRY(ItemIndex(arguments[0], match_objects_.size()));
    return Variant::FromDispatch(MatchAt(index));
  }
  Result<Variant> Count(const DispatchArguments&) {
    return Variant::FromI4(static_cast<int32_t>(match_objects_.size()));
  }
  Result<Variant> NewEnum(const DispatchArguments&) {
    std::vector<Variant> values;
    values.reserve(match_objects_.size());
    for (size_t index = 0; index < match_objects_.size(); ++index) {
      values.push_back(Variant::FromDispatch(MatchAt(index)));
    }
    return EnumeratorVariant(std::move(values));
  }

  MatchObject* MatchAt(size_t index) {
    ComPtr<MatchObject>& match = match_objects_[index];
    if (!match) match = MakeObject<MatchObject>(list_, index);
    return match.get();
  }

  SharedMatches list_;
  std::vector<ComPtr<MatchObject>> match_objects_;  // one slot per match, filled on demand
};

std::span<const DispatchMember<MatchesObject>> MatchesObject::Members() {
  static constexpr DispatchMember<MatchesObject> kMembers[] = {
      {u"Item", DISPID_VALUE, kPropertyGet, 1, 1, &MatchesObject::Item, u"index"},
      {u"Count", 1, kPropertyGet, 0, 0, &MatchesObject::Count},
      {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &MatchesObject::NewEnum},
  };
  return kMembers;
}

}  // namespace

ComPtr<IDispatch> CreateMatches(std::shared_ptr<const MatchList> matches) {
  ComPtr<MatchesObject> collection = MakeObject<MatchesObject>(std::move(matches));
  return ComPtr<IDispatch>(collection.get());
}
