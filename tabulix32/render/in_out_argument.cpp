// Arguments a render method updates in place (see in_out_argument.h).
#include "tabulix32/render/in_out_argument.h"

InOutArgument::InOutArgument(const DispatchArguments& arguments, size_t position)
    : arguments_(arguments),
      position_(position),
      by_reference_((arguments[position].vt & VT_BYREF) != 0) {
  if (!by_reference_) local_ = Variant(PeekValue(arguments[position]));
}

const VARIANT& InOutArgument::value() const {
  return by_reference_ ? arguments_[position_] : local_;
}

VARIANT InOutArgument::Reference() {
  if (by_reference_) return arguments_[position_];
  return Variant::RefTo(&local_);
}

Result<void> InOutArgument::Set(const VARIANT& value) {
  if (by_reference_) return arguments_.Assign(position_, value);
  Variant copy;
  if (FAILED(VariantCopyInd(&copy, &value))) return ErrorNumber::OutOfMemory;
  local_ = std::move(copy);
  return {};
}
