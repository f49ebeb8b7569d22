#pragma once
// CASPApplication: the Application intrinsic, one per running server. Contents holds the values
// pages store, StaticObjects the objects global.asa declares (created on first use). The default
// member Value(key) reads and writes Contents: Application("n") = v stores the default value of
// an object, Set Application("n") = o the object itself.
//
// Lock and Unlock give real mutual exclusion between pages: a page that holds the lock may take
// it again (it counts), every other page waits in Lock; a lock still held when its page ends
// (normally, with an error, after Response.End or the time limit) is released then. Pages are
// told apart by the worker thread that runs them (one page at a time per worker; a page run by
// Server.Execute shares its caller's lock).

#include <condition_variable>
#include <mutex>
#include <span>
#include <thread>

#include "platform/com/dispatch_object.h"
#include "wendrel/asp/quav_dictionary.h"

class CASPApplication : public DispatchObject<CASPApplication> {
 public:
  CASPApplication();
  static std::span<const DispatchMember<CASPApplication>> Members();
  std::u16string_view TypeName() override { return u"ICASPApplication"; }

  CQuavDictionary& Contents() { return *contents_; }
  CQuavDictionary& StaticObjects() { return *static_objects_; }
  /// Releases the lock when the calling thread's page holds it (its page has ended).
  void ReleaseLockOfThisThread();
  /// Empties both dictionaries (the server stops).
  void Clear();

  // Dispatch members.
  Result<Variant> Lock(const DispatchArguments& arguments);
  Result<Variant> Unlock(const DispatchArguments& arguments);
  Result<Variant> GetContents(const DispatchArguments& arguments);
  Result<Variant> GetStaticObjects(const DispatchArguments& arguments);
  Result<Variant> GetValue(const DispatchArguments& arguments);
  Result<Variant> PutValue(const DispatchArguments& arguments);
  Result<Variant> PutRefValue(const DispatchArguments& arguments);

 private:
  ComPtr<CQuavDictionary> contents_;
  ComPtr<CQuavDictionary> static_objects_;
  std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id owner_;
  int depth_ = 0;
};

/// While a page runs, the flag its time limit sets: Lock stops waiting once it is set, so a page
/// that waits for the lock can still be stopped. Null outside a page.
void SetPageCancelFlag(const std::atomic<bool>* cancelled);
