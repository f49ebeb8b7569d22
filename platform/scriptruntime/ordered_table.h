#pragma once
// The storage of a dictionary: entries in insertion order, indexed by an open-addressing hash
// table of entry positions. Lookups touch one index slot and one entry in the common case;
// removals leave a hole that is compacted away once holes outnumber entries.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/scriptruntime/dictionary_key.h"

class OrderedTable {
 public:
  struct Entry {
    DictionaryKey identity;
    uint64_t hash = 0;
    Variant key;   // as given (dereferenced): Keys returns it with its type
    Variant item;
    bool live = true;
  };

  size_t size() const { return live_count_; }
  bool empty() const { return live_count_ == 0; }

  /// The entry of an identity, or null.
  Entry* Find(const DictionaryKey& identity, uint64_t hash);
  /// The entry of the Text identity `text` (hash from HashTextKey), or null.
  Entry* FindText(std::u16string_view text, uint64_t hash);
  /// Appends a new entry (the identity must be absent).
  Entry& Append(DictionaryKey identity, uint64_t hash, Variant key, Variant item);
  /// Gives a present entry another identity, keeping its place in the order.
  void Rekey(Entry& entry, DictionaryKey identity, uint64_t hash);
  /// Takes an entry out; its key and item are moved to the caller, who releases them once the
  /// table is consistent again (a released object may call back into the dictionary).
  Entry Remove(Entry& entry);
  /// Takes every entry out, to be released by the caller.
  std::vector<Entry> Clear();

  template <class Visit>
  void ForEach(Visit visit) const {
    for (const Entry& entry : entries_) {
      if (entry.live) visit(entry);
    }
  }

 private:
  static constexpr uint32_t kEmptySlot = 0;
  static constexpr uint32_t kDeletedSlot = 1;  // entry positions are stored plus 2

  /// The first entry along the probe sequence of `hash` that has that hash and `matches`.
  template <class Matches>
  Entry* Probe(uint64_t hash, Matches matches) {
    if (slots_.empty()) return nullptr;
    size_t mask = slots_.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      uint32_t value = slots_[slot];
      if (value == kEmptySlot) return nullptr;
      if (value == kDeletedSlot) continue;
      Entry& entry = entries_[value - 2];
      if (entry.hash == hash && matches(entry.identity)) return &entry;
    }
  }

  // The slot holding `position`, found through the entry's hash.
  size_t SlotOf(uint64_t hash, size_t position) const;
  void InsertSlot(uint64_t hash, size_t position);
  void GrowIfNeeded();
  void Rebuild(size_t slot_count);
  void CompactIfSparse();

  std::vector<Entry> entries_;
  std::vector<uint32_t> slots_;
  size_t live_count_ = 0;
  size_t used_slots_ = 0;  // live and deleted slots
};
