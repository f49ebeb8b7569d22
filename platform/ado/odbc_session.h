#pragma once
// Connections and statements of the driver manager, as the ADO objects use them. Every call
// that fails reads the driver's diagnostics into the connection's error list (what the
// Connection's Errors collection shows) and returns the provider error.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/ado/ado_error.h"
#include "platform/ado/connection_string.h"
#include "platform/ado/data_types.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/system/odbc_driver_manager.h"

class OdbcStatement;

/// The errors of one Connection object, shared with the record sets and commands using it.
using ProviderErrors = std::shared_ptr<std::vector<ProviderDiagnostic>>;

/// The longest text or binary value read from one cell: past it the fetch fails (the script
/// strings and arrays could not hold it anyway).
inline constexpr size_t kMaxCellBytes = size_t{128} << 20;

/// Diagnostic records of a handle (the first 16), numbered `number`.
std::vector<ProviderDiagnostic> ReadDiagnostics(const odbc::DriverManager& calls,
                                                int16_t handle_type, odbc::SqlHandle handle,
                                                HRESULT number);

/// An open ODBC connection. Closing gives it back to the pool (when pooled) or disconnects it.
class OdbcConnection {
 public:
  /// Connects (or takes a pooled connection of the same string). Failures are stored in
  /// `errors` and returned as the provider error (E_FAIL, "[SQLSTATE] message").
  static Result<std::shared_ptr<OdbcConnection>> Open(const OdbcTarget& target,
                                                      int32_t login_timeout_seconds,
                                                      ProviderErrors errors);
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  void Close();
  bool is_open() const { return handle_ != nullptr; }
  odbc::SqlHandle handle() const { return handle_; }
  const odbc::DriverManager& calls() const { return calls_; }
  const ProviderErrors& errors() const { return errors_; }

  /// Starts (auto-commit off) or ends (commit or roll back, auto-commit on) a transaction.
  Result<void> BeginTransaction();
  Result<void> EndTransaction(bool commit);
  bool in_transaction() const { return in_transaction_; }

  /// The provider error of a failed call on `handle` (this connection or one of its
  /// statements), its diagnostics stored in the error list.
  Error Failure(HRESULT number, int16_t handle_type, odbc::SqlHandle handle,
                std::u16string_view fallback_text);

  /// Statements register themselves, so that closing the connection frees them first (a pooled
  /// connection must not carry another page's statements).
  void Register(OdbcStatement* statement);
  void Unregister(OdbcStatement* statement);

 private:
  OdbcConnection(const odbc::DriverManager& calls, odbc::SqlHandle handle, OdbcTarget target,
                 ProviderErrors errors);

  const odbc::DriverManager& calls_;
  odbc::SqlHandle handle_;
  OdbcTarget target_;
  ProviderErrors errors_;
  bool in_transaction_ = false;
  std::vector<OdbcStatement*> statements_;
};

/// One statement on a connection: prepared, its parameters bound, executed, its results read.
class OdbcStatement {
 public:
  static Result<std::unique_ptr<OdbcStatement>> Create(std::shared_ptr<OdbcConnection> connection);
  ~OdbcStatement();
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;

  /// Sets the query time-out in seconds (0: none); drivers that lack one ignore it.
  void SetTimeout(int32_t seconds);
  Result<void> Prepare(std::u16string_view sql);
  /// Binds the values as ODBC parameters (never as SQL text), each converted to its ADO type
  /// (adEmpty: its own). The values are copied: the statement owns its buffers.
  Result<void> BindParameters(std::span<const Variant> values, std::span<const int32_t> types,
                              std::span<const int32_t> sizes);
  /// Executes the prepared statement and describes its first result.
  Result<void> Execute();

  /// The columns of the current result; empty when it has no rows (an INSERT, ...).
  const std::vector<ColumnInfo>& columns() const { return columns_; }
  /// Rows the last statement changed (-1 when the driver does not say).
  int64_t rows_affected() const { return rows_affected_; }
  /// Fetches the next row, appending one value per column to `cells`; false at the end.
  Result<bool> FetchRow(std::vector<Variant>& cells);
  /// Moves to the next result of a batch; false when there is none.
  Result<bool> NextResult();
  /// Closes the cursor so that the statement can be executed again.
  void CloseCursor();
  const std::shared_ptr<OdbcConnection>& connection() const { return connection_; }
  /// Frees the handle; later calls fail with ObjectClosed (3704). Used when the connection
  /// closes under the statement.
  void Detach();

 private:
  Result<void> CheckOpen() const;
  OdbcStatement(std::shared_ptr<OdbcConnection> connection, odbc::SqlHandle handle);
  Result<void> DescribeResult();
  Error Failure(HRESULT number, std::u16string_view fallback_text = u"");
  Result<Variant> ReadCell(uint16_t column, const ColumnInfo& info);
  Result<Variant> ReadText(uint16_t column, FetchKind fetch);
  Result<Variant> ReadBinary(uint16_t column);
  Result<Variant> ReadFixed(uint16_t column, const ColumnInfo& info);

  std::shared_ptr<OdbcConnection> connection_;
  odbc::SqlHandle handle_;
  std::vector<ColumnInfo> columns_;
  std::vector<std::unique_ptr<ParameterBuffer>> parameters_;
  int64_t rows_affected_ = -1;
};
