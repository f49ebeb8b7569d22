#include "wendrel/asp/http_cookie.h"

#include <cstdio>

#include "platform/automation/conversion.h"
#include "platform/automation/text_case.h"
#include "platform/com/enum_variant.h"
#include "wendrel/common/http_date.h"
#include "wendrel/common/narrow_text.h"

namespace {

constexpr DISPID kExpiresDispid = 0x60020002;
constexpr DISPID kDomainDispid = 0x60020004;
constexpr DISPID kPathDispid = 0x60020006;
constexpr DISPID kSecureDispid = 0x60020008;
constexpr DISPID kHasKeysDispid = 0x6002000a;
constexpr DISPID kKeyDispid = 0x6002000c;

std::u16string AnsiText(std::string_view bytes) { return BytesToText(bytes, CP_ACP); }
std::string AnsiBytes(std::u16string_view text) { return TextToBytes(text, CP_ACP); }

bool IsIntegerType(VARTYPE type) { return type == VT_I2 || type == VT_I4; }
int32_t IntegerOf(const VARIANT& value) { return value.vt == VT_I2 ? value.iVal : value.lVal; }

bool IsCopiedCookieByte(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') || byte == '_';
}

}  // namespace

std::string CookieValueEncoded(std::string_view value) {
  std::string encoded;
  value = value.substr(0, CHTTPCookie::kMaxEncodedValueBytes);
  encoded.reserve(value.size() * 3);
  for (char c : value) {
    auto byte = static_cast<unsigned char>(c);
    if (byte == ' ') {
      encoded.push_back('+');
    } else if (IsCopiedCookieByte(byte)) {
      encoded.push_back(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", byte);
      encoded.append(escape, 3);
    }
  }
  return encoded;
}

CHTTPCookie::CHTTPCookie(std::string_view name, std::string_view raw_value) {
  AppendElement(AnsiText(name), AnsiText(raw_value));
  if (raw_value.find_first_of("&=") == std::string_view::npos) return;
  // Sub-keys: pieces between '&' (an empty tail is dropped), each "name=value"; a piece with
  // more or fewer than one '=' keeps only its first piece as the name.
  size_t start = 0;
  while (start < raw_value.size()) {
    size_t end = raw_value.find('&', start);
    if (end == std::string_view::npos) end = raw_value.size();
    std::string_view part = raw_value.substr(start, end - start);
    size_t equals = part.find('=');
    bool pair = equals != std::string_view::npos && part.find('=', equals + 1) == std::string_view::npos;
    std::string_view sub_name = equals == std::string_view::npos ? part : part.substr(0, equals);
    std::string_view sub_value = pair ? part.substr(equals + 1) : std::string_view();
    AppendElement(AnsiText(sub_name), AnsiText(sub_value));
    has_keys_ = true;
    start = end + 1;
  }
}

std::span<const DispatchMember<CHTTPCookie>> CHTTPCookie::Members() {
  using C = CHTTPCookie;
  constexpr uint16_t kGet = kPropertyGet | kMethod;
  static constexpr DispatchMember<C> kMembers[] = {
      {u"Item", DISPID_VALUE, kGet, 0, 1, &C::GetItem, u"Key"},
      {u"Item", DISPID_VALUE, kPropertyPut, 0, 1, &C::PutItem, u"Key"},
      {u"Expires", kExpiresDispid, kPropertyPut, 0, 0, &C::PutExpires},
      {u"Domain", kDomainDispid, kPropertyPut, 0, 0, &C::PutDomain},
      {u"Path", kPathDispid, kPropertyPut, 0, 0, &C::PutPath},
      {u"Secure", kSecureDispid, kPropertyPut, 0, 0, &C::PutSecure},
      {u"HasKeys", kHasKeysDispid, kPropertyGet, 0, 0, &C::GetHasKeys},
      {u"_NewEnum", DISPID_NEWENUM, kGet, 0, 0, &C::NewEnum},
      {u"Key", kKeyDispid, kGet, 0, 0, &C::GetKey},
      {u"Key", kKeyDispid, kPropertyPut, 0, 0, &C::PutKey},
  };
  return kMembers;
}

CollectionEntryHandle CHTTPCookie::Make(std::string_view name,
                                        std::optional<std::string_view> value) {
  ComPtr<CHTTPCookie> cookie = MakeObject<CHTTPCookie>(name, value.value_or(std::string_view()));
  return {ComPtr<IDispatch>(cookie.get()), cookie.get()};
}

std::string CHTTPCookie::EntryKey() const {
  return names_.empty() ? std::string() : AnsiBytes(names_[0].view());
}

std::string CHTTPCookie::EntryValue() const {
  return values_.empty() ? std::string() : AnsiBytes(values_[0].view());
}

void CHTTPCookie::AppendElement(std::u16string_view name, std::u16string_view value) {
  names_.emplace_back(name);
  values_.emplace_back(value);
}

void CHTTPCookie::SetExpiryInMinutes(int64_t minutes) {
  expiry_ = std::time(nullptr) + static_cast<std::time_t>(minutes) * 60;
}

std::string CHTTPCookie::SetCookieLine() const {
  std::string line = "Set-Cookie: ";
  for (size_t i = 0; i < names_.size(); ++i) {
    line += HeaderSafeText(AnsiBytes(names_[i].view()));
    line += '=';
    if (!(has_keys_ && i == 0)) line += CookieValueEncoded(AnsiBytes(values_[i].view()));
    bool last = i + 1 == names_.size();
    if (!last && (!values_[i].view().empty() || i > 0)) line += '&';
  }
  if (expiry_ != kNoExpiry) {
    line += "; expires=";
    line += FormatHttpDate(expiry_);
  }
  if (!path_.empty()) {
    line += "; path=";
    line += HeaderSafeText(path_);
  }
  if (!domain_.empty()) {
    line += "; domain=";
    line += HeaderSafeText(domain_);
  }
  // A cookie the page marked secure must not travel over plain HTTP.
  if (secure_) line += "; secure";
  return line;
}

std::optional<size_t> CHTTPCookie::ElementNamed(std::u16string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (EqualsIgnoringCase(names_[i].view(), name)) return i;
  }
  return std::nullopt;
}

