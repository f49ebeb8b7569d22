#pragma once
// ComPtr<T>: owns one reference to a COM object; copying adds a reference, destruction
// releases it. A raw pointer beside it is borrowed, never owned.

#include <cstddef>
#include <utility>

#include "platform/automation/ole_interfaces.h"

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}  // NOLINT(google-explicit-constructor)
  /// Takes a new reference to a borrowed pointer.
  explicit ComPtr(T* object) : object_(object) {
    if (object_ != nullptr) object_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  /// Takes over a reference the caller already owns (a freshly created object, an out
  /// parameter filled by QueryInterface).
  static ComPtr Adopt(T* object) {
    ComPtr result;
    result.object_ = object;
    return result;
  }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

  /// Gives up the reference to the caller.
  T* Detach() { return std::exchange(object_, nullptr); }
  void Reset() {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }
  /// The address to pass as an out parameter; any held reference is released first.
  T** Receive() {
    Reset();
    return &object_;
  }

  /// QueryInterface for another interface; null when the object lacks it.
  template <class U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> result;
    if (object_ != nullptr) {
      object_->QueryInterface(iid, reinterpret_cast<void**>(result.Receive()));
    }
    return result;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.object_ == b.object_; }

 private:
  T* object_ = nullptr;
};
