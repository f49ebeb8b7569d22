#include "wendrel/common/callback_address.h"

#include "platform/automation/conversion.h"

Result<int64_t> CallbackAddressOf(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_I8 || shallow.vt == VT_UI8) return shallow.llVal;
  if (shallow.vt == VT_EMPTY || shallow.vt == VT_ERROR) return int64_t{0};
  return int64_t{TRY(ToInt32(shallow))};
}
