#pragma once
// Late-bound calls on objects through IDispatch, and the reading of a failed call's exception
// back into an Error. Every caller of an object's members goes through here.

#include <initializer_list>
#include <span>
#include <string_view>

#include "platform/automation/direct_invoke.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"

/// The dispatch identifier of a member name; ObjectDoesNotSupportMember (438) when the object
/// has none, ObjectVariableNotSet (91) for Nothing.
Result<DISPID> GetDispatchId(IDispatch* object, std::u16string_view name);

/// Invoke with the arguments first-first (they are passed as they are: a by-reference
/// argument lets the callee write back). For DISPATCH_PROPERTYPUT / PUTREF the last argument
/// is the assigned value. A failure becomes the object's own error (DISP_E_EXCEPTION) or the
/// number of the platform code (438, 450, 13, ...).
Result<Variant> InvokeDispatch(IDispatch* object, DISPID member, WORD flags,
                               std::span<const VARIANT> arguments = {});
/// The same through an object's IDirectInvoke: the arguments in order, no DISPPARAMS.
Result<Variant> InvokeDirectly(IDirectInvoke* object, DISPID member, WORD flags,
                               std::span<VARIANT> arguments);

/// By name: a method call or property read (DISPATCH_METHOD | DISPATCH_PROPERTYGET).
Result<Variant> CallMember(IDispatch* object, std::u16string_view name,
                           std::span<const VARIANT> arguments = {});
/// By name: assigns `value` to a property with optional index arguments.
Result<void> PutMember(IDispatch* object, std::u16string_view name,
                       std::span<const VARIANT> indices, const VARIANT& value);

/// The Error a failed Invoke reported: the exception's code (or its error number) with its
/// description and source for DISP_E_EXCEPTION, else the HRESULT. Frees the strings of
/// `exception`.
Error ErrorFromInvoke(HRESULT hr, EXCEPINFO& exception);
