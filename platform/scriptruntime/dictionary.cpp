#include "platform/scriptruntime/dictionary.h"

#include <bit>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/safearray.h"
#include "platform/automation/text_case.h"
#include "platform/com/enum_variant.h"

namespace {

// FNV-1a: simple, seedless, and spreads short strings and double bit patterns well enough
// for a prime-sized bucket table.
constexpr uint64_t kFnvOffsetBasis = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

uint64_t MixByte(uint64_t hash, uint8_t byte) { return (hash ^ byte) * kFnvPrime; }

uint64_t MixWord(uint64_t hash, uint64_t word, int bytes) {
  for (int i = 0; i < bytes; ++i) hash = MixByte(hash, static_cast<uint8_t>(word >> (8 * i)));
  return hash;
}

DictionaryKey NumberKey(double value) {
  // -0 == 0 and NaN != NaN as doubles; as keys both pairs must be one key.
  if (value == 0) value = 0;
  if (std::isnan(value)) value = std::numeric_limits<double>::quiet_NaN();
  return DictionaryKey{DictionaryKey::Kind::Number, std::bit_cast<uint64_t>(value), {}};
}

DictionaryKey TextKey(std::u16string_view text, DictionaryCompareMode mode) {
  if (mode == DictionaryCompareMode::Binary) {
    return DictionaryKey{DictionaryKey::Kind::Text, 0, std::u16string(text)};
  }
  return DictionaryKey{DictionaryKey::Kind::Text, 0, ToUpper(text)};
}

// Objects are the same key only when they are the same object, which COM defines as having
// the same IUnknown: two interface pointers of one object differ, their IUnknown does not.
DictionaryKey ObjectKey(IUnknown* object) {
  uintptr_t identity = reinterpret_cast<uintptr_t>(object);
  IUnknown* unknown = nullptr;
  if (object != nullptr &&
      SUCCEEDED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown))) &&
      unknown != nullptr) {
    identity = reinterpret_cast<uintptr_t>(unknown);
    unknown->Release();  // the caller's reference keeps the object, and so the address, alive
  }
  return DictionaryKey{DictionaryKey::Kind::Object, identity, {}};
}

// A deep copy of the value a (possibly by-reference) argument stands for.
Result<Variant> CopyValue(const VARIANT& value) {
  Variant copy;
  // A number, date, Boolean, Empty or Null owns nothing: its bits are the copy.
  if (!OwnsResources(value.vt) && (value.vt & VT_BYREF) == 0) {
    static_cast<VARIANT&>(copy) = value;
    return copy;
  }
  HRESULT hr = VariantCopyInd(&copy, &value);
  if (FAILED(hr)) return ErrorNumber::OutOfMemory;
  return copy;
}

bool IsObject(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  return shallow.vt == VT_DISPATCH || shallow.vt == VT_UNKNOWN;
}

}  // namespace

Result<DictionaryKey> MakeDictionaryKey(const VARIANT& key, DictionaryCompareMode mode) {
  VARIANT value = PeekValue(key);
  // The number types are keys by value; the value library reads each as a double.
  if (IsNumberType(value.vt)) return NumberKey(TRY(ToDouble(value)));
  switch (value.vt) {
    case VT_EMPTY: return DictionaryKey{DictionaryKey::Kind::Empty, 0, {}};
    case VT_NULL: return DictionaryKey{DictionaryKey::Kind::Null, 0, {}};
    case VT_BSTR: return TextKey(BstrView(value.bstrVal), mode);
    case VT_DISPATCH:
    case VT_UNKNOWN: return ObjectKey(value.punkVal);
    default: return ErrorNumber::InvalidProcedureCall;
  }
}

namespace {

// Text keys hash their code units; numbers and objects mix their bits. Stable for a build.
uint64_t HashKeyParts(DictionaryKey::Kind kind, uint64_t bits, std::u16string_view text) {
  uint64_t text_hash = text.empty() ? 0 : std::hash<std::u16string_view>{}(text);
  uint64_t hash = MixWord(kFnvOffsetBasis, static_cast<uint8_t>(kind), 1);
  hash ^= bits + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  hash ^= text_hash + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  // Spread the high bits into the low ones the table indexes with.
  hash ^= hash >> 29;
  hash *= 0xBF58476D1CE4E5B9ull;
  return hash ^ (hash >> 32);
}

}  // namespace

