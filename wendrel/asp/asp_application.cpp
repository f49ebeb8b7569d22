#include "wendrel/asp/asp_application.h"

#include <atomic>
#include <chrono>

namespace {

// A page that waits for the lock looks at its cancel flag this often.
constexpr auto kLockWaitSlice = std::chrono::milliseconds(100);

thread_local const std::atomic<bool>* page_cancelled = nullptr;

bool PageCancelled() { return page_cancelled != nullptr && page_cancelled->load(); }

}  // namespace

void SetPageCancelFlag(const std::atomic<bool>* cancelled) { page_cancelled = cancelled; }

CASPApplication::CASPApplication()
    : contents_(MakeObject<CQuavDictionary>()), static_objects_(MakeObject<CQuavDictionary>()) {}

std::span<const DispatchMember<CASPApplication>> CASPApplication::Members() {
  using A = CASPApplication;
  constexpr uint16_t kGet = kPropertyGet | kMethod;
  static constexpr DispatchMember<A> kMembers[] = {
      {u"Value", DISPID_VALUE, kGet, 1, 1, &A::GetValue, u"bstrKey"},
      {u"Value", DISPID_VALUE, kPropertyPut, 1, 1, &A::PutValue, u"bstrKey"},
      {u"Value", DISPID_VALUE, kPropertyPutRef, 1, 1, &A::PutRefValue, u"bstrKey"},
      {u"Lock", 1, kMethod, 0, 0, &A::Lock},
      {u"Unlock", 2, kMethod, 0, 0, &A::Unlock},
      {u"Contents", 3, kGet, 0, 0, &A::GetContents},
      {u"StaticObjects", 4, kGet, 0, 0, &A::GetStaticObjects},
  };
  return kMembers;
}

Result<Variant> CASPApplication::Lock(const DispatchArguments&) {
  std::unique_lock lock(mutex_);
  std::thread::id self = std::this_thread::get_id();
  while (depth_ > 0 && owner_ != self) {
    if (PageCancelled()) return ErrorNumber::InvalidProcedureCall;
    released_.wait_for(lock, kLockWaitSlice);
  }
  owner_ = self;
  ++depth_;
  return Variant();
}

Result<Variant> CASPApplication::Unlock(const DispatchArguments&) {
  std::lock_guard lock(mutex_);
  if (depth_ == 0 || owner_ != std::this_thread::get_id()) return Variant();  // not this page's
  if (--depth_ == 0) {
    owner_ = {};
    released_.notify_all();
  }
  return Variant();
}

void CASPApplication::ReleaseLockOfThisThread() {
  std::lock_guard lock(mutex_);
  if (depth_ == 0 || owner_ != std::this_thread::get_id()) return;
  depth_ = 0;
  owner_ = {};
  released_.notify_all();
}

void CASPApplication::Clear() {
  contents_->RemoveAllValues();
  static_objects_->RemoveAllValues();
}

Result<Variant> CASPApplication::GetContents(const DispatchArguments&) {
  return Variant::FromDispatch(contents_.get());
}
Result<Variant> CASPApplication::GetStaticObjects(const DispatchArguments&) {
  return Variant::FromDispatch(static_objects_.get());
}
Result<Variant> CASPApplication::GetValue(const DispatchArguments& arguments) {
  return contents_->GetItem(arguments);
}
Result<Variant> CASPApplication::PutValue(const DispatchArguments& arguments) {
  return contents_->PutItem(arguments);
}
Result<Variant> CASPApplication::PutRefValue(const DispatchArguments& arguments) {
  return contents_->PutRefItem(arguments);
}
