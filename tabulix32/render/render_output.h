#pragma once
// Where a render method's HTML goes: the page's `sb`. A StringBuffer of this library is
// appended to directly; any other object with an "append" member is called through dispatch
// with each piece. The buffer is looked up at the first piece, so a method that writes nothing
// never touches it.

#include <string>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"

class StringBuffer;

class RenderOutput {
 public:
  /// `sb` is the method's argument; it must outlive this object.
  explicit RenderOutput(const VARIANT& sb) : sb_(sb) {}

  /// sb.append(piece): a piece that is empty or only spaces adds nothing (append's own rule).
  /// Fails with the buffer's error, or 424 / 91 when `sb` holds no object.
  Result<void> Write(std::u16string_view piece);

  /// Writes the pieces joined, as one append.
  Result<void> Write(std::initializer_list<std::u16string_view> pieces);

 private:
  Result<void> Resolve();

  const VARIANT& sb_;
  bool resolved_ = false;
  StringBuffer* direct_ = nullptr;
  ComPtr<IDispatch> object_;
  DISPID append_ = 0;
  std::u16string scratch_;  // the joined pieces, reused
};
