#pragma once
// CASPSession: the Session intrinsic, one per visitor, found again through the session cookie.
// Contents holds what pages store, StaticObjects the objects OBJECT tags of session scope
// declare (created on first use). The default member Value(key) reads and writes Contents:
// Session("n") = o stores the default value of an object, Set Session("n") = o the object.
//
// The session store counts the pages that use a session (touch at the start of a run, release
// at its end) and keeps its last access; a session in use is never expired. Abandon empties
// the session at once (SessionID "??", Timeout 1); the page goes on with it, and the next
// request carrying the old identifier gets a new session.

#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "platform/com/dispatch_object.h"
#include "wendrel/asp/quav_dictionary.h"

class CASPSession : public DispatchObject<CASPSession> {
 public:
  /// Minutes of idleness a new session is kept.
  static constexpr int32_t kDefaultTimeoutMinutes = 10;
  /// The identifier an abandoned session shows.
  static constexpr std::string_view kAbandonedId = "??";

  /// `locale` is the LCID pages of the session format with until a page or script sets one.
  CASPSession(std::string id, uint32_t locale, int64_t now_seconds);

  static std::span<const DispatchMember<CASPSession>> Members();
  std::u16string_view TypeName() override { return u"ICASPSession"; }

  /// The identifier the session was made with (its key in the store; Abandon does not change it).
  const std::string& Key() const { return key_; }
  std::string SessionId();
  uint32_t Locale();
  /// Stores the page's @LCID.
  void SetLocale(uint32_t locale);
  CQuavDictionary& StaticObjects();
  bool Abandoned();

  // The store's bookkeeping, all under the session's own lock.
  void BeginUse(int64_t now_seconds);
  /// Lowers the use count; returns the number of pages still using the session.
  int32_t EndUse();
  /// Not in use and idle past its timeout (or abandoned) at `now_seconds`. A timeout below one
  /// minute never expires.
  bool Expired(int64_t now_seconds);
  bool InUse();

  // Dispatch members.
  Result<Variant> GetTimeout(const DispatchArguments& arguments);
  Result<Variant> PutTimeout(const DispatchArguments& arguments);
  Result<Variant> GetCodePage(const DispatchArguments& arguments);
  Result<Variant> PutCodePage(const DispatchArguments& arguments);
  Result<Variant> GetLCID(const DispatchArguments& arguments);
  Result<Variant> PutLCID(const DispatchArguments& arguments);
  Result<Variant> GetContents(const DispatchArguments& arguments);
  Result<Variant> GetStaticObjects(const DispatchArguments& arguments);
  Result<Variant> GetSessionID(const DispatchArguments& arguments);
  Result<Variant> Abandon(const DispatchArguments& arguments);
  Result<Variant> GetValue(const DispatchArguments& arguments);
  Result<Variant> PutValue(const DispatchArguments& arguments);
  Result<Variant> PutRefValue(const DispatchArguments& arguments);

 private:
  // The dictionaries are made on first use: most sessions of clients that never send the
  // cookie back are never given a value.
  ComPtr<CQuavDictionary> ContentsLocked();
  ComPtr<CQuavDictionary> Contents();
  ComPtr<CQuavDictionary> StaticObjectsRef();

  const std::string key_;
  std::mutex mutex_;
  std::string id_;
  int32_t timeout_minutes_ = kDefaultTimeoutMinutes;
  int32_t code_page_ = 65001;
  uint32_t locale_;
  int64_t last_access_;
  int32_t pages_using_ = 0;
  bool abandoned_ = false;
  ComPtr<CQuavDictionary> contents_;
  ComPtr<CQuavDictionary> static_objects_;
};
