#pragma once
// Item: one key with one value, or with a list of string values (a form field sent several
// times). Request values are multi-valued: Value without an index joins them with ", ",
// Value(n) is the n-th (1-based). The code page converts the value's bytes to text: 65001 when
// the bytes look like UTF-8, else the ANSI code page. Belongs to one request: no lock.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/dispatch_object.h"
#include "platform/system/code_page.h"
#include "wendrel/asp/collection_entry.h"
#include "wendrel/asp/collection.h"

class Item : public DispatchObject<Item>, public CollectionEntry {
 public:
  enum class Values { Single, Multiple };
  /// The most values one item keeps (its Count is a 16-bit number); further ones are dropped.
  static constexpr int32_t kMaxValues = 32767;
  /// Slots a multi-valued item starts with; they double when the count reaches them.
  static constexpr size_t kFirstCapacity = 8;

  /// Without a value the item is single-valued and Empty, whatever `values` asks.
  Item(std::string key, Values values, uint32_t code_page, std::optional<std::string_view> value);

  static std::span<const DispatchMember<Item>> Members();
  std::u16string_view TypeName() override { return u"Item"; }

  /// The factories of the request collections: a multi-valued item whose code page is chosen
  /// from the value bytes (QueryString, Form), and a single-valued one in the ANSI code page
  /// (ServerVariables).
  static CollectionEntryHandle MakeRequestValue(std::string_view key,
                                                std::optional<std::string_view> value);
  static CollectionEntryHandle MakeSingleValue(std::string_view key,
                                               std::optional<std::string_view> value);

  /// 65001 when continuation bytes follow lead bytes more often than not, else 0 (ANSI).
  static uint32_t DetectCodePage(std::string_view bytes);

  IDispatch* EntryDispatch() override { return this; }
  std::string EntryKey() const override { return key_; }
  std::string EntryValue() const override;
  /// Ignored unless multi-valued; the text is read in the ANSI code page.
  void AppendEntryValue(std::string_view text) override;

  int32_t ValueCount() const { return count_; }
  bool IsMultiValued() const { return multi_valued_; }
  uint32_t CodePage() const { return code_page_; }
  /// Stores text in zero-based slot `position` without changing the count (growing the slots
  /// when needed), as Value(position) = text does.
  Result<void> StoreAt(int32_t position, std::u16string_view text);
  /// The value as Value without an index reads it.
  Variant WholeValue() const;

  // Dispatch members.
  Result<Variant> Count(const DispatchArguments& arguments);
  Result<Variant> NewEnum(const DispatchArguments& arguments);
  Result<Variant> GetValue(const DispatchArguments& arguments);
  Result<Variant> PutValue(const DispatchArguments& arguments);
  Result<Variant> GetKey(const DispatchArguments& arguments);
  Result<Variant> PutKey(const DispatchArguments& arguments);

 private:
  void AppendText(std::u16string text);
  Result<void> PutValueInPlace(const DispatchArguments& arguments);

  std::string key_;
  bool multi_valued_;
  uint32_t code_page_;
  int32_t count_ = 0;
  Variant single_;                 // the value of a single-valued item
  std::vector<Bstr> slots_;        // the values of a multi-valued item; size = capacity
};
