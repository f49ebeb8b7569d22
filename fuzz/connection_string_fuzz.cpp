// A connection string as a page gives it: read, mapped to ODBC, and the ODBC string read back.
// The mapping must never let a value become a keyword: every key of the ODBC string is one the
// mapping writes or a key of the input.
#include <cstdint>
#include <string>

#include "platform/ado/connection_string.h"
#include "platform/system/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = BytesToText(std::string_view(reinterpret_cast<const char*>(data), size), CP_UTF8);
  Result<OdbcTarget> target = MapConnectionString(text, u"", u"", u"");
  if (!target.ok()) return 0;
  // The ODBC string reads back as pairs, each value braced or plain.
  Result<std::vector<ConnectionProperty>> pairs = ParseConnectionString(target.value().connection_string);
  if (!pairs.ok()) __builtin_trap();
  Result<std::vector<ConnectionProperty>> given = ParseConnectionString(text);
  for (const ConnectionProperty& pair : pairs.value()) {
    bool known = pair.key == u"Driver" || pair.key == u"BoolsAsChar" || pair.key == u"DSN" ||
                 pair.key == u"UID" || pair.key == u"PWD" || pair.key == u"Database" ||
                 pair.key == u"Server";
    for (const ConnectionProperty& input : given.value()) known = known || input.key == pair.key;
    // Extended Properties' own pairs are keys of the input too, one level down.
    if (!known && text.find(pair.key) == std::u16string::npos) __builtin_trap();
  }
  return 0;
}
