#include "platform/ado/connection.h"

#include "platform/ado/ado_arguments.h"
#include "platform/ado/ado_identifiers.h"
#include "platform/ado/command_text.h"
#include "platform/ado/recordset.h"
#include "platform/com/enum_variant.h"

namespace {

constexpr std::u16string_view kSource = u"ADODB.Connection";
constexpr int32_t adStateClosed = 0;
constexpr int32_t adStateOpen = 1;
constexpr HRESULT kTransactionExists = MakeHresult(0x8004D013u);
constexpr HRESULT kNoTransaction = MakeHresult(0x8004D00Eu);

}  // namespace

Connection::Connection() : errors_(std::make_shared<std::vector<ProviderDiagnostic>>()) {}

ComPtr<Connection> Connection::Wrap(std::shared_ptr<OdbcConnection> connection) {
  ComPtr<Connection> object = MakeObject<Connection>();
  object->errors_ = connection->errors();
  object->connection_ = std::move(connection);
  return object;
}

void* Connection::QueryOtherInterface(REFIID iid) {
  return iid == kConnectionInterfaceId ? static_cast<IDispatch*>(this) : nullptr;
}

Connection* Connection::From(IDispatch* object) {
  if (object == nullptr) return nullptr;
  ComPtr<IDispatch> own = ComPtr<IDispatch>(object).As<IDispatch>(kConnectionInterfaceId);
  // The reference just taken is dropped again: the caller's keeps the object alive.
  return static_cast<Connection*>(own.get());
}

Result<std::shared_ptr<OdbcConnection>> Connection::OpenConnection() const {
  if (!connection_ || !connection_->is_open()) return MakeAdoError(AdoError::InvalidConnection, kSource);
  return connection_;
}

std::span<const DispatchMember<Connection>> Connection::Members() {
  static constexpr DispatchMember<Connection> kMembers[] = {
      {u"ConnectionString", DISPID_VALUE, kPropertyGet, 0, 0, &Connection::GetConnectionString},
      {u"ConnectionString", DISPID_VALUE, kPropertyPut, 0, 0, &Connection::LetConnectionString},
      {u"Open", 1, kMethod, 0, 4, &Connection::Open, u"ConnectionString,UserID,Password,Options"},
      {u"Close", 2, kMethod, 0, 0, &Connection::Close},
      {u"Execute", 3, kMethod, 1, 3, &Connection::Execute, u"CommandText,RecordsAffected,Options"},
      {u"BeginTrans", 4, kMethod, 0, 0, &Connection::BeginTrans},
      {u"CommitTrans", 5, kMethod, 0, 0, &Connection::CommitTrans},
      {u"RollbackTrans", 6, kMethod, 0, 0, &Connection::RollbackTrans},
      {u"Cancel", 7, kMethod, 0, 0, &Connection::Cancel},
      {u"State", 8, kPropertyGet, 0, 0, &Connection::GetState},
      {u"Provider", 9, kPropertyGet, 0, 0, &Connection::GetProvider},
      {u"Provider", 9, kPropertyPut, 0, 0, &Connection::LetProvider},
      {u"CommandTimeout", 10, kPropertyGet, 0, 0, &Connection::GetCommandTimeout},
      {u"CommandTimeout", 10, kPropertyPut, 0, 0, &Connection::LetCommandTimeout},
      {u"ConnectionTimeout", 11, kPropertyGet, 0, 0, &Connection::GetConnectionTimeout},
      {u"ConnectionTimeout", 11, kPropertyPut, 0, 0, &Connection::LetConnectionTimeout},
      {u"CursorLocation", 12, kPropertyGet, 0, 0, &Connection::GetCursorLocation},
      {u"CursorLocation", 12, kPropertyPut, 0, 0, &Connection::LetCursorLocation},
      {u"Mode", 13, kPropertyGet, 0, 0, &Connection::GetMode},
      {u"Mode", 13, kPropertyPut, 0, 0, &Connection::LetMode},
      {u"IsolationLevel", 14, kPropertyGet, 0, 0, &Connection::GetIsolationLevel},
      {u"IsolationLevel", 14, kPropertyPut, 0, 0, &Connection::LetIsolationLevel},
      {u"Attributes", 15, kPropertyGet, 0, 0, &Connection::GetAttributes},
      {u"Attributes", 15, kPropertyPut, 0, 0, &Connection::LetAttributes},
      {u"Version", 16, kPropertyGet, 0, 0, &Connection::GetVersion},
      {u"DefaultDatabase", 17, kPropertyGet, 0, 0, &Connection::GetDefaultDatabase},
      {u"Errors", 18, kPropertyGet, 0, 0, &Connection::GetErrors},
  };
  return kMembers;
}

