#pragma once
// Script values handed to the host: a function or object of a run as an IDispatch.
//
//   Invoke(DISPID_VALUE, METHOD)   calls the function (GetRef-style callbacks)
//   Invoke(DISPID_VALUE, GET)      the value's default: the function's result when it is one
//                                  and arguments are given, else its text
//   GetIDsOfNames(name)            any name; Invoke reads, writes or calls that property
//   Invoke(DISPID_NEWENUM)         an enumerator over an array's elements (For Each)
// The object keeps its value alive until released or until the run ends; afterwards calls
// fail with "Can't execute code from a freed script". TypeName gives "JScriptTypeInfo".

#include <cstdint>
#include <memory>

#include "platform/com/com_ptr.h"

namespace jscript {

struct RuntimeLink;

/// The script object of the value a run keeps under `key`.
ComPtr<IDispatch> CreateScriptObject(std::shared_ptr<RuntimeLink> link, uint32_t key);

/// The key `object` holds when it is a script object of the run of `link`; 0 otherwise.
uint32_t ScriptObjectKey(IDispatch* object, const RuntimeLink* link);

}  // namespace jscript
