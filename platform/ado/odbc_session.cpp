#include "platform/ado/odbc_session.h"

#include <array>
#include <chrono>
#include <mutex>
#include <optional>

#include "platform/ado/connection_pool.h"
#include "platform/automation/date_time.h"
#include "platform/automation/safearray.h"

namespace {

constexpr int16_t kMaxDiagnostics = 16;
constexpr int16_t kDiagnosticTextCapacity = 1024;
// Text is read in pieces of this many characters.
constexpr size_t kTextPiece = 2048;

Error NoDriverManager() {
  return Error::FromHresult(E_FAIL,
                            u"The ODBC driver manager (libodbc.so.2) cannot be loaded.",
                            std::u16string(kProviderSource));
}

// The process's ODBC 3 environment, allocated at first use and never freed (connections in the
// pool outlive every object).
odbc::SqlHandle SharedEnvironment(const odbc::DriverManager& calls) {
  static const odbc::SqlHandle environment = [&calls]() -> odbc::SqlHandle {
    odbc::SqlHandle handle = nullptr;
    if (!odbc::Succeeded(calls.AllocHandle(odbc::kHandleEnvironment, nullptr, &handle))) return nullptr;
    void* version = reinterpret_cast<void*>(odbc::kOdbcVersion3);
    if (!odbc::Succeeded(calls.SetEnvAttr(handle, odbc::kAttributeOdbcVersion, version, 0))) {
      calls.FreeHandle(odbc::kHandleEnvironment, handle);
      return nullptr;
    }
    return handle;
  }();
  return environment;
}

// Not every driver survives connections being made and dropped in several threads at once (the
// SQLite driver crashed inside its connect under load without the pool), so connecting and
// disconnecting take turns across the process; statements on open connections run freely.
std::mutex& DriverLifetimeMutex() {
  static std::mutex* const mutex = new std::mutex;  // never destroyed: used until exit
  return *mutex;
}

void DisconnectHandle(const odbc::DriverManager& calls, odbc::SqlHandle connection) {
  std::lock_guard lock(DriverLifetimeMutex());
  calls.Disconnect(connection);
  calls.FreeHandle(odbc::kHandleConnection, connection);
}

// What the shared pool does with real connections. Without a driver manager no connection
// exists, so none reaches it.
class DriverPoolOperations final : public ConnectionPool::Operations {
 public:
  explicit DriverPoolOperations(const odbc::DriverManager* calls) : calls_(calls) {}
  void Disconnect(odbc::SqlHandle connection) override {
    if (calls_ != nullptr) DisconnectHandle(*calls_, connection);
  }
  bool Reset(odbc::SqlHandle connection) override {
    if (calls_ == nullptr) return false;
    // Whatever a page left open is rolled back, and auto-commit is restored.
    calls_->EndTran(odbc::kHandleConnection, connection, odbc::kRollback);
    void* on = reinterpret_cast<void*>(odbc::kAutocommitOn);
    return odbc::Succeeded(calls_->SetConnectAttrW(connection, odbc::kAttributeAutocommit, on, 0));
  }
  bool IsAlive(odbc::SqlHandle connection) override {
    if (calls_ == nullptr) return false;
    uint32_t dead = 0;
    odbc::SqlReturn code = calls_->GetConnectAttrW(connection, odbc::kAttributeConnectionDead,
                                                   &dead, sizeof(dead), nullptr);
    // A driver that cannot tell is taken at its word that the connection works.
    return !odbc::Succeeded(code) || dead != odbc::kConnectionDead;
  }