uint64_t HashDictionaryKey(const DictionaryKey& key) {
  return HashKeyParts(key.kind, key.bits, key.text);
}

uint64_t HashTextKey(std::u16string_view text) {
  return HashKeyParts(DictionaryKey::Kind::Text, 0, text);
}

std::span<const DispatchMember<Dictionary>> Dictionary::Members() {
  static constexpr DispatchMember<Dictionary> kMembers[] = {
      {u"Item", DISPID_VALUE, kPropertyGet, 1, 1, &Dictionary::Item, u"Key"},
      {u"Item", DISPID_VALUE, kPropertyPut, 1, 1, &Dictionary::LetItem, u"Key"},
      {u"Item", DISPID_VALUE, kPropertyPutRef, 1, 1, &Dictionary::SetItem, u"Key"},
      {u"Add", 1, kMethod, 2, 2, &Dictionary::Add, u"Key,Item"},
      {u"Count", 2, kPropertyGet, 0, 0, &Dictionary::Count},
      {u"Exists", 3, kMethod, 1, 1, &Dictionary::Exists, u"Key"},
      {u"Items", 4, kMethod, 0, 0, &Dictionary::Items},
      {u"Key", 5, kPropertyPut, 1, 1, &Dictionary::LetKey, u"Key"},
      {u"Keys", 6, kMethod, 0, 0, &Dictionary::Keys},
      {u"Remove", 7, kMethod, 1, 1, &Dictionary::Remove, u"Key"},
      {u"RemoveAll", 8, kMethod, 0, 0, &Dictionary::RemoveAll},
      {u"CompareMode", 9, kPropertyGet, 0, 0, &Dictionary::GetCompareMode},
      {u"CompareMode", 9, kPropertyPut, 0, 0, &Dictionary::LetCompareMode},
      {u"HashVal", 10, kPropertyGet, 1, 1, &Dictionary::HashVal, u"Key"},
      {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &Dictionary::NewEnum},
  };
  return kMembers;
}

Result<DictionaryKey> Dictionary::KeyOf(const VARIANT& key) const {
  return MakeDictionaryKey(key, compare_mode_);
}

Dictionary::Entry* Dictionary::FindEntry(const DictionaryKey& identity) {
  return entries_.Find(identity, HashDictionaryKey(identity));
}

Result<Variant> Dictionary::StoreItem(const VARIANT& key, const VARIANT& item) {
  DictionaryKey identity = TRY(KeyOf(key));
  Variant value = TRY(CopyValue(item));
  Entry* found = FindEntry(identity);
  if (found == nullptr) {
    Variant stored_key = TRY(CopyValue(key));
    uint64_t hash = HashDictionaryKey(identity);
    entries_.Append(std::move(identity), hash, std::move(stored_key), std::move(value));
    return Variant();
  }
  // The old item is released when `value` goes out of scope, after the entry is updated, so an
  // object released there sees a consistent dictionary.
  swap(found->item, value);
  return Variant();
}

Result<Variant> Dictionary::Item(const DispatchArguments& arguments) {
  DictionaryKey identity = TRY(KeyOf(arguments[0]));
  if (Entry* found = FindEntry(identity)) return CopyValue(found->item);
  // Reading an absent key adds it: pages count on `d(key)` creating the entry.
  Variant stored_key = TRY(CopyValue(arguments[0]));
  uint64_t hash = HashDictionaryKey(identity);
  entries_.Append(std::move(identity), hash, std::move(stored_key), Variant());
  return Variant();
}

Result<Variant> Dictionary::LetItem(const DispatchArguments& arguments) {
  return StoreItem(arguments[0], arguments.value());
}

