#pragma once
// Native functions the engine gives scripts. Duktape is built to raise errors as C++
// exceptions, so a native function may hold RAII values while it calls Duktape; running out of
// C++ memory inside one becomes the script error "Out of memory".

#include <new>

#include "duktape.h"
#include "platform/jscript/script_errors.h"

namespace jscript {

template <duk_ret_t (*Body)(duk_context*)>
duk_ret_t Guarded(duk_context* ctx) {
  try {
    return Body(ctx);
  } catch (const std::bad_alloc&) {
    ThrowScriptError(ctx, JScriptError::OutOfMemory);
  }
}

/// Pushes a native function (arguments as given: `argument_count`, or DUK_VARARGS).
template <duk_ret_t (*Body)(duk_context*)>
void PushNative(duk_context* ctx, duk_idx_t argument_count) {
  duk_push_c_function(ctx, &Guarded<Body>, argument_count);
}

/// Defines a native function as a property (writable, configurable, not enumerable, as the
/// built-in methods are) of the object at `object_index`.
template <duk_ret_t (*Body)(duk_context*)>
void DefineNative(duk_context* ctx, duk_idx_t object_index, const char* name, duk_idx_t argument_count) {
  object_index = duk_normalize_index(ctx, object_index);
  duk_push_string(ctx, name);
  PushNative<Body>(ctx, argument_count);
  duk_def_prop(ctx, object_index,
               DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE |
                   DUK_DEFPROP_CLEAR_ENUMERABLE);
}

}  // namespace jscript
