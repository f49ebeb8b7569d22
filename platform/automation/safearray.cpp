#include "platform/automation/safearray.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/automation/conversion.h"

namespace {

// Element sizes of the supported element types; 0 for a type an array cannot hold.
uint32_t ElementSize(VARTYPE type) {
  switch (type) {
    case VT_VARIANT: return sizeof(VARIANT);
    case VT_BSTR: return sizeof(BSTR);
    case VT_DISPATCH:
    case VT_UNKNOWN: return sizeof(IUnknown*);
    case VT_UI1: return 1;
    case VT_I2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE: return 8;
    default: return 0;
  }
}

size_t HeaderSize(uint32_t dimensions) {
  return offsetof(SAFEARRAY, rgsabound) + sizeof(SAFEARRAYBOUND) * dimensions;
}

// Element count of the given bounds, or false when it passes the size limit.
bool CountElements(const SAFEARRAYBOUND* bounds, uint32_t dimensions, uint32_t element_size,
                   uint64_t* count) {
  uint64_t total = 1;
  for (uint32_t i = 0; i < dimensions; ++i) {
    total *= bounds[i].cElements;
    if (total * element_size > kMaxArrayBytes) return false;
  }
  *count = total;
  return true;
}

void ReleaseElements(SAFEARRAY* array, uint64_t first, uint64_t end) {
  auto* bytes = static_cast<char*>(array->pvData);
  for (uint64_t i = first; i < end; ++i) {
    void* element = bytes + i * array->cbElements;
    switch (array->vt) {
      case VT_VARIANT: VariantClear(static_cast<VARIANT*>(element)); break;
      case VT_BSTR: SysFreeString(*static_cast<BSTR*>(element)); break;
      case VT_DISPATCH:
      case VT_UNKNOWN:
        if (auto* object = *static_cast<IUnknown**>(element)) object->Release();
        break;
      default: return;  // plain data owns nothing
    }
  }
}

// Zero bytes are a valid empty element for every type: VT_EMPTY, null BSTR, null object.
void* AllocateElements(uint64_t count, uint32_t element_size) {
  if (count == 0) return nullptr;
  return std::calloc(count, element_size);
}

// Copies elements that own something so that the copy owns its own.
bool DuplicateElements(SAFEARRAY* copy, uint64_t count) {
  auto* bytes = static_cast<char*>(copy->pvData);
  for (uint64_t i = 0; i < count; ++i) {
    void* element = bytes + i * copy->cbElements;
    if (copy->vt == VT_VARIANT) {
      auto* value = static_cast<VARIANT*>(element);
      VARIANT original = *value;
      VariantInit(value);
      if (FAILED(VariantCopy(value, &original))) return false;
    } else if (copy->vt == VT_BSTR) {
      BSTR& text = *static_cast<BSTR*>(element);
      if (text != nullptr) {
        text = SysAllocStringLen(text, SysStringLen(text));
        if (text == nullptr) return false;
      }
    } else if (copy->vt == VT_DISPATCH || copy->vt == VT_UNKNOWN) {
      if (auto* object = *static_cast<IUnknown**>(element)) object->AddRef();
    }
  }
  return true;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE element_type, uint32_t dimensions, const SAFEARRAYBOUND* bounds) {
  uint32_t element_size = ElementSize(element_type);
  if (element_size == 0 || dimensions == 0 || dimensions > kMaxArrayDimensions) return nullptr;
  uint64_t count = 0;
  if (!CountElements(bounds, dimensions, element_size, &count)) return nullptr;
  auto* array = static_cast<SAFEARRAY*>(std::calloc(1, HeaderSize(dimensions)));
  if (array == nullptr) return nullptr;
  array->cDims = static_cast<uint16_t>(dimensions);
  array->cbElements = element_size;
  array->vt = element_type;
  std::memcpy(array->rgsabound, bounds, sizeof(SAFEARRAYBOUND) * dimensions);
  array->pvData = AllocateElements(count, element_size);
  if (count > 0 && array->pvData == nullptr) {
    std::free(array);
    return nullptr;
  }
  return array;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE element_type, int32_t lower_bound, uint32_t count) {
  SAFEARRAYBOUND bound{count, lower_bound};
  return SafeArrayCreate(element_type, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
  if (array == nullptr) return S_OK;
  if (array->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  ReleaseElements(array, 0, SafeArrayElementCount(array));
  std::free(array->pvData);
  std::free(array);
  return S_OK;
}

SAFEARRAY* SafeArrayCopy(const SAFEARRAY* array) {
  if (array == nullptr) return nullptr;
  SAFEARRAY* copy = SafeArrayCreate(array->vt, array->cDims, array->rgsabound);
  if (copy == nullptr) return nullptr;
  uint64_t count = SafeArrayElementCount(array);
  if (count > 0) std::memcpy(copy->pvData, array->pvData, count * array->cbElements);
  if (!DuplicateElements(copy, count)) {
    // Elements after the failing one still alias the original: forget them before freeing.
    std::memset(copy->pvData, 0, count * copy->cbElements);
    SafeArrayDestroy(copy);
    return nullptr;
  }
  return copy;
}

uint32_t SafeArrayGetDim(const SAFEARRAY* array) { return array == nullptr ? 0 : array->cDims; }

Result<int32_t> SafeArrayLowerBound(const SAFEARRAY* array, uint32_t dimension) {
  if (array == nullptr || dimension < 1 || dimension > array->cDims) {
    return ErrorNumber::SubscriptOutOfRange;
  }
  return array->rgsabound[dimension - 1].lLbound;
}

Result<int32_t> SafeArrayUpperBound(const SAFEARRAY* array, uint32_t dimension) {
  if (array == nullptr || dimension < 1 || dimension > array->cDims) {
    return ErrorNumber::SubscriptOutOfRange;
  }
  const SAFEARRAYBOUND& bound = array->rgsabound[dimension - 1];
  return static_cast<int32_t>(int64_t{bound.lLbound} + int64_t{bound.cElements} - 1);
}

uint64_t SafeArrayElementCount(const SAFEARRAY* array) {
  if (array == nullptr) return 0;
  uint64_t total = 1;
  for (uint32_t i = 0; i < array->cDims; ++i) total *= array->rgsabound[i].cElements;
  return total;
}

Result<void*> SafeArrayElementAddress(const SAFEARRAY* array, const int32_t* indices,
                                      uint32_t index_count) {
  if (array == nullptr || index_count != array->cDims) return ErrorNumber::SubscriptOutOfRange;
  uint64_t offset = 0;
  uint64_t stride = 1;
  for (uint32_t i = 0; i < index_count; ++i) {
    const SAFEARRAYBOUND& bound = array->rgsabound[i];
    int64_t position = int64_t{indices[i]} - bound.lLbound;
    if (position < 0 || position >= int64_t{bound.cElements}) {
      return ErrorNumber::SubscriptOutOfRange;
    }
    offset += static_cast<uint64_t>(position) * stride;
    stride *= bound.cElements;
  }
  return static_cast<void*>(static_cast<char*>(array->pvData) + offset * array->cbElements);
}

Result<Variant> SafeArrayGetElement(const SAFEARRAY* array, const int32_t* indices,
                                    uint32_t index_count) {
  void* element = TRY(SafeArrayElementAddress(array, indices, index_count));
  VARIANT reference;
  VariantInit(&reference);
  if (array->vt == VT_VARIANT) {
    reference.vt = VT_BYREF | VT_VARIANT;
  } else {
    reference.vt = VT_BYREF | array->vt;
  }
  reference.byref = element;
  Variant copy;
  if (FAILED(VariantCopyInd(&copy, &reference))) return ErrorNumber::OutOfMemory;
  return copy;
}

Result<void> SafeArrayPutElement(SAFEARRAY* array, const int32_t* indices, uint32_t index_count,
                                 const VARIANT& value) {
  void* element = TRY(SafeArrayElementAddress(array, indices, index_count));
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = static_cast<VARTYPE>(VT_BYREF | array->vt);
  reference.byref = element;
  return AssignThroughReference(reference, value);
}

Result<void> SafeArrayRedim(SAFEARRAY* array, const SAFEARRAYBOUND& last_bound) {
  if (array == nullptr || array->cDims == 0) return ErrorNumber::SubscriptOutOfRange;
  if (array->cLocks > 0) return ErrorNumber::ArrayFixedOrLocked;
  SAFEARRAYBOUND& last = array->rgsabound[array->cDims - 1];
  uint64_t old_count = SafeArrayElementCount(array);
  uint64_t slice = 1;  // elements per index of the last dimension
  for (uint32_t i = 0; i + 1 < array->cDims; ++i) slice *= array->rgsabound[i].cElements;
  uint64_t slice_bytes = slice * array->cbElements;  // within kMaxArrayBytes since creation
  if (slice_bytes != 0 && last_bound.cElements > kMaxArrayBytes / slice_bytes) {
    return ErrorNumber::OutOfMemory;
  }
  uint64_t new_count = slice * last_bound.cElements;
  if (new_count < old_count) ReleaseElements(array, new_count, old_count);
  void* data = nullptr;
  if (new_count > 0) {
    data = std::realloc(array->pvData, new_count * array->cbElements);
    if (data == nullptr) return ErrorNumber::OutOfMemory;  // released tail stays released
  } else {
    std::free(array->pvData);
  }
  if (new_count > old_count) {
    std::memset(static_cast<char*>(data) + old_count * array->cbElements, 0,
                (new_count - old_count) * array->cbElements);
  }
  array->pvData = data;
  last = last_bound;
  return {};
}

HRESULT SafeArrayLock(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  ++array->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) {
  if (array == nullptr || array->cLocks == 0) return E_UNEXPECTED;
  --array->cLocks;
  return S_OK;
}
