#pragma once
// Whether a connection stays open after the response, from the request's Connection value and
// protocol and the server's AlwaysCloseConnection.

#include <string_view>

/// "close..." (any case) closes; AlwaysCloseConnection closes; without a value HTTP/1.0 and
/// HTTP/2 close and everything else (HTTP/1.1) stays open; any other value stays open.
bool ShouldKeepConnection(std::string_view connection_value, std::string_view protocol,
                          bool always_close_connection);
