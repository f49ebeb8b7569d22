#pragma once
// CHTTPCookie: one cookie, received (Request.Cookies) or to be sent (Response.Cookies). Element
// 0 is (name, whole value); a value with '&' or '=' is split into sub-keys, elements 1 on.
// Item(name) reads a sub-key, Item without a key the elements joined with ','. A cookie to be
// sent is written as a Set-Cookie line with its expiry, path, domain and secure flag. Belongs
// to one request: no lock.

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/dispatch_object.h"
#include "wendrel/asp/collection.h"
#include "wendrel/asp/collection_entry.h"

class CHTTPCookie : public DispatchObject<CHTTPCookie>, public CollectionEntry {
 public:
  /// Bytes of a value that the Set-Cookie line encodes; the rest is left out.
  static constexpr size_t kMaxEncodedValueBytes = 4096;
  /// Expiry of a session cookie.
  static constexpr std::time_t kNoExpiry = -1;

  /// Splits `raw_value` into sub-keys when it has '&' or '='; nothing is URL-decoded here.
  CHTTPCookie(std::string_view name, std::string_view raw_value);

  static std::span<const DispatchMember<CHTTPCookie>> Members();
  std::u16string_view TypeName() override { return u"CHTTPCookie"; }

  /// The factory of the cookie collections.
  static CollectionEntryHandle Make(std::string_view name, std::optional<std::string_view> value);

  IDispatch* EntryDispatch() override { return this; }
  std::string EntryKey() const override;
  std::string EntryValue() const override;
  /// A cookie keeps the first value its name was sent with.
  void AppendEntryValue(std::string_view) override {}

  void SetDomain(std::string_view domain) { domain_ = domain; }
  void SetPath(std::string_view path) { path_ = path; }
  /// Expires `minutes` from now.
  void SetExpiryInMinutes(int64_t minutes);
  void SetExpiry(std::time_t moment) { expiry_ = moment; }
  std::time_t Expiry() const { return expiry_; }
  bool HasKeys() const { return has_keys_; }
  int32_t ElementCount() const { return static_cast<int32_t>(names_.size()); }
  /// The header line without its line end:
  /// "Set-Cookie: name=value; expires=...; path=/; domain=...; secure".
  std::string SetCookieLine() const;

  // Dispatch members.
  Result<Variant> GetItem(const DispatchArguments& arguments);
  Result<Variant> PutItem(const DispatchArguments& arguments);
  Result<Variant> PutExpires(const DispatchArguments& arguments);
  Result<Variant> PutDomain(const DispatchArguments& arguments);
  Result<Variant> PutPath(const DispatchArguments& arguments);
  Result<Variant> PutSecure(const DispatchArguments& arguments);
  Result<Variant> GetHasKeys(const DispatchArguments& arguments);
  Result<Variant> NewEnum(const DispatchArguments& arguments);
  Result<Variant> GetKey(const DispatchArguments& arguments);
  Result<Variant> PutKey(const DispatchArguments& arguments);

 private:
  void AppendElement(std::u16string_view name, std::u16string_view value);
  // The element Item(Key) reads, or nothing.
  Result<std::optional<size_t>> ElementToRead(const VARIANT& key) const;
  std::optional<size_t> ElementNamed(std::u16string_view name) const;

  std::vector<Bstr> names_;
  std::vector<Bstr> values_;
  bool has_keys_ = false;
  std::time_t expiry_ = kNoExpiry;
  std::string path_ = "/";
  std::string domain_;
  bool secure_ = false;
};

/// A cookie value as the Set-Cookie line carries it: a space becomes '+', letters, digits and
/// '_' stay, every other byte becomes %XX (upper-case hex); only the first
/// CHTTPCookie::kMaxEncodedValueBytes bytes are encoded.
std::string CookieValueEncoded(std::string_view value);
