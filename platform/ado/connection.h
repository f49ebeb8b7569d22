#pragma once
// ADODB.Connection, with its Errors collection and Error objects.
//
// Open maps the connection string (connection_string.h) and connects through the driver
// manager, taking a pooled connection when one is idle; Close gives it back. Execute runs a
// command and returns a forward-only, read-only Recordset (closed when the command returns no
// rows; Nothing with adExecuteNoRecords), the records affected written to its by-reference
// argument. BeginTrans / CommitTrans / RollbackTrans use the driver's transactions (one level:
// a second BeginTrans fails).

#include <memory>
#include <string>

#include "platform/ado/odbc_session.h"
#include "platform/com/dispatch_object.h"

class Connection : public DispatchObject<Connection> {
 public:
  Connection();
  static std::span<const DispatchMember<Connection>> Members();
  std::u16string_view TypeName() override { return u"Connection"; }

  /// A Connection object for a connection a Recordset opened itself (its ActiveConnection).
  static ComPtr<Connection> Wrap(std::shared_ptr<OdbcConnection> connection);
  /// Our own Connection behind an object, or null.
  static Connection* From(IDispatch* object);

  /// The open connection; InvalidConnection (3709) when closed.
  Result<std::shared_ptr<OdbcConnection>> OpenConnection() const;
  int32_t command_timeout() const { return command_timeout_; }
  const ProviderErrors& errors() const { return errors_; }

 private:
  void* QueryOtherInterface(REFIID iid) override;
  std::u16string_view ErrorSource() const override { return u"ADODB.Connection"; }

  Result<Variant> Open(const DispatchArguments& arguments);
  Result<Variant> Close(const DispatchArguments& arguments);
  Result<Variant> Execute(const DispatchArguments& arguments);
  Result<Variant> BeginTrans(const DispatchArguments& arguments);
  Result<Variant> CommitTrans(const DispatchArguments& arguments);
  Result<Variant> RollbackTrans(const DispatchArguments& arguments);
  Result<Variant> Cancel(const DispatchArguments& arguments);
  Result<Variant> GetState(const DispatchArguments& arguments);
  Result<Variant> GetConnectionString(const DispatchArguments& arguments);
  Result<Variant> LetConnectionString(const DispatchArguments& arguments);
  Result<Variant> GetProvider(const DispatchArguments& arguments);
  Result<Variant> LetProvider(const DispatchArguments& arguments);
  Result<Variant> GetCommandTimeout(const DispatchArguments& arguments);
  Result<Variant> LetCommandTimeout(const DispatchArguments& arguments);
  Result<Variant> GetConnectionTimeout(const DispatchArguments& arguments);
  Result<Variant> LetConnectionTimeout(const DispatchArguments& arguments);
  Result<Variant> GetCursorLocation(const DispatchArguments& arguments);
  Result<Variant> LetCursorLocation(const DispatchArguments& arguments);
  Result<Variant> GetMode(const DispatchArguments& arguments);
  Result<Variant> LetMode(const DispatchArguments& arguments);
  Result<Variant> GetIsolationLevel(const DispatchArguments& arguments);
  Result<Variant> LetIsolationLevel(const DispatchArguments& arguments);
  Result<Variant> GetAttributes(const DispatchArguments& arguments);
  Result<Variant> LetAttributes(const DispatchArguments& arguments);
  Result<Variant> GetVersion(const DispatchArguments& arguments);
  Result<Variant> GetDefaultDatabase(const DispatchArguments& arguments);
  Result<Variant> GetErrors(const DispatchArguments& arguments);

  std::shared_ptr<OdbcConnection> connection_;
  ProviderErrors errors_;
  std::u16string connection_string_;
  std::u16string provider_ = u"MSDASQL";
  int32_t command_timeout_ = 30;
  int32_t connection_timeout_ = 15;
  int32_t cursor_location_ = 2;  // adUseServer
  int32_t mode_ = 0;
  int32_t isolation_level_ = 4096;  // adXactReadCommitted
  int32_t attributes_ = 0;
};

/// The Errors collection: a snapshot-free view of the connection's provider errors.
class ErrorCollection : public DispatchObject<ErrorCollection> {
 public:
  explicit ErrorCollection(ProviderErrors errors) : errors_(std::move(errors)) {}
  static std::span<const DispatchMember<ErrorCollection>> Members();
  std::u16string_view TypeName() override { return u"Errors"; }

 private:
  Result<Variant> Count(const DispatchArguments& arguments);
  Result<Variant> Item(const DispatchArguments& arguments);
  Result<Variant> Clear(const DispatchArguments& arguments);
  Result<Variant> Refresh(const DispatchArguments& arguments);
  Result<Variant> NewEnum(const DispatchArguments& arguments);
  std::u16string_view ErrorSource() const override { return u"ADODB.Errors"; }

  ProviderErrors errors_;
};

/// One provider error (ADODB.Error).
class ProviderErrorObject : public DispatchObject<ProviderErrorObject> {
 public:
  explicit ProviderErrorObject(ProviderDiagnostic diagnostic) : diagnostic_(std::move(diagnostic)) {}
  static std::span<const DispatchMember<ProviderErrorObject>> Members();
  std::u16string_view TypeName() override { return u"Error"; }

 private:
  Result<Variant> Description(const DispatchArguments& arguments);
  Result<Variant> Number(const DispatchArguments& arguments);
  Result<Variant> Source(const DispatchArguments& arguments);
  Result<Variant> SqlState(const DispatchArguments& arguments);
  Result<Variant> NativeError(const DispatchArguments& arguments);
  Result<Variant> HelpFile(const DispatchArguments& arguments);
  Result<Variant> HelpContext(const DispatchArguments& arguments);

  ProviderDiagnostic diagnostic_;
};