 private:
  const odbc::DriverManager* calls_;
};

int64_t MonotonicMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

ConnectionPool& SharedConnectionPool() {
  // Created with the driver manager it serves; never destroyed (connections may still be out
  // when the process exits, and the driver manager outlives every module).
  static DriverPoolOperations* operations = new DriverPoolOperations(odbc::LoadDriverManager());
  static ConnectionPool* pool =
      new ConnectionPool(*operations, ConnectionPoolLimits{}, &MonotonicMilliseconds);
  return *pool;
}

std::vector<ProviderDiagnostic> ReadDiagnostics(const odbc::DriverManager& calls,
                                                int16_t handle_type, odbc::SqlHandle handle,
                                                HRESULT number) {
  std::vector<ProviderDiagnostic> diagnostics;
  for (int16_t record = 1; record <= kMaxDiagnostics; ++record) {
    std::array<char16_t, 6> state{};
    std::array<char16_t, kDiagnosticTextCapacity> message{};
    int32_t native = 0;
    int16_t length = 0;
    odbc::SqlReturn code = calls.GetDiagRecW(handle_type, handle, record, state.data(), &native,
                                             message.data(), kDiagnosticTextCapacity, &length);
    if (!odbc::Succeeded(code)) break;
    size_t used = std::min<size_t>(std::max<int16_t>(length, 0), kDiagnosticTextCapacity - 1);
    ProviderDiagnostic diagnostic;
    diagnostic.number = number;
    diagnostic.sql_state.assign(state.data(), 5);
    diagnostic.native_error = native;
    diagnostic.description.assign(message.data(), used);
    diagnostic.source = kProviderSource;
    diagnostics.push_back(std::move(diagnostic));
  }
  return diagnostics;
}

// ---------------------------------------------------------------------------------------------
// OdbcConnection

OdbcConnection::OdbcConnection(const odbc::DriverManager& calls, odbc::SqlHandle handle,
                               OdbcTarget target, ProviderErrors errors)
    : calls_(calls), handle_(handle), target_(std::move(target)), errors_(std::move(errors)) {}

OdbcConnection::~OdbcConnection() { Close(); }

Result<std::shared_ptr<OdbcConnection>> OdbcConnection::Open(const OdbcTarget& target,
                                                             int32_t login_timeout_seconds,
                                                             ProviderErrors errors) {
  const odbc::DriverManager* calls = odbc::LoadDriverManager();
  if (calls == nullptr) return NoDriverManager();
  odbc::SqlHandle environment = SharedEnvironment(*calls);
  if (environment == nullptr) return NoDriverManager();
  if (target.pooled) {
    if (odbc::SqlHandle pooled = SharedConnectionPool().Take(target.connection_string)) {
      return std::shared_ptr<OdbcConnection>(new OdbcConnection(*calls, pooled, target, errors));
    }
  }
  odbc::SqlHandle handle = nullptr;
  if (!odbc::Succeeded(calls->AllocHandle(odbc::kHandleConnection, environment, &handle))) {
    return Error::FromHresult(E_OUTOFMEMORY);
  }
  int32_t timeout = target.login_timeout.value_or(login_timeout_seconds);
  if (timeout > 0) {
    calls->SetConnectAttrW(handle, odbc::kAttributeLoginTimeout,
                           reinterpret_cast<void*>(static_cast<intptr_t>(timeout)), 0);
  }
  std::u16string text = target.connection_string;
  std::unique_lock lifetime(DriverLifetimeMutex());
  odbc::SqlReturn code = calls->DriverConnectW(handle, nullptr, text.c_str(),
                                               static_cast<int16_t>(text.size()), nullptr, 0,
                                               nullptr, odbc::kDriverNoPrompt);
  if (!odbc::Succeeded(code)) {
    *errors = ReadDiagnostics(*calls, odbc::kHandleConnection, handle, E_FAIL);
    Error error = ProviderError(E_FAIL, *errors, u"The connection could not be opened.");
    calls->FreeHandle(odbc::kHandleConnection, handle);
    return error;
  }
  lifetime.unlock();
  return std::shared_ptr<OdbcConnection>(new OdbcConnection(*calls, handle, target, errors));
}

void OdbcConnection::Register(OdbcStatement* statement) { statements_.push_back(statement); }

void OdbcConnection::Unregister(OdbcStatement* statement) {
  std::erase(statements_, statement);
}

void OdbcConnection::Close() {
  if (handle_ == nullptr) return;
  for (OdbcStatement* statement : std::vector<OdbcStatement*>(statements_)) statement->Detach();
  statements_.clear();
  odbc::SqlHandle handle = std::exchange(handle_, nullptr);
  in_transaction_ = false;
  if (target_.pooled) {
    SharedConnectionPool().Give(target_.connection_string, handle);
    return;
  }
  calls_.EndTran(odbc::kHandleConnection, handle, odbc::kRollback);
  DisconnectHandle(calls_, handle);
}

Error OdbcConnection::Failure(HRESULT number, int16_t handle_type, odbc::SqlHandle handle,
                              std::u16string_view fallback_text) {
  *errors_ = ReadDiagnostics(calls_, handle_type, handle, number);
  return ProviderError(number, *errors_, fallback_text);
}

Result<void> OdbcConnection::BeginTransaction() {
  void* off = reinterpret_cast<void*>(odbc::kAutocommitOff);
  if (!odbc::Succeeded(calls_.SetConnectAttrW(handle_, odbc::kAttributeAutocommit, off, 0))) {
    return Failure(E_FAIL, odbc::kHandleConnection, handle_, u"The transaction could not begin.");
  }
  in_transaction_ = true;
  return {};
}

Result<void> OdbcConnection::EndTransaction(bool commit) {
  odbc::SqlReturn code = calls_.EndTran(odbc::kHandleConnection, handle_,
                                        commit ? odbc::kCommit : odbc::kRollback);
  if (!odbc::Succeeded(code)) {
    return Failure(E_FAIL, odbc::kHandleConnection, handle_, u"The transaction could not end.");
  }
  in_transaction_ = false;
  void* on = reinterpret_cast<void*>(odbc::kAutocommitOn);
  if (!odbc::Succeeded(calls_.SetConnectAttrW(handle_, odbc::kAttributeAutocommit, on, 0))) {
    return Failure(E_FAIL, odbc::kHandleConnection, handle_, u"Auto-commit could not be restored.");
  }
  return {};
}

// ---------------------------------------------------------------------------------------------
// OdbcStatement

OdbcStatement::OdbcStatement(std::shared_ptr<OdbcConnection> connection, odbc::SqlHandle handle)
    : connection_(std::move(connection)), handle_(handle) {
  connection_->Register(this);
}

OdbcStatement::~OdbcStatement() {
  Detach();
  connection_->Unregister(this);
}

void OdbcStatement::Detach() {
  odbc::SqlHandle handle = std::exchange(handle_, nullptr);
  if (handle != nullptr) connection_->calls().FreeHandle(odbc::kHandleStatement, handle);
}

Result<void> OdbcStatement::CheckOpen() const {
  if (handle_ == nullptr) return MakeAdoError(AdoError::ObjectClosed, u"ADODB.Recordset");
  return {};
}

Result<std::unique_ptr<OdbcStatement>> OdbcStatement::Create(
    std::shared_ptr<OdbcConnection> connection) {
  if (!connection || !connection->is_open()) {
    return MakeAdoError(AdoError::InvalidConnection, u"ADODB.Recordset");
  }
  odbc::SqlHandle handle = nullptr;
  if (!odbc::Succeeded(connection->calls().AllocHandle(odbc::kHandleStatement,
                                                       connection->handle(), &handle))) {
    return connection->Failure(E_FAIL, odbc::kHandleConnection, connection->handle(),
                               u"No statement could be created.");
  }
  return std::unique_ptr<OdbcStatement>(new OdbcStatement(std::move(connection), handle));
}

Error OdbcStatement::Failure(HRESULT number, std::u16string_view fallback_text) {
  return connection_->Failure(number, odbc::kHandleStatement, handle_, fallback_text);
}

void OdbcStatement::SetTimeout(int32_t seconds) {
  if (seconds < 0 || handle_ == nullptr) return;
  connection_->calls().SetStmtAttrW(handle_, odbc::kAttributeQueryTimeout,
                                    reinterpret_cast<void*>(static_cast<intptr_t>(seconds)), 0);
}

Result<void> OdbcStatement::Prepare(std::u16string_view sql) {
  TRY(CheckOpen());
  if (sql.size() > static_cast<size_t>(INT32_MAX / 2)) return ErrorNumber::OutOfMemory;
  std::u16string text(sql);
  odbc::SqlReturn code = connection_->calls().PrepareW(handle_, text.c_str(),
                                                       static_cast<int32_t>(text.size()));
  if (!odbc::Succeeded(code)) return Failure(kDbErrorsInCommand);
  return {};
}

Result<void> OdbcStatement::BindParameters(std::span<const Variant> values,
                                           std::span<const int32_t> types,
                                           std::span<const int32_t> sizes) {
  TRY(CheckOpen());
  const odbc::DriverManager& calls = connection_->calls();
  calls.FreeStmt(handle_, odbc::kResetParams);
  parameters_.clear();
  for (size_t i = 0; i < values.size(); ++i) {
    auto buffer = std::make_unique<ParameterBuffer>();
    int32_t type = i < types.size() ? types[i] : adEmpty;
    int32_t size = i < sizes.size() ? sizes[i] : 0;
    TRY(FillParameterBuffer(values[i], type, size, *buffer));
    odbc::SqlReturn code = calls.BindParameter(
        handle_, static_cast<uint16_t>(i + 1), odbc::kParamInput, buffer->c_type,
        buffer->sql_type, buffer->column_size, buffer->digits, buffer->data(),
        buffer->capacity(), &buffer->indicator);
    if (!odbc::Succeeded(code)) return Failure(kDbErrorsInCommand);
    parameters_.push_back(std::move(buffer));
  }
  return {};
}

Result<void> OdbcStatement::Execute() {
  TRY(CheckOpen());
  odbc::SqlReturn code = connection_->calls().Execute(handle_);
  // No data: a searched UPDATE or DELETE that touched no row.
  if (!odbc::Succeeded(code) && code != odbc::kNoData) return Failure(kDbErrorsInCommand);
  return DescribeResult();
}

Result<void> OdbcStatement::DescribeResult() {
  const odbc::DriverManager& calls = connection_->calls();
  columns_.clear();
  odbc::SqlLen affected = -1;
  if (odbc::Succeeded(calls.RowCount(handle_, &affected))) rows_affected_ = affected;
  int16_t count = 0;
  if (!odbc::Succeeded(calls.NumResultCols(handle_, &count))) return Failure(kDbErrorsInCommand);
  for (uint16_t column = 1; column <= static_cast<uint16_t>(std::max<int16_t>(count, 0)); ++column) {
    std::array<char16_t, 512> name{};
    int16_t name_length = 0, sql_type = 0, digits = 0, nullable = 0;
    odbc::SqlULen size = 0;
    odbc::SqlReturn code = calls.DescribeColW(handle_, column, name.data(), name.size(),
                                              &name_length, &sql_type, &size, &digits, &nullable);
    if (!odbc::Succeeded(code)) return Failure(kDbErrorsInCommand);
    size_t used = std::min<size_t>(std::max<int16_t>(name_length, 0), name.size() - 1);
    columns_.push_back(DescribeColumn(std::u16string(name.data(), used), sql_type, size, digits,
                                      nullable != 0));
  }
  return {};
}

Result<bool> OdbcStatement::FetchRow(std::vector<Variant>& cells) {
  TRY(CheckOpen());
  if (columns_.empty()) return false;
  odbc::SqlReturn code = connection_->calls().Fetch(handle_);
  if (code == odbc::kNoData) return false;
  if (!odbc::Succeeded(code)) return Failure(kDbErrorsInCommand);
  for (size_t i = 0; i < columns_.size(); ++i) {
    cells.push_back(TRY(ReadCell(static_cast<uint16_t>(i + 1), columns_[i])));
  }
  return true;
}

Result<bool> OdbcStatement::NextResult() {
  TRY(CheckOpen());
  odbc::SqlReturn code = connection_->calls().MoreResults(handle_);
  if (code == odbc::kNoData) {
    columns_.clear();
    return false;
  }
  if (!odbc::Succeeded(code)) return Failure(kDbErrorsInCommand);
  TRY(DescribeResult());
  return true;
}

void OdbcStatement::CloseCursor() {
  if (handle_ != nullptr) connection_->calls().FreeStmt(handle_, odbc::kClose);
}

Result<Variant> OdbcStatement::ReadCell(uint16_t column, const ColumnInfo& info) {
  switch (info.fetch) {
    case FetchKind::Text:
    case FetchKind::Decimal: return ReadText(column, info.fetch);
    case FetchKind::Binary: return ReadBinary(column);
    default: return ReadFixed(column, info);
  }
}

Result<Variant> OdbcStatement::ReadText(uint16_t column, FetchKind fetch) {
  const odbc::DriverManager& calls = connection_->calls();
  std::array<char16_t, kTextPiece + 1> piece;
  std::u16string text;
  for (;;) {
    odbc::SqlLen indicator = 0;
    odbc::SqlReturn code = calls.GetData(handle_, column, odbc::kCWChar, piece.data(),
                                         sizeof(piece), &indicator);
    if (code == odbc::kNoData) break;
    if (!odbc::Succeeded(code)) return Failure(kDbErrorsInCommand);
    if (indicator == odbc::kNullData) return Variant::Null();
    // The piece holds the text up to its terminating NUL; whether more follows is told by the
    // indicator (the whole remaining length, or "no total").
    size_t whole = indicator == odbc::kNoTotal ? SIZE_MAX : static_cast<size_t>(indicator) / sizeof(char16_t);
    size_t held = std::min(whole, kTextPiece);
    if (text.empty() && whole <= kTextPiece) {
      std::u16string_view value(piece.data(), held);
      return fetch == FetchKind::Decimal ? DecimalTextToVariant(value) : Variant::FromString(value);
    }
    text.append(piece.data(), held);
    if (text.size() * sizeof(char16_t) > kMaxCellBytes) {
      return Error::FromHresult(kDbDataOverflow, u"A text value is larger than 128 MiB.",
                                std::u16string(kProviderSource));
    }
    if (whole <= kTextPiece) break;
  }
  return fetch == FetchKind::Decimal ? DecimalTextToVariant(text) : Variant::FromString(text);
}

Result<Variant> OdbcStatement::ReadBinary(uint16_t column) {
  const odbc::DriverManager& calls = connection_->calls();
  std::array<uint8_t, 8192> piece;
  std::vector<uint8_t> bytes;
  for (;;) {
    odbc::SqlLen indicator = 0;
    odbc::SqlReturn code = calls.GetData(handle_, column, odbc::kCBinary, piece.data(),
                                         sizeof(piece), &indicator);
    if (code == odbc::kNoData) break;
    if (!odbc::Succeeded(code)) return Failure(kDbErrorsInCommand);
    if (indicator == odbc::kNullData) return Variant::Null();
    size_t whole = indicator == odbc::kNoTotal ? SIZE_MAX : static_cast<size_t>(indicator);
    size_t held = std::min(whole, piece.size());
    bytes.insert(bytes.end(), piece.begin(), piece.begin() + held);
    if (bytes.size() > kMaxCellBytes) {
      return Error::FromHresult(kDbDataOverflow, u"A binary value is larger than 128 MiB.",
                                std::u16string(kProviderSource));
    }
    if (whole <= piece.size()) break;
  }
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<uint32_t>(bytes.size()));
  if (array == nullptr) return ErrorNumber::OutOfMemory;
  if (!bytes.empty()) std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(array->pvData));
  return Variant::FromArray(VT_UI1, array);
}

