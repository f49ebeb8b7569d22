#pragma once
// The RegExp class as the script engine creates it for `New RegExp` (see regexp.h).

#include "platform/automation/ole_interfaces.h"
#include "platform/com/com_ptr.h"

/// A new RegExp object with an empty pattern and every switch False, owned by the returned
/// pointer.
ComPtr<IDispatch> CreateRegExp();
