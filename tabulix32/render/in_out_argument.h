#pragma once
// An argument a render method updates in place (linkClause, key, groupdescr, ...). Passed by
// reference, every update reaches the caller's variable at once, so that it stays updated when
// the method fails later; passed by value, the update holds for the rest of the call only.

#include <cstddef>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/com/dispatch_object.h"

class InOutArgument {
 public:
  InOutArgument(const DispatchArguments& arguments, size_t position);

  /// The current value (by-reference levels kept; read it with PeekValue or the conversions).
  const VARIANT& value() const;

  /// The argument to hand to a utilities member that may write to it: the caller's variable
  /// when it was passed by reference, else this call's copy.
  VARIANT Reference();

  /// Assigns a new value.
  Result<void> Set(const VARIANT& value);

 private:
  const DispatchArguments& arguments_;
  size_t position_;
  bool by_reference_;
  Variant local_;  // the value of a by-value argument
};
