#pragma once
// IEnumVARIANT, what For Each walks, and an enumerator over a snapshot of values.

#include <atomic>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"

inline constexpr IID IID_IEnumVARIANT = {
    0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IEnumVARIANT : public IUnknown {
 public:
  /// Copies up to `count` next values into `values`; S_FALSE when fewer were left.
  virtual HRESULT Next(ULONG count, VARIANT* values, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumVARIANT** copy) = 0;

 protected:
  ~IEnumVARIANT() = default;
};

/// An enumerator over the values given at creation (later changes to the collection do not
/// show). The returned pointer owns the first reference, as a VT_UNKNOWN for _NewEnum.
ComPtr<IEnumVARIANT> CreateValueEnumerator(std::vector<Variant> values);
/// The _NewEnum result of a collection: the enumerator as a VT_UNKNOWN variant.
Variant EnumeratorVariant(std::vector<Variant> values);
