#pragma once
// A shorter way into an object's members for callers in this process: the arguments first
// first, as a script engine holds them, with no DISPPARAMS to build and take apart. Objects
// built on DispatchObject answer it; any other object is called through IDispatch. The rules
// (member lookup, argument counts, errors, by-reference arguments) are Invoke's.

#include "platform/automation/ole_interfaces.h"

inline constexpr IID IID_IDirectInvoke = {0x3F1C7A52, 0x8E2B, 0x4D61, {0x9B, 0x07, 0x5A, 0xC4, 0x12, 0xE8, 0x6F, 0x91}};

class IDirectInvoke : public IUnknown {
 public:
  /// Invoke with `arguments[0 .. count)` in order; a put's value is the last one. The
  /// arguments are the caller's and stay so.
  virtual HRESULT InvokeDirect(DISPID member, WORD flags, VARIANT* arguments, UINT count,
                               VARIANT* result, EXCEPINFO* exception) = 0;

 protected:
  ~IDirectInvoke() = default;
};
