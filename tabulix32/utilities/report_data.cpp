// Reaching a page's report data: arrays, objects, collections and dictionaries (see
// report_data_internal.h).
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "platform/com/enum_variant.h"
#include "tabulix32/utilities/report_data_internal.h"

namespace report_data {

namespace {

constexpr WORD kGetFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
// Row and column: the most indices the report data is read with.
constexpr size_t kMaxIndices = 2;

constexpr std::u16string_view kExistsMember = u"Exists";
constexpr std::u16string_view kAddMember = u"Add";
constexpr std::u16string_view kCountMember = u"Count";
constexpr std::u16string_view kKeysMember = u"keys";

Result<std::array<int32_t, kMaxIndices>> ArrayPositions(const SAFEARRAY* array,
                                                        std::span<const VARIANT> indices) {
  if (array == nullptr || indices.size() > kMaxIndices ||
      indices.size() != SafeArrayGetDim(array)) {
    return ErrorNumber::SubscriptOutOfRange;
  }
  std::array<int32_t, kMaxIndices> positions{};
  for (size_t i = 0; i < indices.size(); ++i) positions[i] = TRY(ToInt32(indices[i]));
  return positions;
}

Result<Variant> CopyOf(const VARIANT& value) {
  Variant copy;
  // A number, date, Boolean, Empty or Null owns nothing: its bits are the copy.
  if (!OwnsResources(value.vt) && (value.vt & VT_BYREF) == 0) {
    static_cast<VARIANT&>(copy) = value;
    return copy;
  }
  if (FAILED(VariantCopyInd(&copy, &value))) return ErrorNumber::OutOfMemory;
  return copy;
}

}  // namespace

Result<ComPtr<IDispatch>> ObjectOf(const VARIANT& argument) {
  VARIANT value = PeekValue(argument);
  if (value.vt == VT_UNKNOWN && value.punkVal != nullptr) {
    ComPtr<IDispatch> object = ComPtr<IUnknown>(value.punkVal).As<IDispatch>(IID_IDispatch);
    if (object) return object;
    return ErrorNumber::ObjectRequired;
  }
  if (value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN) return ErrorNumber::ObjectRequired;
  if (value.pdispVal == nullptr) return ErrorNumber::ObjectVariableNotSet;
  return ComPtr<IDispatch>(value.pdispVal);
}

Result<Variant> ItemAt(const VARIANT& container, std::span<const VARIANT> indices) {
  if (indices.size() > kMaxIndices) return ErrorNumber::SubscriptOutOfRange;
  VARIANT value = PeekValue(container);
  if ((value.vt & VT_ARRAY) != 0) {
    std::array<int32_t, kMaxIndices> positions = TRY(ArrayPositions(value.parray, indices));
    return SafeArrayGetElement(value.parray, positions.data(),
                               static_cast<uint32_t>(indices.size()));
  }
  if (value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN) return ErrorNumber::TypeMismatch;
  ComPtr<IDispatch> object = TRY(ObjectOf(value));
  return InvokeDispatch(object.get(), DISPID_VALUE, kGetFlags, indices);
}

Result<Variant> ItemAt(const VARIANT& container, const VARIANT& index) {
  return ItemAt(container, std::span<const VARIANT>(&index, 1));
}

Result<Variant> ItemAt(const VARIANT& container, int32_t index) {
  return ItemAt(container, Variant::FromI4(index));
}

Result<void> AssignItemAt(const VARIANT& container, const VARIANT& index, const VARIANT& value) {
  VARIANT shallow = PeekValue(container);
  if ((shallow.vt & VT_ARRAY) != 0) {
    std::array<int32_t, kMaxIndices> positions =
        TRY(ArrayPositions(shallow.parray, std::span<const VARIANT>(&index, 1)));
    return SafeArrayPutElement(shallow.parray, positions.data(), 1, value);
  }
  if (shallow.vt != VT_DISPATCH && shallow.vt != VT_UNKNOWN) return ErrorNumber::TypeMismatch;
  ComPtr<IDispatch> object = TRY(ObjectOf(shallow));
  const VARIANT arguments[] = {index, value};
  TRY(InvokeDispatch(object.get(), DISPID_VALUE, DISPATCH_PROPERTYPUT, arguments));
  return {};
}

Result<std::vector<Variant>> ValuesOf(const VARIANT& collection) {
  VARIANT value = PeekValue(collection);
  std::vector<Variant> values;
  if ((value.vt & VT_ARRAY) != 0) {
    if (value.parray == nullptr || SafeArrayGetDim(value.parray) != 1) return values;
    int32_t first = TRY(SafeArrayLowerBound(value.parray, 1));
    int32_t last = TRY(SafeArrayUpperBound(value.parray, 1));
    for (int64_t i = first; i <= last; ++i) {
      int32_t index = static_cast<int32_t>(i);
      values.push_back(TRY(SafeArrayGetElement(value.parray, &index, 1)));
    }
    return values;
  }
  ComPtr<IDispatch> object = TRY(ObjectOf(value));
  Variant enumerator = TRY(InvokeDispatch(object.get(), DISPID_NEWENUM, kGetFlags));
  if (enumerator.vt != VT_UNKNOWN && enumerator.vt != VT_DISPATCH) {
    return ErrorNumber::ObjectNotACollection;
  }
  if (enumerator.punkVal == nullptr) return ErrorNumber::ObjectNotACollection;
  ComPtr<IEnumVARIANT> items =
      ComPtr<IUnknown>(enumerator.punkVal).As<IEnumVARIANT>(IID_IEnumVARIANT);
  if (!items) return ErrorNumber::ObjectNotACollection;
  Variant item;
  ULONG fetched = 0;
  while (items->Next(1, &item, &fetched) == S_OK && fetched == 1) {
    values.push_back(std::move(item));
    item = Variant();
  }
  return values;
}

Result<std::vector<Variant>> KeysOf(const VARIANT& collection) {
  KeyedItems items = TRY(KeyedItems::Of(collection));
  return items.Keys();
}

Result<std::vector<Variant>> ItemsOf(const VARIANT& list) {
  if ((PeekValue(list).vt & VT_ARRAY) != 0) return ValuesOf(list);
  return KeysOf(list);
}

Result<int32_t> LoopCount(const VARIANT& count) {
  double bound = std::floor(TRY(ToDouble(count)));
  if (!(bound <= std::numeric_limits<int32_t>::max())) return ErrorNumber::Overflow;
  if (bound < 0) return 0;
  return static_cast<int32_t>(bound);
}

// --- KeyedItems ---------------------------------------------------------------------------------

Result<KeyedItems> KeyedItems::Of(const VARIANT& argument) {
  KeyedItems items(argument);
  TRY(items.Open());
  return items;
}

Result<void> KeyedItems::Open() {
  if (argument_ == nullptr) return {};
  object_ = TRY(ObjectOf(*argument_));
  direct_ = object_.As<IDictionaryItems>(IID_IDictionaryItems);
  argument_ = nullptr;
  return {};
}

Result<Variant> KeyedItems::Read(std::u16string_view key) {
  TRY(Open());
  if (direct_) return CopyOf(*TRY(direct_->ReadTextItem(key)));
  Variant text = Variant::FromString(key);
  return Read(text);
}

Result<Variant> KeyedItems::Read(const VARIANT& key) {
  TRY(Open());
  if (direct_) {
    VARIANT shallow = PeekValue(key);
    if (shallow.vt == VT_BSTR)
      return CopyOf(*TRY(direct_->ReadTextItem(BstrView(shallow.bstrVal))));
    return CopyOf(*TRY(direct_->ReadItem(key)));
  }
  return InvokeDispatch(object_.get(), DISPID_VALUE, kGetFlags, std::span<const VARIANT>(&key, 1));
}

Result<void> KeyedItems::Write(std::u16string_view key, const VARIANT& value) {
  TRY(Open());
  if (direct_) return direct_->WriteTextItem(key, value);
  Variant text = Variant::FromString(key);
  return Write(text, value);
}

Result<void> KeyedItems::Write(const VARIANT& key, const VARIANT& value) {
  TRY(Open());
  if (direct_) {
    VARIANT shallow = PeekValue(key);
    if (shallow.vt == VT_BSTR) return direct_->WriteTextItem(BstrView(shallow.bstrVal), value);
    return direct_->WriteItem(key, value);
  }
  const VARIANT arguments[] = {key, value};
  TRY(InvokeDispatch(object_.get(), DISPID_VALUE, DISPATCH_PROPERTYPUT, arguments));
  return {};
}

Result<bool> KeyedItems::Exists(std::u16string_view key) {
  TRY(Open());
  if (direct_) return TRY(direct_->FindTextItem(key)) != nullptr;
  Variant text = Variant::FromString(key);
  return Exists(text);
}

Result<bool> KeyedItems::Exists(const VARIANT& key) {
  TRY(Open());
  if (direct_) return TRY(direct_->FindItem(key)) != nullptr;
  Variant found = TRY(CallMember(object_.get(), kExistsMember, std::span<const VARIANT>(&key, 1)));
  if (found.IsNull()) return false;
  return ToBool(found);
}

Result<void> KeyedItems::Add(const VARIANT& key, const VARIANT& value) {
  TRY(Open());
  if (direct_) return direct_->AddItem(key, value);
  const VARIANT arguments[] = {key, value};
  TRY(CallMember(object_.get(), kAddMember, arguments));
  return {};
}

Result<int32_t> KeyedItems::Count() {
  TRY(Open());
  if (direct_) return direct_->ItemCount();
  return ToInt32(TRY(CallMember(object_.get(), kCountMember)));
}

Result<std::vector<Variant>> KeyedItems::Keys() {
  TRY(Open());
  if (direct_) return direct_->KeyList();
  return ValuesOf(TRY(CallMember(object_.get(), kKeysMember)));
}

Result<bool> KeyedItems::IsSameCollection(KeyedItems& other) {
  TRY(Open());
  TRY(other.Open());
  return object_.get() == other.object_.get();
}

}  // namespace report_data
