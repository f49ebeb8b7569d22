#pragma once
// GUIDs in their registry text form: braces and upper-case hexadecimal,
// "{00020400-0000-0000-C000-000000000046}".

#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/ole_interfaces.h"

/// The registry form of a GUID.
std::u16string GuidToString(const GUID& guid);
/// Parses the registry form (either case of hexadecimal, braces required); nothing for any
/// other text.
std::optional<GUID> GuidFromString(std::u16string_view text);
/// CLSIDFromString: CO_E_CLASSSTRING for a text that is not a GUID.
HRESULT CLSIDFromString(std::u16string_view text, CLSID* clsid);