Result<Variant> OdbcStatement::ReadFixed(uint16_t column, const ColumnInfo& info) {
  const odbc::DriverManager& calls = connection_->calls();
  union {
    int32_t integer;
    int64_t big_integer;
    float single;
    double real;
    odbc::TimestampStruct timestamp;
    odbc::TimeStruct time;
  } value{};
  int16_t c_type = odbc::kCSLong;
  switch (info.fetch) {
    case FetchKind::BigInteger: c_type = odbc::kCSBigInt; break;
    case FetchKind::Single: c_type = odbc::kCFloat; break;
    case FetchKind::Double: c_type = odbc::kCDouble; break;
    case FetchKind::Date:
    case FetchKind::Timestamp: c_type = odbc::kCTypeTimestamp; break;
    case FetchKind::Time: c_type = odbc::kCTypeTime; break;
    default: break;
  }
  odbc::SqlLen indicator = 0;
  odbc::SqlReturn code = calls.GetData(handle_, column, c_type, &value, sizeof(value), &indicator);
  if (!odbc::Succeeded(code)) return Failure(kDbErrorsInCommand);
  if (indicator == odbc::kNullData) return Variant::Null();
  switch (info.fetch) {
    case FetchKind::Integer:
      if (info.ado_type == adSmallInt || info.ado_type == adTinyInt) {
        return Variant::FromI2(static_cast<int16_t>(value.integer));
      }
      return Variant::FromI4(value.integer);
    case FetchKind::BigInteger:
      if (value.big_integer >= INT32_MIN && value.big_integer <= INT32_MAX) {
        return Variant::FromI4(static_cast<int32_t>(value.big_integer));
      }
      return Variant::FromR8(static_cast<double>(value.big_integer));
    case FetchKind::Single: return Variant::FromR4(value.single);
    case FetchKind::Double: return Variant::FromR8(value.real);
    case FetchKind::Boolean: return Variant::FromBool(value.integer != 0);
    case FetchKind::Time: {
      Result<DATE> time = TimeSerial(value.time.hour, value.time.minute, value.time.second);
      if (!time.ok()) return ErrorNumber::Overflow;
      return Variant::FromDate(time.value());
    }
    default: {
      Result<DATE> date = TimestampToDate(value.timestamp);
      if (!date.ok()) return MakeAdoError(AdoError::DataConversion, u"ADODB.Field");
      return Variant::FromDate(date.value());
    }
  }
}
