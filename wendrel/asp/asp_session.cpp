#include "wendrel/asp/asp_session.h"

#include <utility>

#include "platform/automation/conversion.h"
#include "platform/automation/locale.h"
#include "wendrel/common/narrow_text.h"

namespace {

constexpr int64_t kSecondsPerMinute = 60;

}  // namespace

CASPSession::CASPSession(std::string id, uint32_t locale, int64_t now_seconds)
    : key_(id), id_(std::move(id)), locale_(locale), last_access_(now_seconds) {}

std::span<const DispatchMember<CASPSession>> CASPSession::Members() {
  using S = CASPSession;
  constexpr uint16_t kGet = kPropertyGet | kMethod;
  static constexpr DispatchMember<S> kMembers[] = {
      {u"Value", DISPID_VALUE, kGet, 1, 1, &S::GetValue, u"bstrIndex"},
      {u"Value", DISPID_VALUE, kPropertyPut, 1, 1, &S::PutValue, u"bstrIndex"},
      {u"Value", DISPID_VALUE, kPropertyPutRef, 1, 1, &S::PutRefValue, u"bstrIndex"},
      {u"Timeout", 1, kPropertyGet, 0, 0, &S::GetTimeout},
      {u"Timeout", 1, kPropertyPut, 0, 0, &S::PutTimeout},
      {u"CodePage", 2, kPropertyGet, 0, 0, &S::GetCodePage},
      {u"CodePage", 2, kPropertyPut, 0, 0, &S::PutCodePage},
      {u"LCID", 3, kPropertyGet, 0, 0, &S::GetLCID},
      {u"LCID", 3, kPropertyPut, 0, 0, &S::PutLCID},
      {u"Contents", 4, kGet, 0, 0, &S::GetContents},
      {u"StaticObjects", 5, kGet, 0, 0, &S::GetStaticObjects},
      {u"SessionID", 6, kPropertyGet, 0, 0, &S::GetSessionID},
      {u"Abandon", 7, kMethod, 0, 0, &S::Abandon},
  };
  return kMembers;
}

std::string CASPSession::SessionId() {
  std::lock_guard lock(mutex_);
  return id_;
}

uint32_t CASPSession::Locale() {
  std::lock_guard lock(mutex_);
  return locale_;
}

void CASPSession::SetLocale(uint32_t locale) {
  std::lock_guard lock(mutex_);
  locale_ = locale;
}

bool CASPSession::Abandoned() {
  std::lock_guard lock(mutex_);
  return abandoned_;
}

ComPtr<CQuavDictionary> CASPSession::ContentsLocked() {
  if (!contents_) contents_ = MakeObject<CQuavDictionary>();
  return contents_;
}

ComPtr<CQuavDictionary> CASPSession::Contents() {
  std::lock_guard lock(mutex_);
  return ContentsLocked();
}

ComPtr<CQuavDictionary> CASPSession::StaticObjectsRef() {
  std::lock_guard lock(mutex_);
  if (!static_objects_) static_objects_ = MakeObject<CQuavDictionary>();
  return static_objects_;
}

CQuavDictionary& CASPSession::StaticObjects() { return *StaticObjectsRef(); }

void CASPSession::BeginUse(int64_t now_seconds) {
  std::lock_guard lock(mutex_);
  ++pages_using_;
  if (!abandoned_) last_access_ = now_seconds;
}

int32_t CASPSession::EndUse() {
  std::lock_guard lock(mutex_);
  if (pages_using_ > 0) --pages_using_;
  return pages_using_;
}

bool CASPSession::Expired(int64_t now_seconds) {
  std::lock_guard lock(mutex_);
  if (pages_using_ > 0) return false;
  if (abandoned_) return true;
  if (timeout_minutes_ < 1) return false;
  return now_seconds > last_access_ + int64_t{timeout_minutes_} * kSecondsPerMinute;
}

bool CASPSession::InUse() {
  std::lock_guard lock(mutex_);
  return pages_using_ > 0;
}

// --- Dispatch members ------------------------------------------------------------------------

Result<Variant> CASPSession::GetTimeout(const DispatchArguments&) {
  std::lock_guard lock(mutex_);
  return Variant::FromI4(timeout_minutes_);
}

Result<Variant> CASPSession::PutTimeout(const DispatchArguments& arguments) {
  int32_t minutes = TRY(ToInt32(arguments.value()));
  std::lock_guard lock(mutex_);
  timeout_minutes_ = minutes;
  return Variant();
}

Result<Variant> CASPSession::GetCodePage(const DispatchArguments&) {
  std::lock_guard lock(mutex_);
  return Variant::FromI4(code_page_);
}

Result<Variant> CASPSession::PutCodePage(const DispatchArguments& arguments) {
  int32_t code_page = TRY(ToInt32(arguments.value()));
  std::lock_guard lock(mutex_);
  code_page_ = code_page;
  return Variant();
}

Result<Variant> CASPSession::GetLCID(const DispatchArguments&) {
  std::lock_guard lock(mutex_);
  return Variant::FromI4(static_cast<int32_t>(locale_));
}

// A locale this system does not know is refused (error 5), not stored. The page that sets it
// formats with it from then on, as every later page of the session does.
Result<Variant> CASPSession::PutLCID(const DispatchArguments& arguments) {
  int32_t locale = TRY(ToInt32(arguments.value()));
  if (locale <= 0 || FindLocale(static_cast<LCID>(locale)) == nullptr) {
    return ErrorNumber::InvalidProcedureCall;
  }
  SetLocale(static_cast<uint32_t>(locale));
  SetThreadLocale(static_cast<LCID>(locale));
  return Variant();
}

Result<Variant> CASPSession::GetContents(const DispatchArguments&) {
  return Variant::FromDispatch(Contents().get());
}

Result<Variant> CASPSession::GetStaticObjects(const DispatchArguments&) {
  return Variant::FromDispatch(StaticObjectsRef().get());
}

Result<Variant> CASPSession::GetSessionID(const DispatchArguments&) {
  return NarrowTextVariant(SessionId());
}

// The values go at once (released outside the lock: an object's teardown may run script).
Result<Variant> CASPSession::Abandon(const DispatchArguments&) {
  ComPtr<CQuavDictionary> old_contents;
  ComPtr<CQuavDictionary> old_static_objects;
  {
    std::lock_guard lock(mutex_);
    timeout_minutes_ = 1;
    last_access_ = 0;
    id_ = kAbandonedId;
    abandoned_ = true;
    old_contents = std::exchange(contents_, nullptr);
    old_static_objects = std::exchange(static_objects_, nullptr);
  }
  return Variant();
}

Result<Variant> CASPSession::GetValue(const DispatchArguments& arguments) {
  ComPtr<CQuavDictionary> contents;
  {
    std::lock_guard lock(mutex_);
    contents = contents_;
  }
  if (!contents) return Variant();  // nothing stored yet: every key reads Empty
  return contents->GetItem(arguments);
}

Result<Variant> CASPSession::PutValue(const DispatchArguments& arguments) {
  return Contents()->PutItem(arguments);
}

Result<Variant> CASPSession::PutRefValue(const DispatchArguments& arguments) {
  return Contents()->PutRefItem(arguments);
}
