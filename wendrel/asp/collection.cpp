#include "wendrel/asp/collection.h"

#include <atomic>

#include "platform/automation/conversion.h"
#include "platform/com/enum_variant.h"
#include "wendrel/asp/item.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/narrow_text.h"

namespace {

// Bumped whenever an entry's key changes anywhere; a collection whose index was built under an
// older generation rebuilds it.
std::atomic<uint64_t> key_generation{1};
// Bumped whenever a script or host changes an entry's value in place.
std::atomic<uint64_t> value_generation{1};

constexpr DISPID kKeyDispid = 0x60020003;
constexpr DISPID kRemoveAllDispid = 0x60020002;
constexpr DISPID kAddDispid = 0x60020005;

}  // namespace

void NoteCollectionKeyChanged() { key_generation.fetch_add(1, std::memory_order_relaxed); }
void NoteCollectionValueChanged() { value_generation.fetch_add(1, std::memory_order_relaxed); }
uint64_t CollectionEntriesGeneration() {
  return key_generation.load(std::memory_order_acquire) +
         value_generation.load(std::memory_order_acquire);
}

Collection::Collection(EntryFactory factory, CollectionOptions options)
    : factory_(factory), options_(options) {}

std::span<const DispatchMember<Collection>> Collection::Members() {
  using C = Collection;
  static constexpr DispatchMember<C> kMembers[] = {
      {u"Item", DISPID_VALUE, kPropertyGet | kMethod, 0, 1, &C::Item, u"Index"},
      {u"Count", 2, kPropertyGet, 0, 0, &C::Count},
      {u"_NewEnum", DISPID_NEWENUM, kPropertyGet | kMethod, 0, 0, &C::NewEnum},
      {u"Key", kKeyDispid, kPropertyGet | kMethod, 0, 1, &C::Key, u"Index"},
      {u"Add", kAddDispid, kMethod, 2, 2, &C::Add, u"Key,Value"},
      {u"Remove", 3, kMethod, 1, 1, &C::Remove, u"Item"},
      {u"Clear", 1, kMethod, 0, 0, &C::Clear},
      {u"RemoveAll", kRemoveAllDispid, kMethod, 0, 0, &C::Clear},
  };
  return kMembers;
}

// --- Internal operations ---------------------------------------------------------------------

ComPtr<IDispatch> Collection::AddEntry(std::string_view key,
                                       std::optional<std::string_view> value) {
  if (factory_ == nullptr) return nullptr;
  std::lock_guard lock(mutex_);
  if (options_.merge_duplicate_keys) {
    if (std::optional<size_t> found = FindLocked(key)) {
      CollectionEntryHandle& existing = entries_[*found];
      existing.entry->AppendEntryValue(value.value_or(std::string_view()));
      NoteChangedLocked();
      return existing.object;
    }
  }
  CollectionEntryHandle made = factory_(key, value);
  if (!made.object || made.entry == nullptr) return nullptr;
  AppendLocked(made, key);
  return made.object;
}

void Collection::AppendLocked(const CollectionEntryHandle& entry, std::string_view key) {
  entries_.push_back(entry);
  NoteChangedLocked();
  // A current index learns the key; a stale one is rebuilt at the next lookup anyway.
  if (index_generation_ == key_generation.load(std::memory_order_relaxed)) {
    index_.try_emplace(UpperCaseBytes(key), entries_.size() - 1);
  }
}

ComPtr<IDispatch> Collection::FindEntry(std::string_view key) {
  std::lock_guard lock(mutex_);
  std::optional<size_t> found = FindLocked(key);
  return found ? entries_[*found].object : nullptr;
}

std::optional<std::string> Collection::FindEntryValue(std::string_view key) {
  std::lock_guard lock(mutex_);
  std::optional<size_t> found = FindLocked(key);
  if (!found || entries_[*found].entry == nullptr) return std::nullopt;
  return entries_[*found].entry->EntryValue();
}

void Collection::RemoveAllEntries() {
  std::vector<CollectionEntryHandle> released;
  {
    std::lock_guard lock(mutex_);
    released.swap(entries_);
    if (!released.empty()) NoteChangedLocked();
    index_.clear();
    if (raw_text_) raw_text_->clear();
  }
  // The entries are released outside the lock: an entry's destructor may call back.
}

void Collection::SetRawText(std::string_view text) {
  std::lock_guard lock(mutex_);
  raw_text_ = std::string(text);
}

std::optional<std::string> Collection::RawText() {
  std::lock_guard lock(mutex_);
  return raw_text_;
}

size_t Collection::EntryCount() {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

std::vector<std::string> Collection::EntryKeys() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> keys;
  keys.reserve(entries_.size());
  for (const CollectionEntryHandle& handle : entries_) keys.push_back(handle.entry->EntryKey());
  return keys;
}

std::vector<std::pair<std::string, std::string>> Collection::EntryPairs() {
  std::lock_guard lock(mutex_);
  std::vector<std::pair<std::string, std::string>> pairs;
  pairs.reserve(entries_.size());
  for (const CollectionEntryHandle& handle : entries_) {
    pairs.emplace_back(handle.entry->EntryKey(), handle.entry->EntryValue());
  }
  return pairs;
}

std::optional<size_t> Collection::FindLocked(std::string_view key) {
  if (index_generation_ != key_generation.load(std::memory_order_relaxed)) RebuildIndexLocked();
  auto found = index_.find(UpperCaseBytes(key));
  if (found == index_.end()) return std::nullopt;
  return found->second;
}

