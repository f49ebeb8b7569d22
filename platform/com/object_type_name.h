#pragma once
// The class name an object gives for TypeName ("Dictionary", a script class's name). Objects
// built on DispatchObject answer it; any other object is an "Object".

#include <string>
#include <string_view>

#include "platform/automation/ole_interfaces.h"

inline constexpr IID IID_IObjectTypeName = {0x6E0B44A2, 0x3C1D, 0x4F58, {0xA4, 0x17, 0x2B, 0x90, 0x5E, 0x61, 0x0C, 0x3D}};

class IObjectTypeName : public IUnknown {
 public:
  virtual std::u16string_view TypeName() = 0;

 protected:
  ~IObjectTypeName() = default;
};

/// "Nothing" for a null pointer, the object's own name when it tells one, else "Object".
std::u16string ObjectTypeName(IUnknown* object);
