#include "platform/ado/command.h"

#include "platform/ado/ado_arguments.h"
#include "platform/ado/ado_identifiers.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/automation/safearray.h"
#include "platform/automation/text_case.h"
#include "platform/com/enum_variant.h"

namespace {

constexpr std::u16string_view kSource = u"ADODB.Command";
constexpr int32_t adParamInput = 1;
// The most parameters one command binds.
constexpr size_t kMaxParameters = 2100;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Parameter

void* Parameter::QueryOtherInterface(REFIID iid) {
  return iid == kParameterInterfaceId ? static_cast<IDispatch*>(this) : nullptr;
}

Parameter* Parameter::From(IDispatch* object) {
  if (object == nullptr) return nullptr;
  ComPtr<IDispatch> own = ComPtr<IDispatch>(object).As<IDispatch>(kParameterInterfaceId);
  return static_cast<Parameter*>(own.get());
}

std::span<const DispatchMember<Parameter>> Parameter::Members() {
  static constexpr DispatchMember<Parameter> kMembers[] = {
      {u"Value", DISPID_VALUE, kPropertyGet, 0, 0, &Parameter::GetValue},
      {u"Value", DISPID_VALUE, kPropertyPut | kPropertyPutRef, 0, 0, &Parameter::LetValue},
      {u"Name", 1, kPropertyGet, 0, 0, &Parameter::GetName},
      {u"Name", 1, kPropertyPut, 0, 0, &Parameter::LetName},
      {u"Type", 2, kPropertyGet, 0, 0, &Parameter::GetType},
      {u"Type", 2, kPropertyPut, 0, 0, &Parameter::LetType},
      {u"Direction", 3, kPropertyGet, 0, 0, &Parameter::GetDirection},
      {u"Direction", 3, kPropertyPut, 0, 0, &Parameter::LetDirection},
      {u"Size", 4, kPropertyGet, 0, 0, &Parameter::GetSize},
      {u"Size", 4, kPropertyPut, 0, 0, &Parameter::LetSize},
      {u"Precision", 5, kPropertyGet, 0, 0, &Parameter::GetPrecision},
      {u"Precision", 5, kPropertyPut, 0, 0, &Parameter::LetPrecision},
      {u"NumericScale", 6, kPropertyGet, 0, 0, &Parameter::GetNumericScale},
      {u"NumericScale", 6, kPropertyPut, 0, 0, &Parameter::LetNumericScale},
      {u"Attributes", 7, kPropertyGet, 0, 0, &Parameter::GetAttributes},
      {u"Attributes", 7, kPropertyPut, 0, 0, &Parameter::LetAttributes},
  };
  return kMembers;
}

Result<Variant> Parameter::GetValue(const DispatchArguments&) { return value; }

Result<Variant> Parameter::LetValue(const DispatchArguments& arguments) {
  Variant copy;
  if (FAILED(VariantCopyInd(&copy, &arguments.value()))) return ErrorNumber::OutOfMemory;
  value = std::move(copy);
  return Variant();
}

Result<Variant> Parameter::GetName(const DispatchArguments&) { return Variant::FromString(name); }
Result<Variant> Parameter::LetName(const DispatchArguments& arguments) {
  name = TRY(ToBstr(arguments.value())).view();
  return Variant();
}
Result<Variant> Parameter::GetType(const DispatchArguments&) { return Variant::FromI4(type); }
Result<Variant> Parameter::LetType(const DispatchArguments& arguments) {
  type = TRY(ToInt32(arguments.value()));
  return Variant();
}
Result<Variant> Parameter::GetDirection(const DispatchArguments&) { return Variant::FromI4(direction); }
Result<Variant> Parameter::LetDirection(const DispatchArguments& arguments) {
  direction = TRY(ToInt32(arguments.value()));
  return Variant();
}
Result<Variant> Parameter::GetSize(const DispatchArguments&) { return Variant::FromI4(size); }
Result<Variant> Parameter::LetSize(const DispatchArguments& arguments) {
  int32_t new_size = TRY(ToInt32(arguments.value()));
  if (new_size < 0) return MakeAdoError(AdoError::InvalidArgument, u"ADODB.Parameter");
  size = new_size;
  return Variant();
}
Result<Variant> Parameter::GetPrecision(const DispatchArguments&) { return Variant::FromByte(precision); }
Result<Variant> Parameter::LetPrecision(const DispatchArguments& arguments) {
  precision = TRY(ToByte(arguments.value()));
  return Variant();
}
Result<Variant> Parameter::GetNumericScale(const DispatchArguments&) { return Variant::FromByte(scale); }
Result<Variant> Parameter::LetNumericScale(const DispatchArguments& arguments) {
  scale = TRY(ToByte(arguments.value()));
  return Variant();
}
Result<Variant> Parameter::GetAttributes(const DispatchArguments&) { return Variant::FromI4(attributes); }
Result<Variant> Parameter::LetAttributes(const DispatchArguments& arguments) {
  attributes = TRY(ToInt32(arguments.value()));
  return Variant();
}

// ---------------------------------------------------------------------------------------------
// Parameters

std::span<const DispatchMember<ParameterCollection>> ParameterCollection::Members() {
  static constexpr DispatchMember<ParameterCollection> kMembers[] = {
      {u"Item", DISPID_VALUE, kPropertyGet | kMethod, 1, 1, &ParameterCollection::Item, u"Index"},
      {u"Item", DISPID_VALUE, kPropertyPut, 1, 1, &ParameterCollection::LetItem, u"Index"},
      {u"Count", 1, kPropertyGet, 0, 0, &ParameterCollection::Count},
      {u"Append", 2, kMethod, 1, 1, &ParameterCollection::Append, u"Object"},
      {u"Delete", 3, kMethod, 1, 1, &ParameterCollection::Delete, u"Index"},
      {u"Refresh", 4, kMethod, 0, 0, &ParameterCollection::Refresh},
      {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &ParameterCollection::NewEnum},
  };
  return kMembers;
}

Result<Parameter*> ParameterCollection::Find(const VARIANT& index) const {
  VARIANT value = PeekValue(index);
  if (value.vt == VT_BSTR) {
    std::u16string wanted = ToUpper(BstrView(value.bstrVal));
    for (const ComPtr<Parameter>& item : items_) {
      if (ToUpper(item->name) == wanted) return item.get();
    }
    return MakeAdoError(AdoError::ItemNotFound, u"ADODB.Parameters");
  }
  Result<int32_t> number = ToInt32(value);
  if (!number.ok() || number.value() < 0 || static_cast<size_t>(number.value()) >= items_.size()) {
    return MakeAdoError(AdoError::ItemNotFound, u"ADODB.Parameters");
  }
  return items_[number.value()].get();
}

Result<Variant> ParameterCollection::Item(const DispatchArguments& arguments) {
  Parameter* parameter = TRY(Find(arguments[0]));
  return Variant::FromDispatch(parameter);
}

Result<Variant> ParameterCollection::LetItem(const DispatchArguments& arguments) {
  Parameter* parameter = TRY(Find(arguments[0]));
  Variant copy;
  if (FAILED(VariantCopyInd(&copy, &arguments.value()))) return ErrorNumber::OutOfMemory;
  parameter->value = std::move(copy);
  return Variant();
}

Result<Variant> ParameterCollection::Count(const DispatchArguments&) {
  return Variant::FromI4(static_cast<int32_t>(items_.size()));
}

Result<Variant> ParameterCollection::Append(const DispatchArguments& arguments) {
  Parameter* parameter = Parameter::From(ObjectArgument(arguments[0]));
  if (parameter == nullptr) return MakeAdoError(AdoError::InvalidArgument, u"ADODB.Parameters");
  for (const ComPtr<Parameter>& item : items_) {
    if (item.get() == parameter) return MakeAdoError(AdoError::ObjectInCollection, u"ADODB.Parameters");
  }
  if (items_.size() >= kMaxParameters) return MakeAdoError(AdoError::InvalidArgument, u"ADODB.Parameters");
  items_.push_back(ComPtr<Parameter>(parameter));
  return Variant();
}

Result<Variant> ParameterCollection::Delete(const DispatchArguments& arguments) {
  Parameter* parameter = TRY(Find(arguments[0]));
  std::erase_if(items_, [&](const ComPtr<Parameter>& item) { return item.get() == parameter; });
  return Variant();
}

// The driver's description of a command's parameters is not read: pages append theirs.
Result<Variant> ParameterCollection::Refresh(const DispatchArguments&) {
  return Error::Script(AdoErrorNumber(AdoError::FeatureNotAvailable),
                       u"Parameters.Refresh is not available: append each parameter with CreateParameter.",
                       u"ADODB.Parameters");
}

Result<Variant> ParameterCollection::NewEnum(const DispatchArguments&) {
  std::vector<Variant> items;
  for (const ComPtr<Parameter>& item : items_) items.push_back(Variant::FromDispatch(item.get()));
  return EnumeratorVariant(std::move(items));
}

// ---------------------------------------------------------------------------------------------
// Command

Command::Command() : parameters_(MakeObject<ParameterCollection>()) {}

std::span<const DispatchMember<Command>> Command::Members() {
  static constexpr DispatchMember<Command> kMembers[] = {
      {u"Parameters", DISPID_VALUE, kPropertyGet | kMethod, 0, 1, &Command::GetParameters, u"Index"},
      {u"Parameters", DISPID_VALUE, kPropertyPut, 1, 1, &Command::LetParameterValue, u"Index"},
      {u"ActiveConnection", 1, kPropertyGet, 0, 0, &Command::GetActiveConnection},
      {u"ActiveConnection", 1, kPropertyPut | kPropertyPutRef, 0, 0, &Command::LetActiveConnection},
      {u"CommandText", 2, kPropertyGet, 0, 0, &Command::GetCommandText},
      {u"CommandText", 2, kPropertyPut, 0, 0, &Command::LetCommandText},
      {u"CommandType", 3, kPropertyGet, 0, 0, &Command::GetCommandType},
      {u"CommandType", 3, kPropertyPut, 0, 0, &Command::LetCommandType},
      {u"CommandTimeout", 4, kPropertyGet, 0, 0, &Command::GetCommandTimeout},
      {u"CommandTimeout", 4, kPropertyPut, 0, 0, &Command::LetCommandTimeout},
      {u"Prepared", 5, kPropertyGet, 0, 0, &Command::GetPrepared},
      {u"Prepared", 5, kPropertyPut, 0, 0, &Command::LetPrepared},
      {u"Name", 6, kPropertyGet, 0, 0, &Command::GetName},
      {u"Name", 6, kPropertyPut, 0, 0, &Command::LetName},
      {u"State", 7, kPropertyGet, 0, 0, &Command::GetState},
      {u"CreateParameter", 8, kMethod, 0, 5, &Command::CreateParameter, u"Name,Type,Direction,Size,Value"},
      {u"Execute", 9, kMethod, 0, 3, &Command::Execute, u"RecordsAffected,Parameters,Options"},
      {u"Cancel", 10, kMethod, 0, 0, &Command::Cancel},
  };
  return kMembers;
}

Result<Variant> Command::GetParameters(const DispatchArguments& arguments) {
  if (!IsPresent(arguments, 0)) return Variant::FromDispatch(parameters_.get());
  Parameter* parameter = TRY(parameters_->Find(arguments[0]));
  return Variant::FromDispatch(parameter);
}

Result<Variant> Command::LetParameterValue(const DispatchArguments& arguments) {
  Parameter* parameter = TRY(parameters_->Find(arguments[0]));
  Variant copy;
  if (FAILED(VariantCopyInd(&copy, &arguments.value()))) return ErrorNumber::OutOfMemory;
  parameter->value = std::move(copy);
  return Variant();
}

Result<Variant> Command::GetActiveConnection(const DispatchArguments&) {
  if (connection_) return Variant::FromDispatch(connection_.get());
  if (!connection_string_.empty()) return Variant::FromString(connection_string_);
  return Variant::FromDispatch(nullptr);
}

Result<Variant> Command::LetActiveConnection(const DispatchArguments& arguments) {
  IDispatch* object = ObjectArgument(arguments.value());
  VARIANT value = PeekValue(arguments.value());
  connection_.Reset();
  connection_string_.clear();
  if (value.vt == VT_DISPATCH && object == nullptr) return Variant();  // Nothing
  if (object != nullptr) {
    if (Connection::From(object) == nullptr) return MakeAdoError(AdoError::InvalidConnection, kSource);
    connection_ = ComPtr<IDispatch>(object);
    return Variant();
  }
  connection_string_ = TRY(ToBstr(arguments.value())).view();
  return Variant();
}

Result<Variant> Command::GetCommandText(const DispatchArguments&) { return Variant::FromString(text_); }
Result<Variant> Command::LetCommandText(const DispatchArguments& arguments) {
  text_ = TRY(ToBstr(arguments.value())).view();
  return Variant();
}
Result<Variant> Command::GetCommandType(const DispatchArguments&) { return Variant::FromI4(command_type_); }
Result<Variant> Command::LetCommandType(const DispatchArguments& arguments) {
  command_type_ = TRY(ToInt32(arguments.value()));
  return Variant();
}
Result<Variant> Command::GetCommandTimeout(const DispatchArguments&) { return Variant::FromI4(timeout_); }
Result<Variant> Command::LetCommandTimeout(const DispatchArguments& arguments) {
  int32_t seconds = TRY(ToInt32(arguments.value()));
  if (seconds < 0) return MakeAdoError(AdoError::InvalidArgument, kSource);
  timeout_ = seconds;
  return Variant();
}
Result<Variant> Command::GetPrepared(const DispatchArguments&) { return Variant::FromBool(prepared_); }
Result<Variant> Command::LetPrepared(const DispatchArguments& arguments) {
  prepared_ = TRY(ToBool(arguments.value()));
  return Variant();
}
Result<Variant> Command::GetName(const DispatchArguments&) { return Variant::FromString(name_); }
Result<Variant> Command::LetName(const DispatchArguments& arguments) {
  name_ = TRY(ToBstr(arguments.value())).view();
  return Variant();
}
// Commands run synchronously: a command is never left executing.
Result<Variant> Command::GetState(const DispatchArguments&) { return Variant::FromI4(0); }
Result<Variant> Command::Cancel(const DispatchArguments&) { return Variant(); }

Result<Variant> Command::CreateParameter(const DispatchArguments& arguments) {
  ComPtr<Parameter> parameter = MakeObject<Parameter>();
  parameter->name = TRY(OptionalText(arguments, 0, u""));
  parameter->type = TRY(OptionalInt32(arguments, 1, adEmpty));
  parameter->direction = TRY(OptionalInt32(arguments, 2, adParamInput));
  parameter->size = TRY(OptionalInt32(arguments, 3, 0));
  if (parameter->size < 0) return MakeAdoError(AdoError::InvalidArgument, kSource);
  if (IsPresent(arguments, 4) &&
      FAILED(VariantCopyInd(&parameter->value, &arguments[4]))) {
    return ErrorNumber::OutOfMemory;
  }
  return Variant::FromDispatch(parameter.get());
}

Result<BoundParameters> Command::ParametersToBind(const DispatchArguments& arguments) const {
  BoundParameters bound;
  const std::vector<ComPtr<Parameter>>& items = parameters_->items();
  for (const ComPtr<Parameter>& item : items) {
    if (item->direction != adParamInput) return MakeAdoError(AdoError::InvalidParamInfo, kSource);
    bound.values.push_back(item->value);
    bound.types.push_back(item->type);
    bound.sizes.push_back(item->size);
  }
  if (!IsPresent(arguments, 1)) return bound;
  // Execute's array replaces the values, first to last; the declared types still apply.
  VARIANT values = PeekValue(arguments[1]);
  if ((values.vt & VT_ARRAY) == 0 || values.parray == nullptr || SafeArrayGetDim(values.parray) != 1) {
    Variant single;
    if (FAILED(VariantCopyInd(&single, &arguments[1]))) return ErrorNumber::OutOfMemory;
    if (bound.values.empty()) bound.values.push_back(std::move(single));
    else bound.values[0] = std::move(single);
    return bound;
  }
  int32_t lower = TRY(SafeArrayLowerBound(values.parray, 1));
  int32_t upper = TRY(SafeArrayUpperBound(values.parray, 1));
  if (static_cast<size_t>(upper - lower + 1) > kMaxParameters) return MakeAdoError(AdoError::InvalidArgument, kSource);
  for (int32_t i = lower; i <= upper; ++i) {
    Variant element = TRY(SafeArrayGetElement(values.parray, &i, 1));
    size_t slot = static_cast<size_t>(i - lower);
    if (slot < bound.values.size()) {
      bound.values[slot] = std::move(element);
    } else {
      bound.values.push_back(std::move(element));
    }
  }
  return bound;
}

Result<Variant> Command::Execute(const DispatchArguments& arguments) {
  std::shared_ptr<OdbcConnection> connection;
  ComPtr<IDispatch> connection_object = connection_;
  if (Connection* own = Connection::From(connection_.get())) {
    connection = TRY(own->OpenConnection());
    own->errors()->clear();
  } else if (!connection_string_.empty()) {
    OdbcTarget target = TRY(MapConnectionString(connection_string_, u"", u"", u""));
    connection = TRY(OdbcConnection::Open(target, 15, std::make_shared<std::vector<ProviderDiagnostic>>()));
    connection_object = ComPtr<IDispatch>(Connection::Wrap(connection).get());
    connection_ = connection_object;
  } else {
    return MakeAdoError(AdoError::InvalidConnection, kSource);
  }
  int32_t options = TRY(OptionalInt32(arguments, 2, command_type_));
  if (options == adCmdUnspecified || (options & 0x7F) == 0) options |= command_type_;
  BoundParameters bound = TRY(ParametersToBind(arguments));
  std::unique_ptr<OdbcStatement> statement =
      TRY(ExecuteCommand(connection, text_, options, bound, timeout_));
  if (IsPresent(arguments, 0)) {
    TRY(arguments.Assign(0, Variant::FromI4(static_cast<int32_t>(statement->rows_affected()))));
  }
  if ((options & adExecuteNoRecords) != 0) return Variant::FromDispatch(nullptr);
  ComPtr<Recordset> recordset = TRY(Recordset::FromStatement(
      std::move(statement), adOpenForwardOnly, adLockReadOnly, text_, u"", connection_object));
  return Variant::FromDispatch(recordset.get());
}
