#include "platform/scriptruntime/ordered_table.h"

#include <cstring>
#include <utility>

namespace {

constexpr size_t kInitialSlots = 16;

}  // namespace

OrderedTable::Entry* OrderedTable::Find(const DictionaryKey& identity, uint64_t hash) {
  return Probe(hash, [&](const DictionaryKey& stored) { return stored == identity; });
}

OrderedTable::Entry* OrderedTable::FindText(std::u16string_view text, uint64_t hash) {
  return Probe(hash, [&](const DictionaryKey& stored) {
    // Equality only: compared as bytes rather than code unit by code unit.
    return stored.kind == DictionaryKey::Kind::Text && stored.text.size() == text.size() &&
           std::memcmp(stored.text.data(), text.data(), text.size() * sizeof(char16_t)) == 0;
  });
}

OrderedTable::Entry& OrderedTable::Append(DictionaryKey identity, uint64_t hash, Variant key, Variant item) {
  GrowIfNeeded();
  entries_.push_back(Entry{std::move(identity), hash, std::move(key), std::move(item), true});
  InsertSlot(hash, entries_.size() - 1);
  ++live_count_;
  return entries_.back();
}

void OrderedTable::Rekey(Entry& entry, DictionaryKey identity, uint64_t hash) {
  size_t position = static_cast<size_t>(&entry - entries_.data());
  slots_[SlotOf(entry.hash, position)] = kDeletedSlot;
  entry.identity = std::move(identity);
  entry.hash = hash;
  GrowIfNeeded();  // may rebuild the slots; the entry itself does not move
  InsertSlot(hash, position);
}

OrderedTable::Entry OrderedTable::Remove(Entry& entry) {
  size_t position = static_cast<size_t>(&entry - entries_.data());
  slots_[SlotOf(entry.hash, position)] = kDeletedSlot;
  Entry removed{std::move(entry.identity), entry.hash, std::move(entry.key), std::move(entry.item), false};
  entry.live = false;
  --live_count_;
  CompactIfSparse();
  return removed;
}

std::vector<OrderedTable::Entry> OrderedTable::Clear() {
  std::vector<Entry> removed = std::move(entries_);
  entries_.clear();
  slots_.clear();
  live_count_ = 0;
  used_slots_ = 0;
  return removed;
}

size_t OrderedTable::SlotOf(uint64_t hash, size_t position) const {
  size_t mask = slots_.size() - 1;
  size_t slot = hash & mask;
  while (slots_[slot] != position + 2) slot = (slot + 1) & mask;
  return slot;
}

void OrderedTable::InsertSlot(uint64_t hash, size_t position) {
  size_t mask = slots_.size() - 1;
  size_t slot = hash & mask;
  while (slots_[slot] > kDeletedSlot) slot = (slot + 1) & mask;
  if (slots_[slot] == kEmptySlot) ++used_slots_;
  slots_[slot] = static_cast<uint32_t>(position + 2);
}

void OrderedTable::GrowIfNeeded() {
  // Keep at most half the slots used (deleted ones count: they lengthen probes too).
  if (!slots_.empty() && (used_slots_ + 1) * 2 <= slots_.size()) return;
  size_t wanted = kInitialSlots;
  while (wanted < (live_count_ + 1) * 4) wanted *= 2;
  Rebuild(wanted);
}

void OrderedTable::Rebuild(size_t slot_count) {
  slots_.assign(slot_count, kEmptySlot);
  used_slots_ = 0;
  for (size_t position = 0; position < entries_.size(); ++position) {
    if (entries_[position].live) InsertSlot(entries_[position].hash, position);
  }
}

void OrderedTable::CompactIfSparse() {
  size_t holes = entries_.size() - live_count_;
  if (holes < 64 || holes < live_count_) return;
  std::vector<Entry> kept;
  kept.reserve(live_count_);
  for (Entry& entry : entries_) {
    if (entry.live) kept.push_back(std::move(entry));
  }
  entries_ = std::move(kept);
  Rebuild(slots_.size());
}
