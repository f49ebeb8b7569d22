#pragma once
// Host objects in scripts: an IDispatch appears as a Proxy over a native function.
//
//   o.Name          reads the property (DISPATCH_PROPERTYGET); a member that wants arguments
//                   reads as a function that calls it
//   o.Name(a, b)    calls the member (DISPATCH_METHOD | DISPATCH_PROPERTYGET); when the member
//                   takes no arguments they go to its value (its default member, or an index
//                   into an array), as in Request.Form("x") where Form is a collection
//   o(a, b)         calls the default member (Request("x"), Session("x"))
//   o.Name = v      assigns (DISPATCH_PROPERTYPUT, or PUTREF for an object value)
//   "Name" in o     whether the object knows the name
//   "" + o, o == x  the default member's value
// Whether a member is read for a call or for its value is told by the instruction that reads
// it (see IsReadForCall), as JScript tells methods from properties.
//
// Failures of the host raise Error objects carrying its number and description; a host call
// that returns SCRIPT_E_STOP_WITHOUT_ERROR (Response.End) ends the run.

#include <span>
#include <string_view>

#include "duktape.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"

namespace jscript {

/// Installs host-object support into a new heap: the Proxy handler, the valueOf and toString
/// of host objects, and the helpers of assignments to calls (__jscriptPutMember and
/// __jscriptPutDefault, see call_assignment.h).
void InstallHostBridge(duk_context* ctx);

/// Pushes the script object of `object` (not null).
void PushHostObject(duk_context* ctx, IDispatch* object);
/// The host object the script value at `index` stands for (borrowed); null for other values.
IDispatch* HostObjectAt(duk_context* ctx, duk_idx_t index);

/// Reads a member for its value and pushes it: the property's value, or for a member that
/// needs arguments a function calling it on `object`.
void PushMemberValue(duk_context* ctx, IDispatch* object, DISPID member);
/// Pushes the function a call of `member` on `object` is made through.
void PushBoundMember(duk_context* ctx, IDispatch* object, DISPID member);

/// A method call (or a read of a property with arguments), as the script makes it.
Result<Variant> CallHostMember(IDispatch* object, DISPID member, std::span<const VARIANT> arguments);
/// An assignment to a member with index arguments, as the script makes it.
Result<void> PutHostMember(IDispatch* object, DISPID member, std::span<const VARIANT> indices,
                           const VARIANT& value);

}  // namespace jscript
