#include "wendrel/asp/item.h"

#include "platform/automation/conversion.h"
#include "platform/com/enum_variant.h"
#include "wendrel/common/narrow_text.h"

namespace {

constexpr DISPID kCountDispid = 0x60020004;
constexpr DISPID kItemDispid = 0x60020006;
constexpr DISPID kKeyDispid = 0x60020007;

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }
bool IsLeadByte(unsigned char byte) { return (byte & 0xC0) == 0xC0; }

bool IsAbsent(const VARIANT& index) {
  VARIANT shallow = PeekValue(index);
  return shallow.vt == VT_EMPTY || shallow.vt == VT_ERROR;
}

}  // namespace

Item::Item(std::string key, Values values, uint32_t code_page,
           std::optional<std::string_view> value)
    : key_(std::move(key)),
      multi_valued_(values == Values::Multiple && value.has_value()),
      code_page_(code_page) {
  if (!value) return;
  count_ = 1;
  if (!multi_valued_) {
    single_ = NarrowTextVariant(*value, code_page_);
    return;
  }
  slots_.resize(kFirstCapacity);
  slots_[0] = Bstr(BytesToText(*value, code_page_));
}

std::span<const DispatchMember<Item>> Item::Members() {
  constexpr uint16_t kGet = kPropertyGet | kMethod;
  static constexpr DispatchMember<Item> kMembers[] = {
      {u"Value", DISPID_VALUE, kGet, 0, 1, &Item::GetValue, u"Index"},
      {u"Value", DISPID_VALUE, kPropertyPut, 0, 1, &Item::PutValue, u"Index"},
      {u"Count", kCountDispid, kPropertyGet, 0, 0, &Item::Count},
      {u"_NewEnum", DISPID_NEWENUM, kGet, 0, 0, &Item::NewEnum},
      {u"Item", kItemDispid, kGet, 0, 1, &Item::GetValue, u"Index"},
      {u"Item", kItemDispid, kPropertyPut, 0, 1, &Item::PutValue, u"Index"},
      {u"Key", kKeyDispid, kGet, 0, 1, &Item::GetKey, u"Index"},
      {u"Key", kKeyDispid, kPropertyPut, 0, 1, &Item::PutKey, u"Index"},
  };
  return kMembers;
}

CollectionEntryHandle Item::MakeRequestValue(std::string_view key,
                                             std::optional<std::string_view> value) {
  uint32_t code_page = value ? DetectCodePage(*value) : CP_ACP;
  ComPtr<Item> item = MakeObject<Item>(std::string(key), Values::Multiple, code_page, value);
  return {ComPtr<IDispatch>(item.get()), item.get()};
}

CollectionEntryHandle Item::MakeSingleValue(std::string_view key,
                                            std::optional<std::string_view> value) {
  ComPtr<Item> item = MakeObject<Item>(std::string(key), Values::Single, CP_ACP, value);
  return {ComPtr<IDispatch>(item.get()), item.get()};
}

uint32_t Item::DetectCodePage(std::string_view bytes) {
  int valid = 0;
  int invalid = 0;
  unsigned char previous = 0;
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (IsContinuationByte(byte) && IsLeadByte(previous)) ++valid;
    if (IsContinuationByte(byte) && previous < 0x80) ++invalid;
    if (!IsContinuationByte(byte) && IsLeadByte(previous)) ++invalid;
    previous = byte;
  }
  return valid > invalid ? CP_UTF8 : CP_ACP;
}

void Item::AppendEntryValue(std::string_view text) {
  if (!multi_valued_) return;
  AppendText(BytesToText(text, CP_ACP));
}

void Item::AppendText(std::u16string text) {
  if (count_ >= kMaxValues) return;
  if (static_cast<size_t>(count_) >= slots_.size()) {
    slots_.resize(std::max<size_t>(kFirstCapacity, static_cast<size_t>(count_) * 2));
  }
  slots_[static_cast<size_t>(count_)] = Bstr(text);
  ++count_;
}

Result<void> Item::StoreAt(int32_t position, std::u16string_view text) {
  if (position < 0 || position >= kMaxValues) return ErrorNumber::SubscriptOutOfRange;
  if (static_cast<size_t>(position) >= slots_.size()) {
    size_t capacity = std::max(slots_.size(), kFirstCapacity);
    while (capacity <= static_cast<size_t>(position)) capacity *= 2;
    slots_.resize(capacity);
  }
  slots_[static_cast<size_t>(position)] = Bstr(text);
  return {};
}

Variant Item::WholeValue() const {
  if (!multi_valued_) return single_;
  if (count_ == 0) return Variant();
  if (count_ == 1) return Variant::FromString(slots_[0].view());
  std::u16string joined;
  for (int32_t i = 0; i < count_; ++i) {
    if (i > 0) joined += u", ";
    joined += slots_[static_cast<size_t>(i)].view();
  }
  return Variant::FromString(joined);
}

std::string Item::EntryValue() const {
  Result<std::string> text = NarrowTextOf(WholeValue());
  return text.ok() ? std::move(text).value() : std::string();
}

Result<Variant> Item::Count(const DispatchArguments&) {
  return Variant::FromI2(static_cast<int16_t>(count_));
}

Result<Variant> Item::NewEnum(const DispatchArguments&) {
  std::vector<Variant> values;
  if (multi_valued_) {
    for (int32_t i = 0; i < count_; ++i) {
      values.push_back(Variant::FromString(slots_[static_cast<size_t>(i)].view()));
    }
  }
  return EnumeratorVariant(std::move(values));
}

// Value(Index): a single value whatever the index; the Index-th value (1-based) of several,
// within the slots the item has; all values joined without an index.
Result<Variant> Item::GetValue(const DispatchArguments& arguments) {
  if (!multi_valued_) return single_;
  if (IsAbsent(arguments[0])) return WholeValue();
  int32_t index = TRY(ToInt32(arguments[0]));
  if (index < 1 || static_cast<size_t>(index) > slots_.size()) {
    return ErrorNumber::SubscriptOutOfRange;
  }
  return Variant::FromString(slots_[static_cast<size_t>(index) - 1].view());
}

// Value(Index) = v: a 16- or 32-bit Index writes zero-based slot Index (the count stays), any
// other index appends, no index writes the first slot.
Result<Variant> Item::PutValue(const DispatchArguments& arguments) {
  TRY(PutValueInPlace(arguments));
  NoteCollectionValueChanged();  // after the change: a reader that saw the old count copies again
  return Variant();
}

Result<void> Item::PutValueInPlace(const DispatchArguments& arguments) {
  const VARIANT& value = arguments.value();
  if (!multi_valued_) {
    single_ = Variant(PeekValue(value));
    return {};
  }
  Bstr text = TRY(ToBstr(value));
  VARIANT index = PeekValue(arguments[0]);
  if (index.vt == VT_I2 || index.vt == VT_I4) {
    return StoreAt(index.vt == VT_I2 ? index.iVal : index.lVal, text.view());
  }
  if (!IsAbsent(arguments[0])) {
    AppendText(std::u16string(text.view()));
    return {};
  }
  return StoreAt(0, text.view());
}

Result<Variant> Item::GetKey(const DispatchArguments&) { return NarrowTextVariant(key_); }

Result<Variant> Item::PutKey(const DispatchArguments& arguments) {
  key_ = TRY(NarrowTextOf(arguments.value()));
  NoteCollectionKeyChanged();
  return Variant();
}