void Collection::RebuildIndexLocked() {
  index_generation_ = key_generation.load(std::memory_order_relaxed);
  index_.clear();
  index_.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) {
    index_.try_emplace(UpperCaseBytes(entries_[i].entry->EntryKey()), i);
  }
}

// --- Index resolution ------------------------------------------------------------------------

Result<Variant> Collection::ResolveIndex(const VARIANT& index, DispatchIndex dispatch_index) {
  VARIANT shallow = PeekValue(index);
  if (shallow.vt == VT_DISPATCH && dispatch_index == DispatchIndex::ReadDefaultValue) {
    if (shallow.pdispVal == nullptr) return Variant();
    Result<Variant> value = DefaultValueOf(shallow.pdispVal);
    if (!value.ok()) return value.error();
    return PeekValue(value.value()).vt == VT_DISPATCH ? Variant() : std::move(value).value();
  }
  return Variant(shallow);
}

std::optional<size_t> Collection::SelectLocked(const VARIANT& index) {
  if (index.vt == VT_BSTR) {
    return FindLocked(TextToBytes(BstrView(index.bstrVal), CP_ACP));
  }
  if (index.vt == VT_I2 || index.vt == VT_I4) {
    int32_t position = index.vt == VT_I2 ? index.iVal : index.lVal;
    if (entries_.empty()) return std::nullopt;
    if (position <= 1) return 0;
    if (static_cast<size_t>(position) > entries_.size()) return std::nullopt;
    return static_cast<size_t>(position) - 1;
  }
  // Only 16- and 32-bit integers are positions: other numbers select nothing, anything else
  // that reads as text is a key.
  if (ChangeType(index, VT_I4).ok()) return std::nullopt;
  Result<Bstr> key = ToBstr(index);
  if (!key.ok()) return std::nullopt;
  return FindLocked(TextToBytes(key.value().view(), CP_ACP));
}

// --- Dispatch members ------------------------------------------------------------------------

Result<Variant> Collection::Count(const DispatchArguments&) {
  return Variant::FromI4(static_cast<int32_t>(EntryCount()));
}

Result<Variant> Collection::NewEnum(const DispatchArguments&) {
  std::vector<Variant> keys;
  for (const std::string& key : EntryKeys()) keys.push_back(NarrowTextVariant(key));
  return EnumeratorVariant(std::move(keys));
}

Result<std::optional<Variant>> Collection::ComputedItem(const VARIANT&) {
  return std::optional<Variant>();
}

Result<Variant> Collection::Item(const DispatchArguments& arguments) {
  std::optional<Variant> computed = TRY(ComputedItem(arguments[0]));
  if (computed) return std::move(*computed);
  Variant index = TRY(ResolveIndex(arguments[0], DispatchIndex::ReadDefaultValue));
  {
    std::lock_guard lock(mutex_);
    if (std::optional<size_t> found = SelectLocked(index)) {
      return Variant::FromDispatch(entries_[*found].object.get());
    }
  }
  return MissingItem(index);
}

// What a lookup that found nothing answers, in this order: a created entry, the raw text for
// a missing index, an empty Item, or Empty.
Result<Variant> Collection::MissingItem(const VARIANT& index) {
  if (options_.create_on_access) {
    Result<std::string> key = NarrowTextOf(index);
    if (!key.ok()) return Error::FromHresult(E_FAIL);
    ComPtr<IDispatch> made = AddEntry(key.value(), std::nullopt);
    if (!made) return Error::FromHresult(E_FAIL);
    return Variant::FromDispatch(made.get());
  }
  if (index.vt == VT_ERROR) return NarrowTextVariant(RawText().value_or(std::string()));
  if (options_.merge_duplicate_keys && options_.empty_item_for_missing_key) {
    ComPtr<::Item> empty =
        MakeObject<::Item>(std::string(), ::Item::Values::Single, CP_ACP, std::nullopt);
    return Variant::FromDispatch(empty.get());
  }
  return Variant();
}

Result<Variant> Collection::Key(const DispatchArguments& arguments) {
  Variant index = TRY(ResolveIndex(arguments[0], DispatchIndex::ReadDefaultValue));
  std::lock_guard lock(mutex_);
  std::optional<size_t> found = SelectLocked(index);
  if (!found) return Variant();
  return NarrowTextVariant(entries_[*found].entry->EntryKey());
}

Result<Variant> Collection::Add(const DispatchArguments& arguments) {
  if (factory_ == nullptr) return Error::FromHresult(E_FAIL);
  std::string key = TRY(NarrowTextOf(arguments[0]));
  std::optional<std::string> value;
  if (PeekValue(arguments[1]).vt != VT_EMPTY) value = TRY(NarrowTextOf(arguments[1]));
  CollectionEntryHandle made = factory_(key, value);
  if (!made.object || made.entry == nullptr) return Error::FromHresult(E_FAIL);
  std::lock_guard lock(mutex_);
  AppendLocked(made, key);
  return Variant::FromDispatch(made.object.get());
}

Result<Variant> Collection::Remove(const DispatchArguments& arguments) {
  Variant index = TRY(ResolveIndex(arguments[0], DispatchIndex::AsGiven));
  CollectionEntryHandle removed;
  std::lock_guard lock(mutex_);
  std::optional<size_t> found = SelectLocked(index);
  if (!found) return Variant();
  removed = std::move(entries_[*found]);
  entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(*found));
  NoteChangedLocked();
  RebuildIndexLocked();
  return Variant();
}

Result<Variant> Collection::Clear(const DispatchArguments&) {
  RemoveAllEntries();
  return Variant();
}
