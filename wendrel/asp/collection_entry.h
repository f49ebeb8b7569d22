#pragma once
// What a Collection needs of its entries (Item and CHTTPCookie): the object handed to scripts,
// the key it is found by, and how a further value for the same key is taken.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/ole_interfaces.h"

class CollectionEntry {
 public:
  /// The entry as scripts see it; borrowed (the entry owns itself through its references).
  virtual IDispatch* EntryDispatch() = 0;
  /// The key as narrow text (ANSI code page).
  virtual std::string EntryKey() const = 0;
  /// The value as narrow text (ANSI code page), as its default member reads it.
  virtual std::string EntryValue() const = 0;
  /// A further value under the same key, when a collection merges duplicate keys; entries that
  /// keep their first value ignore it.
  virtual void AppendEntryValue(std::string_view text) = 0;

 protected:
  ~CollectionEntry() = default;
};

/// Collections index their entries by key; an entry whose key changes calls this so that every
/// collection rebuilds its index before the next lookup.
void NoteCollectionKeyChanged();
/// An entry whose value is changed in place (Value put) calls this, so that copies of a
/// collection's entries (the server's site lists) are known to be stale.
void NoteCollectionValueChanged();
/// Grows with every key or value changed in place by any entry.
uint64_t CollectionEntriesGeneration();
