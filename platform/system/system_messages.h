#pragma once
// The system's message text for a result code, as hosts show it beside a failure (the .NET
// bridge's error page names the code a module returned this way).

#include <string>

#include "platform/automation/hresult.h"

/// The text of a known code; "Unknown error 0x%08X" for any other.
std::string SystemMessageText(HRESULT code);
