#pragma once
// How the report engine reaches the data a page hands it, as the page's own script would reach
// it: arrays by index, objects through their default member, collections through "keys" (or
// For Each), dictionaries through Item, Exists, Add and Count. A Scripting.Dictionary of this
// process is read directly (IDictionaryItems) with the same results; any other object with
// those members works through dispatch.

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"
#include "platform/scriptruntime/dictionary_items.h"

namespace report_data {

/// The object an argument holds: Nothing fails with 91, anything else with 424.
Result<ComPtr<IDispatch>> ObjectOf(const VARIANT& argument);

/// container(indices...) as the value type reads it: an array element (the indices as 32-bit
/// integers; 9 outside the bounds or for another number of dimensions), or the default member
/// of an object (a dictionary's item: reading an absent key adds it with an empty item). At
/// most two indices. Type mismatch (13) for a container that is neither.
Result<Variant> ItemAt(const VARIANT& container, std::span<const VARIANT> indices);
Result<Variant> ItemAt(const VARIANT& container, const VARIANT& index);
Result<Variant> ItemAt(const VARIANT& container, int32_t index);

/// container(index) = value: an array element of the caller's array, or the default member of
/// an object assigned (a dictionary's item, added when absent).
Result<void> AssignItemAt(const VARIANT& container, const VARIANT& index, const VARIANT& value);

/// The elements of a one-dimensional array (other arrays give nothing), or what For Each
/// gives for an object (451 when it cannot be enumerated).
Result<std::vector<Variant>> ValuesOf(const VARIANT& collection);

/// A collection's keys in order: a dictionary's `keys` member (or `Keys` list directly).
Result<std::vector<Variant>> KeysOf(const VARIANT& collection);

/// The items of a list the page may pass either way: an array's elements, or a collection's
/// keys.
Result<std::vector<Variant>> ItemsOf(const VARIANT& list);

/// The number of passes of "For i = 1 To count": the whole part of the count, none for a
/// negative one; past the 32-bit range the counter would overflow (6).
Result<int32_t> LoopCount(const VARIANT& count);

/// A key of report data built from parts ("K17" + "_" + "sales", "sales" + "|numdigits"), held
/// in place when short, so that the many keys of a report cost no allocation.
class KeyText {
 public:
  KeyText(std::initializer_list<std::u16string_view> parts) {
    size_t size = 0;
    for (std::u16string_view part : parts) size += part.size();
    char16_t* out = inline_.data();
    if (size > inline_.size()) {
      heap_.resize(size);
      out = heap_.data();
    }
    for (std::u16string_view part : parts) {
      std::copy(part.begin(), part.end(), out);
      out += part.size();
    }
    view_ = std::u16string_view(size > inline_.size() ? heap_.data() : inline_.data(), size);
  }
  KeyText(const KeyText&) = delete;
  KeyText& operator=(const KeyText&) = delete;

  std::u16string_view view() const { return view_; }
  operator std::u16string_view() const { return view_; }  // NOLINT: a key is its text

 private:
  std::array<char16_t, 96> inline_;
  std::u16string heap_;
  std::u16string_view view_;
};

/// One keyed collection of the page for the length of one call: a dictionary read directly, or
/// any object with the dictionary's members read through dispatch. Made from an argument, it
/// opens the collection at its first use, so a call that never needs it never fails on it.
class KeyedItems {
 public:
  /// The collection `argument` holds, opened at first use; `argument` must outlive this.
  explicit KeyedItems(const VARIANT& argument) : argument_(&argument) {}
  /// The collection an argument holds, opened now: 424 / 91 as ObjectOf.
  static Result<KeyedItems> Of(const VARIANT& argument);

  /// collection(key): the item; an absent key is added with an empty item.
  Result<Variant> Read(std::u16string_view key);
  Result<Variant> Read(const VARIANT& key);
  /// collection(key) handed to `use` without a copy: a dictionary's own item, valid only
  /// during the call (`use` must not change any collection). The result is what `use` returns.
  template <class Use>
  auto Peek(std::u16string_view key, Use use) -> decltype(use(std::declval<const VARIANT&>()));
  template <class Use>
  auto Peek(const VARIANT& key, Use use) -> decltype(use(std::declval<const VARIANT&>()));
  /// collection(key) = value.
  Result<void> Write(std::u16string_view key, const VARIANT& value);
  Result<void> Write(const VARIANT& key, const VARIANT& value);
  /// collection.Exists(key).
  Result<bool> Exists(std::u16string_view key);
  Result<bool> Exists(const VARIANT& key);
  /// collection.Add key, value (457 from a dictionary that holds the key).
  Result<void> Add(const VARIANT& key, const VARIANT& value);
  /// collection.Count.
  Result<int32_t> Count();
  /// The keys, in order.
  Result<std::vector<Variant>> Keys();
  /// Whether both hold the same object.
  Result<bool> IsSameCollection(KeyedItems& other);

 private:
  Result<void> Open();

  const VARIANT* argument_ = nullptr;  // null once opened
  ComPtr<IDispatch> object_;
  ComPtr<IDictionaryItems> direct_;  // null for other objects
};

template <class Use>
auto KeyedItems::Peek(std::u16string_view key, Use use)
    -> decltype(use(std::declval<const VARIANT&>())) {
  TRY(Open());
  if (direct_) return use(*TRY(direct_->ReadTextItem(key)));
  Variant item = TRY(Read(key));
  return use(item);
}

template <class Use>
auto KeyedItems::Peek(const VARIANT& key, Use use)
    -> decltype(use(std::declval<const VARIANT&>())) {
  TRY(Open());
  if (direct_) {
    VARIANT shallow = PeekValue(key);
    if (shallow.vt == VT_BSTR) return use(*TRY(direct_->ReadTextItem(BstrView(shallow.bstrVal))));
    return use(*TRY(direct_->ReadItem(key)));
  }
  Variant item = TRY(Read(key));
  return use(item);
}

}  // namespace report_data
