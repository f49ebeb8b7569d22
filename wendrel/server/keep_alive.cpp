#include "wendrel/server/keep_alive.h"

#include "wendrel/common/byte_string.h"
#include "wendrel/common/narrow_text.h"

bool ShouldKeepConnection(std::string_view connection_value, std::string_view protocol,
                          bool always_close_connection) {
  if (StartsWithIgnoringCase(connection_value, "CLOSE")) return false;
  if (always_close_connection) return false;
  if (!connection_value.empty()) return true;
  bool http1 = StartsWithIgnoringCase(protocol, "HTTP/1");
  if (http1 && protocol.size() > 7 && protocol[7] < '1') return false;  // HTTP/1.0
  if (StartsWithIgnoringCase(protocol, "HTTP/2")) return false;
  return true;
}
