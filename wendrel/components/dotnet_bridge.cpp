#include "wendrel/components/dotnet_bridge.h"

#include "platform/automation/dispatch_call.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/html_text.h"
#include "wendrel/server/response.h"

namespace {

constexpr std::string_view kErrorPage =
    "<html>\n    <head>\n        <title>Internal error while executing .NET code.</title>\n"
    "<style>\n\tbody {font-family:'Verdana';font-weight:normal;font-size: .7em;color:black;}\n"
    "\tp {font-family:'Verdana';font-weight:normal;color:black;margin-top: -5px}\n"
    "\tb {font-family:'Verdana';font-weight:bold;color:black;margin-top: -5px}\n"
    "\tH1 { font-family:'Verdana';font-weight:normal;font-size:18pt;color:red }\n"
    "\tH2 { font-family:'Verdana';font-weight:normal;font-size:14pt;color:maroon }\n"
    " \tpre {font-family:'Lucida Console';font-size: .9em}\n"
    "\t.marker {font-weight: bold; color: black;text-decoration: none;}\n"
    "\t.version {color: gray;}\n \t.error {margin-bottom: 10px;}\n"
    "\t.expandable { text-decoration:underline; font-weight:bold; color:navy; cursor:hand; }\n"
    "</style>\n</head>\n\n<body bgcolor='white'>\n\n <span><H1>Internal error while executing "
    ".NET code<hr width=100% size=1 color=silver></H1>\n\n <h2> <i>{ERROR_SOURCE}</i> "
    "</h2></span>\n\n<font face='Arial, Helvetica, Geneva, SunSans-Regular, sans-serif'>\n\n"
    "<b> Description: </b>{ERROR_DESCRIPTION}\n\n<br><br>\n\n<hr width=100% size=1 "
    "color=silver>\n\n</font>\n\n</body>\n</html>";

constexpr std::string_view kCannotCreateSource = "Cannot create the server";
constexpr std::string_view kCannotCreateDescription =
    "Unable to create the .NET process; the .NET page cannot be processed";
constexpr int32_t kInternalErrorCode = 500;

void ReplaceOnce(std::string& text, std::string_view placeholder, std::string_view value) {
  size_t at = text.find(placeholder);
  if (at != std::string::npos) text.replace(at, placeholder.size(), value);
}

}  // namespace

std::string DotNetErrorPage(std::string_view source, std::string_view description) {
  std::string page(kErrorPage);
  ReplaceOnce(page, "{ERROR_SOURCE}", HtmlEscaped(source));
  ReplaceOnce(page, "{ERROR_DESCRIPTION}", HtmlEscaped(description));
  return page;
}

void AnswerDotNetUnavailable(Response& response) {
  response.SetStatusCode(kInternalErrorCode);
  (void)response.SetBody(DotNetErrorPage(kCannotCreateSource, kCannotCreateDescription));
}