Result<Variant> Connection::Open(const DispatchArguments& arguments) {
  if (connection_ && connection_->is_open()) return MakeAdoError(AdoError::ObjectOpen, kSource);
  if (IsPresent(arguments, 0)) connection_string_ = TRY(OptionalText(arguments, 0, u""));
  std::u16string user = TRY(OptionalText(arguments, 1, u""));
  std::u16string password = TRY(OptionalText(arguments, 2, u""));
  errors_->clear();
  OdbcTarget target = TRY(MapConnectionString(connection_string_, provider_, user, password));
  connection_ = TRY(OdbcConnection::Open(target, connection_timeout_, errors_));
  return Variant();
}

Result<Variant> Connection::Close(const DispatchArguments&) {
  if (!connection_ || !connection_->is_open()) return MakeAdoError(AdoError::ObjectClosed, kSource);
  if (connection_->in_transaction()) {
    // The platform refuses; a page that ends with a transaction open still gets it rolled
    // back when the connection is released.
    return MakeAdoError(AdoError::InTransaction, kSource);
  }
  connection_->Close();
  connection_.reset();
  return Variant();
}

Result<Variant> Connection::Execute(const DispatchArguments& arguments) {
  std::shared_ptr<OdbcConnection> connection = TRY(OpenConnection());
  std::u16string text = TRY(OptionalText(arguments, 0, u""));
  int32_t options = TRY(OptionalInt32(arguments, 2, adCmdUnspecified));
  errors_->clear();
  std::unique_ptr<OdbcStatement> statement =
      TRY(ExecuteCommand(connection, text, options, {}, command_timeout_));
  if (IsPresent(arguments, 1)) {
    TRY(arguments.Assign(1, Variant::FromI4(static_cast<int32_t>(statement->rows_affected()))));
  }
  if (options >= 0 && (options & adExecuteNoRecords) != 0) return Variant::FromDispatch(nullptr);
  ComPtr<Recordset> recordset = TRY(Recordset::FromStatement(
      std::move(statement), adOpenForwardOnly, adLockReadOnly, text, u"",
      ComPtr<IDispatch>(static_cast<IDispatch*>(this))));
  return Variant::FromDispatch(recordset.get());
}

Result<Variant> Connection::BeginTrans(const DispatchArguments&) {
  std::shared_ptr<OdbcConnection> connection = TRY(OpenConnection());
  if (connection->in_transaction()) {
    return Error::FromHresult(kTransactionExists, u"Only one transaction can be active on this session.",
                              std::u16string(kProviderSource));
  }
  TRY(connection->BeginTransaction());
  return Variant::FromI4(1);
}

Result<Variant> Connection::CommitTrans(const DispatchArguments&) {
  std::shared_ptr<OdbcConnection> connection = TRY(OpenConnection());
  if (!connection->in_transaction()) {
    return Error::FromHresult(kNoTransaction, u"No transaction is active.", std::u16string(kProviderSource));
  }
  TRY(connection->EndTransaction(true));
  return Variant();
}

