#pragma once
// Collection: an ordered list of entries (Item or CHTTPCookie objects) found by key or by
// position, the type of Request.QueryString, Form, Cookies, ServerVariables and
// Response.Cookies. Keys match ignoring case. Entries are made by the collection's factory;
// options decide whether a repeated key becomes a further value of the first entry, whether a
// lookup of a missing key answers an empty Item, and whether it creates the entry.
//
// Lookups by key go through an index from the upper-cased key to the first entry with it, so
// filling a collection from a request with many fields stays linear. The collection's lock is
// held by every operation; it may be shared by the script threads of several requests.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/com/dispatch_object.h"
#include "wendrel/asp/collection_entry.h"

/// A new entry for (key, value), or null when none can be made. A missing value (not the same
/// as an empty one) makes an Item without values.
struct CollectionEntryHandle {
  ComPtr<IDispatch> object;
  CollectionEntry* entry = nullptr;  // the same object, seen as an entry
};
using EntryFactory = CollectionEntryHandle (*)(std::string_view key,
                                               std::optional<std::string_view> value);

struct CollectionOptions {
  /// A key added again adds its value to the first entry with that key.
  bool merge_duplicate_keys = false;
  /// With merge_duplicate_keys: a lookup of a missing key answers a new empty Item (not added).
  bool empty_item_for_missing_key = false;
  /// A lookup of a missing key adds an entry for it and answers that.
  bool create_on_access = false;
};

class Collection : public DispatchObject<Collection> {
 public:
  Collection(EntryFactory factory, CollectionOptions options);

  static std::span<const DispatchMember<Collection>> Members();
  std::u16string_view TypeName() override { return u"Collection"; }

  /// Adds (key, value): with merge_duplicate_keys and an entry of that key, the value goes to
  /// that entry, which is returned; otherwise the factory's new entry is appended. Null without
  /// a factory or when the factory makes nothing.
  ComPtr<IDispatch> AddEntry(std::string_view key, std::optional<std::string_view> value);
  /// The first entry with this key (ignoring case), or null.
  ComPtr<IDispatch> FindEntry(std::string_view key);
  /// The (first) value of the first entry with this key, or nothing.
  std::optional<std::string> FindEntryValue(std::string_view key);
  /// Releases every entry; raw text that was set becomes empty.
  void RemoveAllEntries();
  /// The unparsed text the collection was filled from; Item without an index answers it.
  void SetRawText(std::string_view text);
  std::optional<std::string> RawText();
  size_t EntryCount();
  std::vector<std::string> EntryKeys();
  /// (key, value) of every entry, in order.
  std::vector<std::pair<std::string, std::string>> EntryPairs();
  /// Grows with every entry added or removed; with CollectionEntriesGeneration it tells a
  /// reader whether a copy of the entries is still current.
  uint64_t Version() const { return version_.load(std::memory_order_acquire); }

  // Dispatch members.
  Result<Variant> Count(const DispatchArguments& arguments);
  Result<Variant> NewEnum(const DispatchArguments& arguments);
  Result<Variant> Item(const DispatchArguments& arguments);
  Result<Variant> Key(const DispatchArguments& arguments);
  Result<Variant> Add(const DispatchArguments& arguments);
  Result<Variant> Remove(const DispatchArguments& arguments);
  Result<Variant> Clear(const DispatchArguments& arguments);

 protected:
  /// A value a specialised collection computes for this index instead of looking it up (the
  /// server variables); nothing for a plain collection.
  virtual Result<std::optional<Variant>> ComputedItem(const VARIANT& index);

 private:
  enum class DispatchIndex { ReadDefaultValue, AsGiven };

  // The index with references removed and, when asked, an object replaced by its default value.
  static Result<Variant> ResolveIndex(const VARIANT& index, DispatchIndex dispatch_index);
  // The position of the entry an index selects, or nothing: strings by key, VT_I2 / VT_I4 by
  // 1-based position (1, 0 and below the first), other types only when they are not numbers.
  std::optional<size_t> SelectLocked(const VARIANT& index);
  std::optional<size_t> FindLocked(std::string_view key);
  void AppendLocked(const CollectionEntryHandle& entry, std::string_view key);
  void RebuildIndexLocked();
  void NoteChangedLocked() { version_.fetch_add(1, std::memory_order_release); }
  Result<Variant> MissingItem(const VARIANT& index);

  const EntryFactory factory_;
  const CollectionOptions options_;
  std::mutex mutex_;
  std::vector<CollectionEntryHandle> entries_;
  // Upper-cased key -> position of the first entry with it; rebuilt when a key changed.
  std::unordered_map<std::string, size_t> index_;
  uint64_t index_generation_ = 0;
  std::optional<std::string> raw_text_;
  std::atomic<uint64_t> version_{0};
};
