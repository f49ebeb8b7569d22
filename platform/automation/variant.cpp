#include "platform/automation/variant.h"

#include <cstring>

#include "platform/automation/safearray.h"

namespace {

// By-reference chains longer than this are treated as broken rather than followed forever.
constexpr int kMaxReferenceDepth = 16;

VARTYPE BaseType(VARTYPE type) { return type & ~VT_BYREF; }

// Reads the value a typed by-reference variant points at into a non-owning variant.
VARIANT ShallowValueOf(const VARIANT& reference) {
  VARIANT value;
  VariantInit(&value);
  value.vt = BaseType(reference.vt);
  if (reference.byref == nullptr) {
    value.vt = VT_EMPTY;
    return value;
  }
  if ((value.vt & VT_ARRAY) != 0) {
    value.parray = *reference.pparray;
    return value;
  }
  switch (value.vt) {
    case VT_I2: value.iVal = *reference.piVal; break;
    case VT_I4: value.lVal = *reference.plVal; break;
    case VT_R4: value.fltVal = *reference.pfltVal; break;
    case VT_R8: value.dblVal = *reference.pdblVal; break;
    case VT_CY: value.cyVal = *reference.pcyVal; break;
    case VT_DATE: value.date = *reference.pdate; break;
    case VT_BSTR: value.bstrVal = *reference.pbstrVal; break;
    case VT_DISPATCH: value.pdispVal = *reference.ppdispVal; break;
    case VT_UNKNOWN: value.punkVal = *reference.ppunkVal; break;
    case VT_ERROR: value.scode = *reference.pscode; break;
    case VT_BOOL: value.boolVal = *reference.pboolVal; break;
    case VT_UI1: value.bVal = *reference.pbVal; break;
    default: value.vt = VT_EMPTY; break;
  }
  return value;
}

// Duplicates what a shallow value refers to (string, object reference, array).
HRESULT TakeOwnedCopy(VARIANT* target, const VARIANT& shallow) {
  *target = shallow;
  if ((shallow.vt & VT_ARRAY) != 0) {
    if (shallow.parray == nullptr) return S_OK;
    target->parray = SafeArrayCopy(shallow.parray);
    if (target->parray != nullptr) return S_OK;
    VariantInit(target);
    return E_OUTOFMEMORY;
  }
  switch (shallow.vt) {
    case VT_BSTR:
      if (shallow.bstrVal == nullptr) return S_OK;
      target->bstrVal = SysAllocStringLen(shallow.bstrVal, SysStringLen(shallow.bstrVal));
      if (target->bstrVal != nullptr) return S_OK;
      VariantInit(target);
      return E_OUTOFMEMORY;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (shallow.punkVal != nullptr) shallow.punkVal->AddRef();
      return S_OK;
    default:
      return S_OK;
  }
}

}  // namespace

HRESULT VariantClear(VARIANT* value) {
  if ((value->vt & VT_BYREF) == 0) {
    if ((value->vt & VT_ARRAY) != 0) {
      if (value->parray != nullptr) {
        HRESULT hr = SafeArrayDestroy(value->parray);
        if (FAILED(hr)) return hr;
      }
    } else if (value->vt == VT_BSTR) {
      SysFreeString(value->bstrVal);
    } else if ((value->vt == VT_DISPATCH || value->vt == VT_UNKNOWN) && value->punkVal != nullptr) {
      value->punkVal->Release();
    }
  }
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* target, const VARIANT* source) {
  if (target == source) return S_OK;
  HRESULT hr = VariantClear(target);
  if (FAILED(hr)) return hr;
  if ((source->vt & VT_BYREF) != 0) {
    *target = *source;
    return S_OK;
  }
  return TakeOwnedCopy(target, *source);
}

VARIANT PeekReferencedValue(const VARIANT& value) {
  const VARIANT* current = &value;
  for (int depth = 0; depth < kMaxReferenceDepth; ++depth) {
    if ((current->vt & VT_BYREF) == 0) return *current;
    if (current->vt != (VT_BYREF | VT_VARIANT)) return ShallowValueOf(*current);
    if (current->pvarVal == nullptr) break;
    current = current->pvarVal;
  }
  VARIANT empty;
  VariantInit(&empty);
  return empty;
}

HRESULT VariantCopyInd(VARIANT* target, const VARIANT* source) {
  VARIANT shallow = PeekValue(*source);
  if (target == source) {
    if ((source->vt & VT_BYREF) == 0) return S_OK;
    VARIANT copy;
    HRESULT hr = TakeOwnedCopy(&copy, shallow);
    if (FAILED(hr)) return hr;
    *target = copy;  // a by-reference variant owns nothing, so nothing leaks here
    return S_OK;
  }
  HRESULT hr = VariantClear(target);
  if (FAILED(hr)) return hr;
  return TakeOwnedCopy(target, shallow);
}

Variant::Variant(const Variant& other) : Variant(static_cast<const VARIANT&>(other)) {}

Variant::Variant(const VARIANT& other) {
  VariantInit(this);
  VariantCopy(this, &other);
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    swap(*this, copy);
  }
  return *this;
}

Variant Variant::Null() {
  Variant result;
  result.vt = VT_NULL;
  return result;
}

Variant Variant::Missing() { return FromError(DISP_E_PARAMNOTFOUND); }

Variant Variant::FromError(SCODE code) {
  Variant result;
  result.vt = VT_ERROR;
  result.scode = code;
  return result;
}

Variant Variant::FromR4(float value) {
  Variant result;
  result.vt = VT_R4;
  result.fltVal = value;
  return result;
}

Variant Variant::FromBool(bool value) {
  Variant result;
  result.vt = VT_BOOL;
  result.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return result;
}

Variant Variant::FromByte(uint8_t value) {
  Variant result;
  result.vt = VT_UI1;
  result.bVal = value;
  return result;
}

Variant Variant::FromCurrency(CY value) {
  Variant result;
  result.vt = VT_CY;
  result.cyVal = value;
  return result;
}

Variant Variant::FromString(std::u16string_view text) { return FromBstr(Bstr(text)); }

Variant Variant::FromBstr(Bstr text) {
  Variant result;
  result.vt = VT_BSTR;
  result.bstrVal = text.Detach();
  return result;
}

Variant Variant::FromDispatch(IDispatch* object) {
  Variant result;
  result.vt = VT_DISPATCH;
  result.pdispVal = object;
  if (object != nullptr) object->AddRef();
  return result;
}

Variant Variant::FromUnknown(IUnknown* object) {
  Variant result;
  result.vt = VT_UNKNOWN;
  result.punkVal = object;
  if (object != nullptr) object->AddRef();
  return result;
}

Variant Variant::FromArray(VARTYPE element_type, SAFEARRAY* array) {
  Variant result;
  result.vt = VT_ARRAY | element_type;
  result.parray = array;
  return result;
}

Variant Variant::RefTo(VARIANT* target) {
  Variant result;
  result.vt = VT_BYREF | VT_VARIANT;
  result.pvarVal = target;
  return result;
}

bool Variant::IsMissing() const { return vt == VT_ERROR && scode == DISP_E_PARAMNOTFOUND; }

std::u16string_view Variant::StringView() const {
  if (vt != VT_BSTR) return {};
  return BstrView(bstrVal);
}

VARIANT Variant::Detach() {
  VARIANT contents = *this;
  VariantInit(this);
  return contents;
}

void Variant::Attach(VARIANT value) {
  VariantClear(this);
  static_cast<VARIANT&>(*this) = value;
}
