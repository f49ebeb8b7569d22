#pragma once
// SAFEARRAY: a multi-dimensional array with a lower bound per dimension. Elements are laid out
// with the first index varying fastest, so that growing the last dimension (ReDim Preserve)
// keeps every element in place. Element types: VARIANT, BSTR, UI1 and the fixed-size scalars.

#include <cstdint>
#include <vector>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

struct SAFEARRAYBOUND {
  uint32_t cElements;
  int32_t lLbound;
};

/// The most dimensions an array may have, as on the platform.
inline constexpr uint32_t kMaxArrayDimensions = 60;
/// The most bytes one array's elements may take; larger requests are out of memory (7).
inline constexpr uint64_t kMaxArrayBytes = uint64_t{1} << 31;

struct SAFEARRAY {
  uint16_t cDims;
  uint16_t fFeatures;
  uint32_t cbElements;
  uint32_t cLocks;
  VARTYPE vt;         // element type
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];  // cDims entries, first dimension first
};

/// A new zero-filled array; null for an unsupported element type, no dimensions, more than
/// kMaxArrayDimensions, or a size past kMaxArrayBytes.
SAFEARRAY* SafeArrayCreate(VARTYPE element_type, uint32_t dimensions, const SAFEARRAYBOUND* bounds);
/// A one-dimensional array of `count` elements from `lower_bound`.
SAFEARRAY* SafeArrayCreateVector(VARTYPE element_type, int32_t lower_bound, uint32_t count);
/// Frees the array and what its elements own; DISP_E_ARRAYISLOCKED while locked.
HRESULT SafeArrayDestroy(SAFEARRAY* array);
/// A deep copy; null when memory runs out.
SAFEARRAY* SafeArrayCopy(const SAFEARRAY* array);

uint32_t SafeArrayGetDim(const SAFEARRAY* array);
/// Bounds of dimension `dimension` (1-based); SubscriptOutOfRange (9) for a bad dimension.
Result<int32_t> SafeArrayLowerBound(const SAFEARRAY* array, uint32_t dimension);
Result<int32_t> SafeArrayUpperBound(const SAFEARRAY* array, uint32_t dimension);
/// Number of elements of all dimensions together.
uint64_t SafeArrayElementCount(const SAFEARRAY* array);

/// Address of the element at `indices` (one per dimension, first dimension first);
/// SubscriptOutOfRange (9) for a wrong count or an index outside its bounds.
Result<void*> SafeArrayElementAddress(const SAFEARRAY* array, const int32_t* indices,
                                      uint32_t index_count);
/// A copy of the element as a variant.
Result<Variant> SafeArrayGetElement(const SAFEARRAY* array, const int32_t* indices,
                                    uint32_t index_count);
/// Stores a value, converted to the element type.
Result<void> SafeArrayPutElement(SAFEARRAY* array, const int32_t* indices, uint32_t index_count,
                                 const VARIANT& value);

/// Changes the last dimension's bounds keeping every element that is still inside them
/// (elements beyond are released, new ones are Empty / zero). ArrayFixedOrLocked (10) while
/// locked; OutOfMemory (7) past kMaxArrayBytes.
Result<void> SafeArrayRedim(SAFEARRAY* array, const SAFEARRAYBOUND& last_bound);
HRESULT SafeArrayLock(SAFEARRAY* array);
HRESULT SafeArrayUnlock(SAFEARRAY* array);

/// Holds a lock for its scope: a locked array cannot be destroyed or resized (Erase or ReDim
/// of an array inside For Each over it fails with error 10).
class SafeArrayLockGuard {
 public:
  explicit SafeArrayLockGuard(SAFEARRAY* array) : array_(array) { SafeArrayLock(array_); }
  ~SafeArrayLockGuard() { SafeArrayUnlock(array_); }
  SafeArrayLockGuard(const SafeArrayLockGuard&) = delete;
  SafeArrayLockGuard& operator=(const SafeArrayLockGuard&) = delete;

 private:
  SAFEARRAY* array_;
};
