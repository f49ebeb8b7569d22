#pragma once
// IDictionaryItems: the items of a Scripting.Dictionary for in-process callers in its apartment
// that read and update many items in one call (the report engine's renderers read tens of
// thousands of cells from the page's dictionaries). A caller asks the dictionary for this
// interface and falls back to the dispatch members when it is absent (a proxy, another kind
// of object), so the results are the same either way.
//
// Every member keeps the rule of the dispatch member it stands for: keys are identified as
// Item, Exists and Add identify them (numbers by value, strings by the CompareMode), reading an
// absent key adds it with an Empty item, and Add refuses a present key with 457.

#include <string_view>
#include <vector>

#include "platform/automation/ole_interfaces.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"

inline constexpr IID IID_IDictionaryItems = {
    0x3F6C2A51, 0x8B0E, 0x4D7A, {0x9C, 0x21, 0x5E, 0x47, 0xB8, 0x13, 0x6A, 0xD4}};

class IDictionaryItems : public IUnknown {
 public:
  /// Item(key) as read: the stored item, borrowed; it stays valid until the dictionary next
  /// changes. An absent key is added first, with an Empty item. InvalidProcedureCall (5) for a
  /// value that is no key (an array, an error value).
  virtual Result<const VARIANT*> ReadItem(const VARIANT& key) = 0;
  /// The same for a string key given as text.
  virtual Result<const VARIANT*> ReadTextItem(std::u16string_view key) = 0;
  /// The item of a present key, borrowed as above; null when the key is absent (nothing is
  /// added).
  virtual Result<const VARIANT*> FindItem(const VARIANT& key) = 0;
  virtual Result<const VARIANT*> FindTextItem(std::u16string_view key) = 0;
  /// Item(key) = item: a copy of the item's value replaces the item, or is added under the key.
  virtual Result<void> WriteItem(const VARIANT& key, const VARIANT& item) = 0;
  virtual Result<void> WriteTextItem(std::u16string_view key, const VARIANT& item) = 0;
  /// Add key, item: KeyAlreadyAssociated (457) when the key is present.
  virtual Result<void> AddItem(const VARIANT& key, const VARIANT& item) = 0;
  /// Count.
  virtual int32_t ItemCount() = 0;
  /// Keys: copies of the keys, in order.
  virtual Result<std::vector<Variant>> KeyList() = 0;

 protected:
  ~IDictionaryItems() = default;
};
