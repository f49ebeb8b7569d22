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

#include "platform/com/dispatch_object.h"
#include "platform/scriptruntime/dictionary_key.h"
#include "platform/scriptruntime/ordered_table.h"

class Dictionary : public DispatchObject<Dictionary> {
 public:
  static std::span<const DispatchMember<Dictionary>> Members();
  std::u16string_view TypeName() override { return u"Dictionary"; }

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
  // A 0-based VARIANT array of one field of every entry, in order.
  Result<Variant> EntryArray(Variant Entry::*field) const;

  DictionaryCompareMode compare_mode_ = DictionaryCompareMode::Binary;
  OrderedTable entries_;
};