Result<Variant> Connection::RollbackTrans(const DispatchArguments&) {
  std::shared_ptr<OdbcConnection> connection = TRY(OpenConnection());
  if (!connection->in_transaction()) {
    return Error::FromHresult(kNoTransaction, u"No transaction is active.", std::u16string(kProviderSource));
  }
  TRY(connection->EndTransaction(false));
  return Variant();
}

// Commands run synchronously: there is never one to cancel.
Result<Variant> Connection::Cancel(const DispatchArguments&) { return Variant(); }

Result<Variant> Connection::GetState(const DispatchArguments&) {
  return Variant::FromI4(connection_ && connection_->is_open() ? adStateOpen : adStateClosed);
}

Result<Variant> Connection::GetConnectionString(const DispatchArguments&) {
  return Variant::FromString(connection_string_);
}

Result<Variant> Connection::LetConnectionString(const DispatchArguments& arguments) {
  if (connection_ && connection_->is_open()) return MakeAdoError(AdoError::ObjectOpen, kSource);
  connection_string_ = TRY(ToBstr(arguments.value())).view();
  return Variant();
}

Result<Variant> Connection::GetProvider(const DispatchArguments&) { return Variant::FromString(provider_); }

Result<Variant> Connection::LetProvider(const DispatchArguments& arguments) {
  if (connection_ && connection_->is_open()) return MakeAdoError(AdoError::ObjectOpen, kSource);
  provider_ = TRY(ToBstr(arguments.value())).view();
  return Variant();
}

Result<Variant> Connection::GetCommandTimeout(const DispatchArguments&) { return Variant::FromI4(command_timeout_); }

Result<Variant> Connection::LetCommandTimeout(const DispatchArguments& arguments) {
  int32_t seconds = TRY(ToInt32(arguments.value()));
  if (seconds < 0) return MakeAdoError(AdoError::InvalidArgument, kSource);
  command_timeout_ = seconds;
  return Variant();
}

Result<Variant> Connection::GetConnectionTimeout(const DispatchArguments&) { return Variant::FromI4(connection_timeout_); }

Result<Variant> Connection::LetConnectionTimeout(const DispatchArguments& arguments) {
  int32_t seconds = TRY(ToInt32(arguments.value()));
  if (seconds < 0) return MakeAdoError(AdoError::InvalidArgument, kSource);
  connection_timeout_ = seconds;
  return Variant();
}

Result<Variant> Connection::GetCursorLocation(const DispatchArguments&) { return Variant::FromI4(cursor_location_); }

Result<Variant> Connection::LetCursorLocation(const DispatchArguments& arguments) {
  cursor_location_ = TRY(ToInt32(arguments.value()));
  return Variant();
}

Result<Variant> Connection::GetMode(const DispatchArguments&) { return Variant::FromI4(mode_); }

Result<Variant> Connection::LetMode(const DispatchArguments& arguments) {
  mode_ = TRY(ToInt32(arguments.value()));
  return Variant();
}

Result<Variant> Connection::GetIsolationLevel(const DispatchArguments&) { return Variant::FromI4(isolation_level_); }

Result<Variant> Connection::LetIsolationLevel(const DispatchArguments& arguments) {
  isolation_level_ = TRY(ToInt32(arguments.value()));
  return Variant();
}

Result<Variant> Connection::GetAttributes(const DispatchArguments&) { return Variant::FromI4(attributes_); }

Result<Variant> Connection::LetAttributes(const DispatchArguments& arguments) {
  attributes_ = TRY(ToInt32(arguments.value()));
  return Variant();
}

Result<Variant> Connection::GetVersion(const DispatchArguments&) { return Variant::FromString(u"6.1"); }

Result<Variant> Connection::GetDefaultDatabase(const DispatchArguments&) { return Variant::FromString(u""); }

Result<Variant> Connection::GetErrors(const DispatchArguments&) {
  ComPtr<ErrorCollection> errors = MakeObject<ErrorCollection>(errors_);
  return Variant::FromDispatch(errors.get());
}

// ---------------------------------------------------------------------------------------------
// Errors and Error