Result<Variant> Dictionary::SetItem(const DispatchArguments& arguments) {
  if (!IsObject(arguments.value())) return ErrorNumber::ObjectRequired;
  return StoreItem(arguments[0], arguments.value());
}

Result<Variant> Dictionary::Add(const DispatchArguments& arguments) {
  TRY(AddItem(arguments[0], arguments[1]));
  return Variant();
}

Result<Variant> Dictionary::Count(const DispatchArguments&) {
  return Variant::FromI4(static_cast<int32_t>(entries_.size()));
}

Result<Variant> Dictionary::Exists(const DispatchArguments& arguments) {
  DictionaryKey identity = TRY(KeyOf(arguments[0]));
  return Variant::FromBool(FindEntry(identity) != nullptr);
}

Result<Variant> Dictionary::EntryArray(Variant Entry::*field) const {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<uint32_t>(entries_.size()));
  if (array == nullptr) return ErrorNumber::OutOfMemory;
  Variant result = Variant::FromArray(VT_VARIANT, array);
  int32_t index = 0;
  Result<void> stored;
  entries_.ForEach([&](const Entry& entry) {
    if (stored.ok()) stored = SafeArrayPutElement(array, &index, 1, entry.*field);
    ++index;
  });
  TRY(std::move(stored));
  return result;
}

Result<Variant> Dictionary::Items(const DispatchArguments&) { return EntryArray(&Entry::item); }

Result<Variant> Dictionary::Keys(const DispatchArguments&) { return EntryArray(&Entry::key); }

Result<Variant> Dictionary::LetKey(const DispatchArguments& arguments) {
  DictionaryKey old_identity = TRY(KeyOf(arguments[0]));
  if (FindEntry(old_identity) == nullptr) return ErrorNumber::ElementNotFound;
  DictionaryKey new_identity = TRY(KeyOf(arguments.value()));
  Variant new_key = TRY(CopyValue(arguments.value()));
  if (new_identity != old_identity && FindEntry(new_identity) != nullptr) {
    return ErrorNumber::KeyAlreadyAssociated;
  }
  Entry* entry = FindEntry(old_identity);
  if (new_identity != old_identity) {
    uint64_t hash = HashDictionaryKey(new_identity);
    entries_.Rekey(*entry, std::move(new_identity), hash);
  }
  // Also for an equal key (another case in text mode, 1.0 for 1): Keys shows the new form.
  swap(entry->key, new_key);
  return Variant();
}

Result<Variant> Dictionary::Remove(const DispatchArguments& arguments) {
  DictionaryKey identity = TRY(KeyOf(arguments[0]));
  Entry* found = FindEntry(identity);
  if (found == nullptr) return ErrorNumber::ElementNotFound;
  // Unlink first and release the key and item last, once the dictionary is consistent again.
  Entry removed = entries_.Remove(*found);
  return Variant();
}

Result<Variant> Dictionary::RemoveAll(const DispatchArguments&) {
  std::vector<Entry> removed = entries_.Clear();
  return Variant();
}

Result<Variant> Dictionary::GetCompareMode(const DispatchArguments&) {
  return Variant::FromI4(static_cast<int32_t>(compare_mode_));
}

Result<Variant> Dictionary::LetCompareMode(const DispatchArguments& arguments) {
  int32_t mode = TRY(ToInt32(arguments.value()));
  bool known = mode >= static_cast<int32_t>(DictionaryCompareMode::Binary) &&
               mode <= static_cast<int32_t>(DictionaryCompareMode::Database);
  // Existing keys were indexed under the old mode; changing it would strand them.
  if (!known || !entries_.empty()) return ErrorNumber::InvalidProcedureCall;
  compare_mode_ = static_cast<DictionaryCompareMode>(mode);
  return Variant();
}

Result<Variant> Dictionary::HashVal(const DispatchArguments& arguments) {
  DictionaryKey identity = TRY(KeyOf(arguments[0]));
  uint64_t hash = HashDictionaryKey(identity);
  return Variant::FromI4(static_cast<int32_t>((hash ^ (hash >> 32)) & 0x7FFFFFFF));
}

