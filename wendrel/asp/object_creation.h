#pragma once
// Objects pages ask for by class: Server.CreateObject and the objects OBJECT tags declare.

#include <optional>
#include <string_view>

#include "platform/com/com_ptr.h"
#include "platform/com/guid.h"

/// The class a text names: "{...}" or "clsid:..." (an OBJECT tag's CLASSID) is a class
/// identifier, anything else a ProgID. Nothing when it names no registered class.
std::optional<CLSID> ClassNamedBy(std::u16string_view text);

/// A new object of the class for scripts: created for IDispatch; failing that through the class
/// factory, then as IUnknown asked for IDispatch, then for IDispatch once more. Null when every
/// way fails.
ComPtr<IDispatch> CreateScriptObject(const CLSID& clsid);
