#pragma once
// What runs for a command: the SQL of a command text of a CommandTypeEnum, and the single table
// a record set's source reads (what its edits write to).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/ado/odbc_session.h"

enum AdoCommandType : int32_t {
  adCmdUnspecified = -1, adCmdText = 1, adCmdTable = 2, adCmdStoredProc = 4,
  adCmdUnknown = 8, adCmdFile = 256, adCmdTableDirect = 512,
};
enum AdoExecuteOption : int32_t { adExecuteNoRecords = 0x80 };

/// The SQL of a command: the text itself; "SELECT * FROM name" for a table;
/// "{call name}" (with a "?" per parameter) for a stored procedure. The option bits above the
/// command type (adExecuteNoRecords, ...) are ignored here.
std::u16string CommandSql(std::u16string_view text, int32_t options, size_t parameter_count);

/// The table a simple source reads: the name of a table command, or the table of
/// "SELECT ... FROM table [WHERE|ORDER BY|GROUP BY|LIMIT ...]" without joins or a second table.
/// Empty when there is none (the record set then refuses edits).
std::u16string SingleSourceTable(std::u16string_view sql, int32_t options);

/// The values, ADO types and sizes of a statement's parameters.
struct BoundParameters {
  std::vector<Variant> values;
  std::vector<int32_t> types;
  std::vector<int32_t> sizes;
};

/// Prepares, binds and executes a command on a connection.
Result<std::unique_ptr<OdbcStatement>> ExecuteCommand(std::shared_ptr<OdbcConnection> connection,
                                                      std::u16string_view text, int32_t options,
                                                      const BoundParameters& parameters,
                                                      int32_t timeout_seconds);
