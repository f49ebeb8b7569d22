#include "wendrel/asp/quav_dictionary.h"

#include "platform/automation/conversion.h"
#include "platform/automation/text_case.h"
#include "platform/com/enum_variant.h"

namespace {

constexpr DISPID kCountDispid = 0x60020000;
constexpr DISPID kKeyDispid = 0x60020005;
constexpr DISPID kRemoveDispid = 0x60020006;
constexpr DISPID kRemoveAllDispid = 0x60020007;

}  // namespace

std::span<const DispatchMember<CQuavDictionary>> CQuavDictionary::Members() {
  using D = CQuavDictionary;
  constexpr uint16_t kGet = kPropertyGet | kMethod;
  static constexpr DispatchMember<D> kMembers[] = {
      {u"Item", DISPID_VALUE, kGet, 1, 1, &D::GetItem, u"Key"},
      {u"Item", DISPID_VALUE, kPropertyPut, 1, 1, &D::PutItem, u"Key"},
      {u"Item", DISPID_VALUE, kPropertyPutRef, 1, 1, &D::PutRefItem, u"Key"},
      {u"Count", kCountDispid, kPropertyGet, 0, 0, &D::Count},
      {u"_NewEnum", DISPID_NEWENUM, kGet, 0, 0, &D::NewEnum},
      {u"Key", kKeyDispid, kGet, 1, 1, &D::Key, u"Index"},
      {u"Remove", kRemoveDispid, kMethod, 1, 1, &D::Remove, u"VarKey"},
      {u"RemoveAll", kRemoveAllDispid, kMethod, 0, 0, &D::RemoveAll},
  };
  return kMembers;
}

std::u16string CQuavDictionary::KeyTextOf(const VARIANT& key) {
  VARIANT shallow = PeekValue(key);
  if (shallow.vt == VT_BSTR) return std::u16string(BstrView(shallow.bstrVal));
  Result<Variant> value = ValueOf(shallow);
  if (!value.ok()) return {};
  Result<Bstr> text = ToBstr(value.value());
  return text.ok() ? std::u16string(text.value().view()) : std::u16string();
}

std::optional<size_t> CQuavDictionary::FindLocked(std::u16string_view key) const {
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (EqualsIgnoringCase(keys_[i].view(), key)) return i;
  }
  return std::nullopt;
}

Variant CQuavDictionary::Get(std::u16string_view key) {
  std::lock_guard lock(mutex_);
  std::optional<size_t> found = FindLocked(key);
  return found ? values_[*found] : Variant();
}

void CQuavDictionary::Set(std::u16string_view key, const VARIANT& value) {
  Variant stored(PeekValue(value));
  std::lock_guard lock(mutex_);
  if (std::optional<size_t> found = FindLocked(key)) {
    std::swap(values_[*found], stored);
    return;
  }
  keys_.emplace_back(key);
  values_.push_back(std::move(stored));
}

bool CQuavDictionary::SetIfEmpty(std::u16string_view key, const VARIANT& value) {
  Variant stored(PeekValue(value));
  std::lock_guard lock(mutex_);
  if (std::optional<size_t> found = FindLocked(key)) {
    if (values_[*found].vt != VT_EMPTY) return false;
    std::swap(values_[*found], stored);
    return true;
  }
  keys_.emplace_back(key);
  values_.push_back(std::move(stored));
  return true;
}

void CQuavDictionary::RemoveAllValues() {
  std::vector<Variant> released;
  std::lock_guard lock(mutex_);
  keys_.clear();
  released.swap(values_);
}

int32_t CQuavDictionary::KeyCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int32_t>(keys_.size());
}

std::vector<std::u16string> CQuavDictionary::KeyTexts() {
  std::lock_guard lock(mutex_);
  std::vector<std::u16string> texts;
  texts.reserve(keys_.size());
  for (const Bstr& key : keys_) texts.emplace_back(key.view());
  return texts;
}

// Count is a 16-bit number while it fits.
Result<Variant> CQuavDictionary::Count(const DispatchArguments&) {
  int32_t count = KeyCount();
  return count <= INT16_MAX ? Variant::FromI2(static_cast<int16_t>(count))
                            : Variant::FromI4(count);
}

Result<Variant> CQuavDictionary::NewEnum(const DispatchArguments&) {
  std::vector<Variant> keys;
  for (const std::u16string& key : KeyTexts()) keys.push_back(Variant::FromString(key));
  return EnumeratorVariant(std::move(keys));
}

Result<Variant> CQuavDictionary::GetItem(const DispatchArguments& arguments) {
  return Get(KeyTextOf(arguments[0]));
}

// Item(Key) = value stores an object's default value, or the object when it has none.
Result<Variant> CQuavDictionary::PutItem(const DispatchArguments& arguments) {
  VARIANT value = PeekValue(arguments.value());
  if (value.vt == VT_DISPATCH && value.pdispVal != nullptr) {
    Result<Variant> default_value = DefaultValueOf(value.pdispVal);
    if (default_value.ok()) {
      Set(KeyTextOf(arguments[0]), default_value.value());
      return Variant();
    }
  }
  Set(KeyTextOf(arguments[0]), value);
  return Variant();
}

Result<Variant> CQuavDictionary::PutRefItem(const DispatchArguments& arguments) {
  Set(KeyTextOf(arguments[0]), arguments.value());
  return Variant();
}

// Key(n): the n-th key (1-based), a null string outside; Key("name"): its 1-based position,
// 0 when absent.
Result<Variant> CQuavDictionary::Key(const DispatchArguments& arguments) {
  VARIANT index = PeekValue(arguments[0]);
  if (index.vt == VT_BSTR || index.vt == VT_DISPATCH) {
    std::u16string key = KeyTextOf(index);  // an object is read before the lock is taken
    std::lock_guard lock(mutex_);
    std::optional<size_t> found = FindLocked(key);
    return Variant::FromI4(found ? static_cast<int32_t>(*found) + 1 : 0);
  }
  int32_t position = TRY(ToInt32(index));
  std::lock_guard lock(mutex_);
  if (position < 1 || static_cast<size_t>(position) > keys_.size()) return Variant::FromString(u"");
  return Variant::FromString(keys_[static_cast<size_t>(position) - 1].view());
}

Result<Variant> CQuavDictionary::Remove(const DispatchArguments& arguments) {
  std::u16string key = KeyTextOf(arguments[0]);
  Variant released;
  std::lock_guard lock(mutex_);
  if (std::optional<size_t> found = FindLocked(key)) {
    std::swap(released, values_[*found]);
  }
  return Variant();
}

Result<Variant> CQuavDictionary::RemoveAll(const DispatchArguments&) {
  RemoveAllValues();
  return Variant();
}
