#pragma once
// ASP.NET requests: their extensions, and the error page that answers them while no .NET
// module can be created.

#include <string>
#include <string_view>

#include "wendrel/common/server_file_kinds.h"

class Response;

/// The .NET error page with its source and description filled in (both HTML-escaped).
std::string DotNetErrorPage(std::string_view source, std::string_view description);

/// Answers a request whose .NET module cannot be created: status 500 and the error page.
void AnswerDotNetUnavailable(Response& response);