std::span<const DispatchMember<ErrorCollection>> ErrorCollection::Members() {
  static constexpr DispatchMember<ErrorCollection> kMembers[] = {
      {u"Item", DISPID_VALUE, kPropertyGet | kMethod, 1, 1, &ErrorCollection::Item, u"Index"},
      {u"Count", 1, kPropertyGet, 0, 0, &ErrorCollection::Count},
      {u"Clear", 2, kMethod, 0, 0, &ErrorCollection::Clear},
      {u"Refresh", 3, kMethod, 0, 0, &ErrorCollection::Refresh},
      {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &ErrorCollection::NewEnum},
  };
  return kMembers;
}

Result<Variant> ErrorCollection::Count(const DispatchArguments&) {
  return Variant::FromI4(static_cast<int32_t>(errors_->size()));
}

Result<Variant> ErrorCollection::Item(const DispatchArguments& arguments) {
  int32_t index = TRY(ToInt32(arguments[0]));
  if (index < 0 || static_cast<size_t>(index) >= errors_->size()) {
    return MakeAdoError(AdoError::ItemNotFound, u"ADODB.Errors");
  }
  ComPtr<ProviderErrorObject> error = MakeObject<ProviderErrorObject>((*errors_)[index]);
  return Variant::FromDispatch(error.get());
}

Result<Variant> ErrorCollection::Clear(const DispatchArguments&) {
  errors_->clear();
  return Variant();
}

// The list is always current: there is nothing to refresh.
Result<Variant> ErrorCollection::Refresh(const DispatchArguments&) { return Variant(); }

Result<Variant> ErrorCollection::NewEnum(const DispatchArguments&) {
  std::vector<Variant> items;
  for (const ProviderDiagnostic& diagnostic : *errors_) {
    ComPtr<ProviderErrorObject> error = MakeObject<ProviderErrorObject>(diagnostic);
    items.push_back(Variant::FromDispatch(error.get()));
  }
  return EnumeratorVariant(std::move(items));
}

std::span<const DispatchMember<ProviderErrorObject>> ProviderErrorObject::Members() {
  static constexpr DispatchMember<ProviderErrorObject> kMembers[] = {
      {u"Description", DISPID_VALUE, kPropertyGet, 0, 0, &ProviderErrorObject::Description},
      {u"Number", 1, kPropertyGet, 0, 0, &ProviderErrorObject::Number},
      {u"Source", 2, kPropertyGet, 0, 0, &ProviderErrorObject::Source},
      {u"SQLState", 3, kPropertyGet, 0, 0, &ProviderErrorObject::SqlState},
      {u"NativeError", 4, kPropertyGet, 0, 0, &ProviderErrorObject::NativeError},
      {u"HelpFile", 5, kPropertyGet, 0, 0, &ProviderErrorObject::HelpFile},
      {u"HelpContext", 6, kPropertyGet, 0, 0, &ProviderErrorObject::HelpContext},
  };
  return kMembers;
}

Result<Variant> ProviderErrorObject::Description(const DispatchArguments&) {
  return Variant::FromString(diagnostic_.description);
}
Result<Variant> ProviderErrorObject::Number(const DispatchArguments&) {
  return Variant::FromI4(static_cast<int32_t>(diagnostic_.number));
}
Result<Variant> ProviderErrorObject::Source(const DispatchArguments&) {
  return Variant::FromString(diagnostic_.source);
}
Result<Variant> ProviderErrorObject::SqlState(const DispatchArguments&) {
  return Variant::FromString(diagnostic_.sql_state);
}
Result<Variant> ProviderErrorObject::NativeError(const DispatchArguments&) {
  return Variant::FromI4(diagnostic_.native_error);
}
Result<Variant> ProviderErrorObject::HelpFile(const DispatchArguments&) { return Variant::FromString(u""); }
Result<Variant> ProviderErrorObject::HelpContext(const DispatchArguments&) { return Variant::FromI4(0); }
