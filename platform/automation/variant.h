#pragma once
// VARIANT with the platform's type codes, and the RAII `Variant` that owns one. Strings are
// BSTRs, objects hold a reference, arrays own their SAFEARRAY; a by-reference variant points at
// storage it does not own.

#include <cstdint>
#include <string_view>
#include <utility>

#include "platform/automation/bstr.h"
#include "platform/automation/ole_interfaces.h"

using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using DATE = double;

/// Currency: a 64-bit integer holding the amount times 10000.
struct CY {
  int64_t int64;
};

struct SAFEARRAY;

enum VarTypeCode : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct VARIANT {
  VARTYPE vt;
  uint16_t wReserved1;
  uint16_t wReserved2;
  uint16_t wReserved3;
  union {
    int16_t iVal;
    int32_t lVal;
    float fltVal;
    double dblVal;
    CY cyVal;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    SCODE scode;
    VARIANT_BOOL boolVal;
    uint8_t bVal;
    int16_t* piVal;
    int32_t* plVal;
    float* pfltVal;
    double* pdblVal;
    CY* pcyVal;
    DATE* pdate;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    SAFEARRAY** pparray;
    SCODE* pscode;
    VARIANT_BOOL* pboolVal;
    uint8_t* pbVal;
    VARIANT* pvarVal;
    void* byref;
    int64_t llVal;
  };
};

inline void VariantInit(VARIANT* value) {
  value->vt = VT_EMPTY;
  value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
  value->llVal = 0;
}
/// Releases what the variant owns and leaves it Empty.
HRESULT VariantClear(VARIANT* value);
/// Deep copy: strings and arrays are duplicated, objects AddRef'ed; a by-reference variant is
/// copied as the same reference. E_OUTOFMEMORY leaves `target` Empty.
HRESULT VariantCopy(VARIANT* target, const VARIANT* source);
/// As VariantCopy, but a by-reference source is copied as the value it points at.
HRESULT VariantCopyInd(VARIANT* target, const VARIANT* source);

/// PeekValue for a by-reference variant: the value at the end of its references.
VARIANT PeekReferencedValue(const VARIANT& value);

/// The value a variant stands for, by-reference levels removed, as a borrowed shallow copy:
/// it owns nothing and must never be cleared.
inline VARIANT PeekValue(const VARIANT& value) {
  if ((value.vt & VT_BYREF) == 0) return value;
  return PeekReferencedValue(value);
}

/// Whether clearing the variant has anything to release (a string, object or array it owns).
inline bool OwnsResources(VARTYPE type) {
  if ((type & VT_BYREF) != 0) return false;
  return type == VT_BSTR || type == VT_DISPATCH || type == VT_UNKNOWN || (type & VT_ARRAY) != 0;
}

/// Owns one VARIANT.
class Variant : public VARIANT {
 public:
  Variant() {
    vt = VT_EMPTY;
    wReserved1 = wReserved2 = wReserved3 = 0;
    llVal = 0;
  }
  Variant(const Variant& other);
  explicit Variant(const VARIANT& other);
  Variant(Variant&& other) noexcept : VARIANT(other) { VariantInit(&other); }
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      if (OwnsResources(vt)) VariantClear(this);
      static_cast<VARIANT&>(*this) = other;
      VariantInit(&other);
    }
    return *this;
  }
  ~Variant() {
    if (OwnsResources(vt)) VariantClear(this);
  }

  static Variant Null();
  /// A missing optional argument: VT_ERROR with DISP_E_PARAMNOTFOUND.
  static Variant Missing();
  static Variant FromError(SCODE code);
  static Variant FromI2(int16_t value) {
    Variant result;
    result.vt = VT_I2;
    result.iVal = value;
    return result;
  }
  static Variant FromI4(int32_t value) {
    Variant result;
    result.vt = VT_I4;
    result.lVal = value;
    return result;
  }
  static Variant FromR4(float value);
  static Variant FromR8(double value) {
    Variant result;
    result.vt = VT_R8;
    result.dblVal = value;
    return result;
  }
  static Variant FromBool(bool value);
  static Variant FromByte(uint8_t value);
  static Variant FromCurrency(CY value);
  static Variant FromDate(DATE value) {
    Variant result;
    result.vt = VT_DATE;
    result.date = value;
    return result;
  }
  static Variant FromString(std::u16string_view text);
  /// Takes ownership of the string.
  static Variant FromBstr(Bstr text);
  /// Holds a new reference (AddRef); a null pointer makes `Nothing`.
  static Variant FromDispatch(IDispatch* object);
  static Variant FromUnknown(IUnknown* object);
  /// Takes ownership of an array whose elements are of type `element_type`.
  static Variant FromArray(VARTYPE element_type, SAFEARRAY* array);
  /// A reference to another variant's storage (VT_BYREF | VT_VARIANT).
  static Variant RefTo(VARIANT* target);

  VARTYPE Type() const { return vt; }
  bool IsEmpty() const { return vt == VT_EMPTY; }
  bool IsNull() const { return vt == VT_NULL; }
  bool IsByRef() const { return (vt & VT_BYREF) != 0; }
  bool IsArray() const { return (vt & VT_ARRAY) != 0; }
  bool IsMissing() const;

  /// The string of a VT_BSTR variant (no conversion).
  std::u16string_view StringView() const;

  /// Gives up ownership of the contents, leaving this Empty.
  VARIANT Detach();
  /// Replaces the contents with `value`, taking ownership of what it holds.
  void Attach(VARIANT value);
  void Clear() { VariantClear(this); }
};

inline void swap(Variant& a, Variant& b) noexcept {
  VARIANT temporary = a;
  static_cast<VARIANT&>(a) = b;
  static_cast<VARIANT&>(b) = temporary;
}
