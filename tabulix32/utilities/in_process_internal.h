#pragma once
// Recognising this library's own objects behind an interface pointer a page hands over, so
// that the renderer can call them without dispatch. Each such class answers a private
// identifier with its IDispatch; the object is then known to be of that class.

#include "platform/automation/ole_interfaces.h"

namespace utilities_internal {

/// The object of class T behind `object` when it answers `iid` (T's private identifier),
/// borrowed: the caller's own reference keeps it alive. Null for any other object.
template <class T>
T* InProcessObject(IUnknown* object, REFIID iid) {
  if (object == nullptr) return nullptr;
  IDispatch* self = nullptr;
  if (FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(&self))) || self == nullptr) {
    return nullptr;
  }
  self->Release();
  return static_cast<T*>(self);
}

}  // namespace utilities_internal
