#pragma once
// Connection strings: ADO's "key=value;..." form read, and turned into the ODBC connection
// string the driver manager is given. Connection strings come from pages: every value is
// re-quoted when the ODBC string is written, so no value can add a keyword of its own.
//
// Providers (the Provider key or property, ignoring case and a ".n" version suffix):
// - none, "MSDASQL": ODBC itself. "Data Source" is the DSN, "User ID" / "Password" are UID /
//   PWD, "Initial Catalog" is Database, "Extended Properties" holds ODBC pairs that are taken
//   as they are (DSN=...;Driver={...};...). Any other key passes to the driver.
// - "SQLite", "SQLite3", "SQLiteOLEDB": the SQLite ODBC driver ("SQLite3"); "Data Source" is
//   the database file ('\' read as '/').
// - "PostgreSQL", "PostgreSQL OLE DB Provider", "PGNP": the PostgreSQL ODBC driver
//   ("PostgreSQL Unicode", with Booleans read as bits); "Data Source" is the host, "Location" or
//   "Initial Catalog" the database, "Port" the port.
// - any other: ProviderNotFound (3706).
// Text without '=' is the Data Source. With no provider, such text naming a file (it holds a
// '/' or '\', or ends in .db, .db3, .sqlite or .sqlite3) is a SQLite database, else a DSN.
// "OLE DB Services" is read for pooling (bit 0 clear: no pooling, as -2 and -4 say) and
// dropped, as are "Provider", "Persist Security Info" and "Connect Timeout" (the login time).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/result.h"

/// The longest connection string accepted, in characters (the ODBC call takes 16-bit lengths).
inline constexpr size_t kMaxConnectionStringLength = 8192;

struct ConnectionProperty {
  std::u16string key;    // trimmed, as written
  std::u16string value;  // unquoted
};

/// Reads "key=value;key=value". Keys are trimmed; a value is trimmed unless quoted in '"' or
/// '\'' (the quote doubled inside) or in braces ('}' doubled inside); empty pieces are skipped.
/// A string without '=' is one "Data Source". kDbBadInitString for an unterminated quote, a
/// key with no '=', a key holding one of []{}(),;?*=!@, or a text past the limit.
Result<std::vector<ConnectionProperty>> ParseConnectionString(std::u16string_view text);

/// Where a connection goes.
struct OdbcTarget {
  std::u16string connection_string;  // for SQLDriverConnect; also the pool's key
  bool pooled = true;
  std::optional<int32_t> login_timeout;  // seconds, from "Connect Timeout"
};

/// Maps an ADO connection string (with the Provider property and Open's user and password
/// arguments, empty when not given) to ODBC.
Result<OdbcTarget> MapConnectionString(std::u16string_view text, std::u16string_view provider,
                                       std::u16string_view user, std::u16string_view password);

/// Writes one ODBC pair, quoting the value in braces when it needs them.
void AppendOdbcPair(std::u16string& target, std::u16string_view key, std::u16string_view value);
