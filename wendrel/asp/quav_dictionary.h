#pragma once
// CQuavDictionary: the key/value store behind Session.Contents and Application.Contents. Keys
// are text compared ignoring case; values are stored as given (Item put stores an object's
// default value, Item putref the object). Remove empties a value but keeps its key. Shared by
// the script threads of several requests: every change and lookup holds the lock.

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/dispatch_object.h"

class CQuavDictionary : public DispatchObject<CQuavDictionary> {
 public:
  static std::span<const DispatchMember<CQuavDictionary>> Members();
  std::u16string_view TypeName() override { return u"CQuavDictionary"; }

  /// The value under `key`, Empty when there is none.
  Variant Get(std::u16string_view key);
  /// Stores `value` as given (a reference is dereferenced): replaces or appends.
  void Set(std::u16string_view key, const VARIANT& value);
  /// As Set when `key` is missing or Empty; false (nothing changed) otherwise.
  bool SetIfEmpty(std::u16string_view key, const VARIANT& value);
  void RemoveAllValues();
  int32_t KeyCount();
  std::vector<std::u16string> KeyTexts();

  // Dispatch members.
  Result<Variant> Count(const DispatchArguments& arguments);
  Result<Variant> NewEnum(const DispatchArguments& arguments);
  Result<Variant> GetItem(const DispatchArguments& arguments);
  Result<Variant> PutItem(const DispatchArguments& arguments);
  Result<Variant> PutRefItem(const DispatchArguments& arguments);
  Result<Variant> Key(const DispatchArguments& arguments);
  Result<Variant> Remove(const DispatchArguments& arguments);
  Result<Variant> RemoveAll(const DispatchArguments& arguments);

 private:
  // The text a key argument stands for; a key that does not convert is the empty key.
  static std::u16string KeyTextOf(const VARIANT& key);
  std::optional<size_t> FindLocked(std::u16string_view key) const;

  std::mutex mutex_;
  std::vector<Bstr> keys_;
  std::vector<Variant> values_;
};
