#pragma once
// ComObject: IUnknown for a class that implements its interface by hand (enumerators, streams,
// class factories, connection points, script objects): the reference count, the module lock
// while the object lives, and QueryInterface over the interface identifiers the class lists.
//
//   class MemoryStream final : public ComObject<MemoryStream, IStream> {
//    public:
//     static constexpr IID kInterfaces[] = {IID_ISequentialStream, IID_IStream};
//     ...
//   };
//
// IUnknown is always answered; every listed identifier answers the interface itself. A class
// with more than one interface overrides FindInterface instead of listing.
//
// ComEntry and ThreadEntry keep exceptions from leaving the system: no C++ exception may
// cross a COM method, a C entry point or a thread's start, and running out of memory there
// becomes E_OUTOFMEMORY (or a quiet end of the thread) instead of terminating the process.

#include <atomic>
#include <new>
#include <utility>

#include "platform/automation/hresult.h"
#include "platform/automation/ole_interfaces.h"
#include "platform/com/module_lock.h"

template <class Derived, class Interface>
class ComObject : public Interface {
 public:
  ComObject() { LockModule(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    void* found = iid == IID_IUnknown ? static_cast<Interface*>(this)
                                      : static_cast<Derived*>(this)->FindInterface(iid);
    if (found == nullptr) return E_NOINTERFACE;
    *object = found;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    ULONG remaining = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0) delete static_cast<Derived*>(this);
    return remaining;
  }

  /// The interface for an identifier other than IUnknown; null when the object has none.
  /// The default answers the identifiers in Derived::kInterfaces with Interface.
  void* FindInterface(REFIID iid) {
    for (const IID& known : Derived::kInterfaces) {
      if (known == iid) return static_cast<Interface*>(this);
    }
    return nullptr;
  }

 protected:
  virtual ~ComObject() { UnlockModule(); }

 private:
  std::atomic<ULONG> references_{1};
};

/// An IDispatch written by hand (sinks, wrappers that forward calls): no type information, so
/// the class writes only GetIDsOfNames and Invoke. Answers IDispatch.
template <class Derived>
class HandWrittenDispatch : public ComObject<Derived, IDispatch> {
 public:
  static constexpr IID kInterfaces[] = {IID_IDispatch};

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
};

/// Runs the body of a COM method or C entry point: its HRESULT, or E_OUTOFMEMORY when memory
/// ran out inside.
template <class Body>
HRESULT ComEntry(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

/// Runs the body of a thread: a thread that runs out of memory ends quietly (its owner sees it
/// end) instead of taking the process with it.
template <class Body>
void ThreadEntry(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
  }
}