// Item(Key): a position (1 is the first sub-key when there are sub-keys) or a name.
Result<std::optional<size_t>> CHTTPCookie::ElementToRead(const VARIANT& key) const {
  Result<int32_t> number = IsIntegerType(key.vt) ? Result<int32_t>(IntegerOf(key))
                                                 : ToInt32(key);
  if (number.ok()) {
    int64_t position = int64_t{number.value()} - 1 + (has_keys_ ? 1 : 0);
    if (position >= 0) {
      if (position >= static_cast<int64_t>(names_.size())) return std::optional<size_t>();
      return std::optional<size_t>(static_cast<size_t>(position));
    }
  }
  Bstr name = TRY(ToBstr(key));
  return ElementNamed(name.view());
}

Result<Variant> CHTTPCookie::GetItem(const DispatchArguments& arguments) {
  VARIANT key = PeekValue(arguments[0]);
  bool whole = key.vt == VT_EMPTY || key.vt == VT_ERROR ||
               (key.vt == VT_BSTR && SysStringLen(key.bstrVal) == 0);
  if (whole) {
    std::u16string joined;
    for (size_t i = 0; i < values_.size(); ++i) {
      if (i > 0) joined += u',';
      joined += values_[i].view();
    }
    return Variant::FromString(joined);
  }
  std::optional<size_t> element = TRY(ElementToRead(key));
  if (!element) return Variant();
  return Variant::FromString(values_[*element].view());
}

// Item(Key) = value: a 16- or 32-bit Key is a zero-based element, no Key the whole value,
// a name its sub-key (a new one is appended).
Result<Variant> CHTTPCookie::PutItem(const DispatchArguments& arguments) {
  Variant value = TRY(ValueOf(arguments.value()));
  Bstr text;
  if (value.vt != VT_EMPTY && value.vt != VT_NULL && value.vt != VT_ERROR) {
    text = TRY(ToBstr(value));
  }
  VARIANT key = PeekValue(arguments[0]);
  std::optional<Bstr> new_name;
  int64_t position = 0;
  if (IsIntegerType(key.vt)) {
    position = IntegerOf(key);
    if (position < 0) return ErrorNumber::SubscriptOutOfRange;
  } else if (key.vt != VT_EMPTY && key.vt != VT_ERROR) {
    Bstr name = TRY(ToBstr(key));
    std::optional<size_t> found = ElementNamed(name.view());
    position = found ? static_cast<int64_t>(*found) : static_cast<int64_t>(names_.size());
    new_name = std::move(name);
  }
  if (position != 0) has_keys_ = true;
  if (position < static_cast<int64_t>(values_.size())) {
    values_[static_cast<size_t>(position)] = std::move(text);
    return Variant();
  }
  AppendElement(new_name ? new_name->view() : std::u16string_view(), text.view());
  return Variant();
}

// Expires = minutes from now (a 16- or 32-bit number) or a local date; a value that is
// neither leaves the expiry as it was.
Result<Variant> CHTTPCookie::PutExpires(const DispatchArguments& arguments) {
  VARIANT value = PeekValue(arguments.value());
  if (IsIntegerType(value.vt)) {
    SetExpiryInMinutes(IntegerOf(value));
    return Variant();
  }
  Result<DATE> date = ToDate(value);
  if (!date.ok()) return Variant();
  if (std::optional<std::time_t> moment = MomentOfLocalDate(date.value())) expiry_ = *moment;
  return Variant();
}

Result<Variant> CHTTPCookie::PutDomain(const DispatchArguments& arguments) {
  domain_ = TRY(NarrowTextOf(arguments.value()));
  return Variant();
}

Result<Variant> CHTTPCookie::PutPath(const DispatchArguments& arguments) {
  path_ = TRY(NarrowTextOf(arguments.value()));
  return Variant();
}

Result<Variant> CHTTPCookie::PutSecure(const DispatchArguments& arguments) {
  secure_ = TRY(ToBool(arguments.value()));
  return Variant();
}

Result<Variant> CHTTPCookie::GetHasKeys(const DispatchArguments&) {
  return Variant::FromBool(has_keys_);
}

Result<Variant> CHTTPCookie::NewEnum(const DispatchArguments&) {
  std::vector<Variant> names;
  for (size_t i = has_keys_ ? 1 : 0; i < names_.size(); ++i) {
    names.push_back(Variant::FromString(names_[i].view()));
  }
  return EnumeratorVariant(std::move(names));
}

Result<Variant> CHTTPCookie::GetKey(const DispatchArguments&) {
  if (names_.empty()) return Variant::FromString(u"");
  return Variant::FromString(names_[0].view());
}

Result<Variant> CHTTPCookie::PutKey(const DispatchArguments& arguments) {
  Bstr name = TRY(ToBstr(arguments.value()));
  if (names_.empty()) return Variant();
  names_[0] = std::move(name);
  NoteCollectionKeyChanged();
  return Variant();
}
