#pragma once
// What RegExp.Execute returns: the Matches collection (TypeName "IMatchCollection2") of Match
// objects ("IMatch2": Value, FirstIndex, Length, SubMatches), each with its SubMatches
// collection ("ISubMatches") of group texts. All of them read one shared, unchanging record
// of the search, so a collection of many matches costs offsets, not objects, until a script
// asks for an item; an item asked for twice is the same object both times.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/ole_interfaces.h"
#include "platform/com/com_ptr.h"

/// The outcome of one search: the subject and where each match and its groups lie.
struct MatchList {
  std::u16string subject;
  uint32_t group_count = 0;  // capturing groups; the whole match not counted
  /// Per match, 2 * (group_count + 1) entries as CompiledPattern::Search gives them.
  std::vector<uint32_t> offsets;

  size_t OffsetsPerMatch() const { return 2 * (size_t{group_count} + 1); }
  size_t MatchCount() const { return offsets.size() / OffsetsPerMatch(); }
  /// Start and end of the whole match (group 0) or of a group; kUnmatchedOffset for both
  /// when the group took no part.
  uint32_t Start(size_t match, size_t group) const {
    return offsets[match * OffsetsPerMatch() + 2 * group];
  }
  uint32_t End(size_t match, size_t group) const {
    return offsets[match * OffsetsPerMatch() + 2 * group + 1];
  }
};

/// A new Matches collection over `matches`, owned by the returned pointer.
ComPtr<IDispatch> CreateMatches(std::shared_ptr<const MatchList> matches);
