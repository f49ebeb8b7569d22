#pragma once
// What a script value holds outside its heap: a host object's reference, an enumerator, an
// array (whose elements may be objects). Each is registered with its heap while it lives; when
// a run ends the heap lets go of everything they hold, so the host's objects are released at
// the end of the page even when the script left their holders in garbage cycles that only a
// later collection frees. The holder object owns its resource under one hidden key; the
// holder's finalizer deletes it.

#include <memory>

#include "duktape.h"

namespace jscript {

class ScriptHeap;

class HeapResource {
 public:
  enum class Kind { HostObject, SafeArray, Unknown, Enumerator };

  HeapResource(duk_context* ctx, Kind kind);
  virtual ~HeapResource();
  HeapResource(const HeapResource&) = delete;
  HeapResource& operator=(const HeapResource&) = delete;

  Kind kind() const { return kind_; }
  /// Lets go of what is held outside the heap; the holder then behaves as emptied.
  virtual void ReleaseExternal() = 0;

 private:
  ScriptHeap* heap_;
  Kind kind_;
};

/// Gives the object at `object_index` (which must not have one yet) its resource; the object's
/// finalizer deletes it.
void AttachResource(duk_context* ctx, duk_idx_t object_index, std::unique_ptr<HeapResource> resource);

/// The resource of the value at `index` when it is of `kind`; null otherwise. A Proxy's
/// resource is its target's.
HeapResource* ResourceAt(duk_context* ctx, duk_idx_t index, HeapResource::Kind kind);

template <class T>
T* ResourceAt(duk_context* ctx, duk_idx_t index) {
  return static_cast<T*>(ResourceAt(ctx, index, T::kKind));
}

}  // namespace jscript