Result<Variant> Dictionary::NewEnum(const DispatchArguments&) {
  std::vector<Variant> keys;
  keys.reserve(entries_.size());
  bool copied = true;
  entries_.ForEach([&](const Entry& entry) {
    Result<Variant> key = CopyValue(entry.key);
    if (!key.ok()) copied = false;
    if (copied) keys.push_back(std::move(key).value());
  });
  if (!copied) return ErrorNumber::OutOfMemory;
  return EnumeratorVariant(std::move(keys));
}

// --- IDictionaryItems: the same rules for in-process callers, without dispatch ----------------

void* Dictionary::QueryOtherInterface(REFIID iid) {
  if (iid == IID_IDictionaryItems) return static_cast<IDictionaryItems*>(this);
  return nullptr;
}

Dictionary::Entry* Dictionary::FindTextEntry(std::u16string_view text) {
  // A binary dictionary's text identity is the text itself: no key needs to be built.
  if (compare_mode_ == DictionaryCompareMode::Binary) {
    return entries_.FindText(text, HashTextKey(text));
  }
  return FindEntry(TextKey(text, compare_mode_));
}

const VARIANT* Dictionary::AppendEmptyItem(DictionaryKey identity, Variant key) {
  uint64_t hash = HashDictionaryKey(identity);
  return &entries_.Append(std::move(identity), hash, std::move(key), Variant()).item;
}

Result<const VARIANT*> Dictionary::ReadItem(const VARIANT& key) {
  DictionaryKey identity = TRY(KeyOf(key));
  if (Entry* found = FindEntry(identity)) return &found->item;
  return AppendEmptyItem(std::move(identity), TRY(CopyValue(key)));
}

Result<const VARIANT*> Dictionary::ReadTextItem(std::u16string_view key) {
  if (Entry* found = FindTextEntry(key)) return &found->item;
  return AppendEmptyItem(TextKey(key, compare_mode_), Variant::FromString(key));
}

Result<const VARIANT*> Dictionary::FindItem(const VARIANT& key) {
  DictionaryKey identity = TRY(KeyOf(key));
  Entry* found = FindEntry(identity);
  return found == nullptr ? nullptr : &found->item;
}

Result<const VARIANT*> Dictionary::FindTextItem(std::u16string_view key) {
  Entry* found = FindTextEntry(key);
  return found == nullptr ? nullptr : &found->item;
}

Result<void> Dictionary::WriteItem(const VARIANT& key, const VARIANT& item) {
  TRY(StoreItem(key, item));
  return {};
}

Result<void> Dictionary::WriteTextItem(std::u16string_view key, const VARIANT& item) {
  Entry* found = FindTextEntry(key);
  if (found == nullptr) {
    Variant text_key = Variant::FromString(key);
    TRY(StoreItem(text_key, item));
    return {};
  }
  Variant value = TRY(CopyValue(item));
  // As in StoreItem: the old item goes once the entry holds the new one.
  swap(found->item, value);
  return {};
}

Result<void> Dictionary::AddItem(const VARIANT& key, const VARIANT& item) {
  DictionaryKey identity = TRY(KeyOf(key));
  if (FindEntry(identity) != nullptr) return ErrorNumber::KeyAlreadyAssociated;
  Variant stored_key = TRY(CopyValue(key));
  Variant value = TRY(CopyValue(item));
  uint64_t hash = HashDictionaryKey(identity);
  entries_.Append(std::move(identity), hash, std::move(stored_key), std::move(value));
  return {};
}

int32_t Dictionary::ItemCount() { return static_cast<int32_t>(entries_.size()); }

Result<std::vector<Variant>> Dictionary::KeyList() {
  std::vector<Variant> keys;
  keys.reserve(entries_.size());
  bool copied = true;
  entries_.ForEach([&](const Entry& entry) {
    if (!copied) return;
    Result<Variant> key = CopyValue(entry.key);
    if (!key.ok()) {
      copied = false;
      return;
    }
    keys.push_back(std::move(key).value());
  });
  if (!copied) return ErrorNumber::OutOfMemory;
  return keys;
}
