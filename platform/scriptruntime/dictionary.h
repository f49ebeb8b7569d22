#pragma once
// Scripting.Dictionary: items stored under unique keys, kept in the order they were added.
// Keys of any type except arrays: numbers are one key when their values are equal (1, 1.0,
// CCur(1) and #12/31/1899# alike; True is -1), strings compare by code unit or ignoring case
// (CompareMode), a number and a string are never the same key, Empty and Null are keys of
// their own, and objects are the same key only when they are the same object. Lookups are
// hashed; removal keeps the order of the remaining entries.
//
// A dictionary belongs to one apartment at a time (its class is apartment-threaded), so it
// takes no lock.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/dispatch_object.h"
#include "platform/scriptruntime/dictionary_items.h"
#include "platform/scriptruntime/dictionary_key.h"
#include "platform/scriptruntime/ordered_table.h"

class Dictionary : public DispatchObject<Dictionary>, public IDictionaryItems {
 public:
  static std::span<const DispatchMember<Dictionary>> Members();
  std::u16string_view TypeName() override { return u"Dictionary"; }

  // IUnknown, for all three interfaces.
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return DispatchObject::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return DispatchObject::AddRef(); }
  ULONG Release() override { return DispatchObject::Release(); }

  // IDictionaryItems (see dictionary_items.h).
  Result<const VARIANT*> ReadItem(const VARIANT& key) override;
  Result<const VARIANT*> ReadTextItem(std::u16string_view key) override;
  Result<const VARIANT*> FindItem(const VARIANT& key) override;
  Result<const VARIANT*> FindTextItem(std::u16string_view key) override;
  Result<void> WriteItem(const VARIANT& key, const VARIANT& item) override;
  Result<void> WriteTextItem(std::u16string_view key, const VARIANT& item) override;
  Result<void> AddItem(const VARIANT& key, const VARIANT& item) override;
  int32_t ItemCount() override;
  Result<std::vector<Variant>> KeyList() override;

 protected:
  void* QueryOtherInterface(REFIID iid) override;

 private:
  using Entry = OrderedTable::Entry;

  // Item(Key): the item; an absent key is added with an Empty item.
  Result<Variant> Item(const DispatchArguments& arguments);
  // Item(Key) = value: replaces the item, or adds the key.
  Result<Variant> LetItem(const DispatchArguments& arguments);
  // Set Item(Key) = object: as LetItem, for objects only (ObjectRequired, 424).
  Result<Variant> SetItem(const DispatchArguments& arguments);
  // Add Key, Item: KeyAlreadyAssociated (457) when present.
  Result<Variant> Add(const DispatchArguments& arguments);
  Result<Variant> Count(const DispatchArguments& arguments);
  Result<Variant> Exists(const DispatchArguments& arguments);
  Result<Variant> Items(const DispatchArguments& arguments);
  // Key(old) = new: ElementNotFound (32811) for an absent old key, 457 when the new one is
  // another present key.
  Result<Variant> LetKey(const DispatchArguments& arguments);
  Result<Variant> Keys(const DispatchArguments& arguments);
  // Remove Key: ElementNotFound (32811) when absent.
  Result<Variant> Remove(const DispatchArguments& arguments);
  Result<Variant> RemoveAll(const DispatchArguments& arguments);
  Result<Variant> GetCompareMode(const DispatchArguments& arguments);
  // CompareMode = 0, 1 or 2, only while empty; InvalidProcedureCall (5) otherwise.
  Result<Variant> LetCompareMode(const DispatchArguments& arguments);
  Result<Variant> HashVal(const DispatchArguments& arguments);
  Result<Variant> NewEnum(const DispatchArguments& arguments);

  Result<DictionaryKey> KeyOf(const VARIANT& key) const;
  // Stores `item` under `key`: replaces the item of a present key, else appends an entry.
  Result<Variant> StoreItem(const VARIANT& key, const VARIANT& item);
  // The entry of a key, or null.
  Entry* FindEntry(const DictionaryKey& identity);
  // The entry of a string key, or null; builds no key in a binary dictionary.
  Entry* FindTextEntry(std::u16string_view text);
  // Appends a key with an Empty item (reading an absent key); the item's address.
  const VARIANT* AppendEmptyItem(DictionaryKey identity, Variant key);
  // A 0-based VARIANT array of one field of every entry, in order.
  Result<Variant> EntryArray(Variant Entry::*field) const;

  DictionaryCompareMode compare_mode_ = DictionaryCompareMode::Binary;
  OrderedTable entries_;
};
