#pragma once
// ADODB.Command with its Parameters collection and ADODB.Parameter.
//
// CommandText holds '?' markers; each Parameter (in the order appended, or the values of
// Execute's Parameters array) is bound to its marker as an ODBC parameter, converted to its Type
// first (adEmpty: the value's own type). Values never enter the SQL text. Only input
// parameters are bound: output and return-value parameters are refused (3708).

#include <memory>
#include <string>
#include <vector>

#include "platform/ado/command_text.h"
#include "platform/com/dispatch_object.h"

class Parameter : public DispatchObject<Parameter> {
 public:
  static std::span<const DispatchMember<Parameter>> Members();
  std::u16string_view TypeName() override { return u"Parameter"; }
  /// Our own Parameter behind an object, or null.
  static Parameter* From(IDispatch* object);

  std::u16string name;
  int32_t type = 0;        // adEmpty
  int32_t direction = 1;   // adParamInput
  int32_t size = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;
  int32_t attributes = 0;
  Variant value;

 private:
  void* QueryOtherInterface(REFIID iid) override;
  std::u16string_view ErrorSource() const override { return u"ADODB.Parameter"; }
  Result<Variant> GetValue(const DispatchArguments& arguments);
  Result<Variant> LetValue(const DispatchArguments& arguments);
  Result<Variant> GetName(const DispatchArguments& arguments);
  Result<Variant> LetName(const DispatchArguments& arguments);
  Result<Variant> GetType(const DispatchArguments& arguments);
  Result<Variant> LetType(const DispatchArguments& arguments);
  Result<Variant> GetDirection(const DispatchArguments& arguments);
  Result<Variant> LetDirection(const DispatchArguments& arguments);
  Result<Variant> GetSize(const DispatchArguments& arguments);
  Result<Variant> LetSize(const DispatchArguments& arguments);
  Result<Variant> GetPrecision(const DispatchArguments& arguments);
  Result<Variant> LetPrecision(const DispatchArguments& arguments);
  Result<Variant> GetNumericScale(const DispatchArguments& arguments);
  Result<Variant> LetNumericScale(const DispatchArguments& arguments);
  Result<Variant> GetAttributes(const DispatchArguments& arguments);
  Result<Variant> LetAttributes(const DispatchArguments& arguments);
};

class ParameterCollection : public DispatchObject<ParameterCollection> {
 public:
  static std::span<const DispatchMember<ParameterCollection>> Members();
  std::u16string_view TypeName() override { return u"Parameters"; }

  const std::vector<ComPtr<Parameter>>& items() const { return items_; }
  /// The parameter an index names (number from 0, or name ignoring case); ItemNotFound (3265).
  Result<Parameter*> Find(const VARIANT& index) const;

 private:
  std::u16string_view ErrorSource() const override { return u"ADODB.Parameters"; }
  Result<Variant> Item(const DispatchArguments& arguments);
  Result<Variant> LetItem(const DispatchArguments& arguments);
  Result<Variant> Count(const DispatchArguments& arguments);
  Result<Variant> Append(const DispatchArguments& arguments);
  Result<Variant> Delete(const DispatchArguments& arguments);
  Result<Variant> Refresh(const DispatchArguments& arguments);
  Result<Variant> NewEnum(const DispatchArguments& arguments);

  std::vector<ComPtr<Parameter>> items_;
};

class Command : public DispatchObject<Command> {
 public:
  Command();
  static std::span<const DispatchMember<Command>> Members();
  std::u16string_view TypeName() override { return u"Command"; }

 private:
  std::u16string_view ErrorSource() const override { return u"ADODB.Command"; }
  Result<Variant> GetParameters(const DispatchArguments& arguments);
  Result<Variant> LetParameterValue(const DispatchArguments& arguments);
  Result<Variant> GetActiveConnection(const DispatchArguments& arguments);
  Result<Variant> LetActiveConnection(const DispatchArguments& arguments);
  Result<Variant> GetCommandText(const DispatchArguments& arguments);
  Result<Variant> LetCommandText(const DispatchArguments& arguments);
  Result<Variant> GetCommandType(const DispatchArguments& arguments);
  Result<Variant> LetCommandType(const DispatchArguments& arguments);
  Result<Variant> GetCommandTimeout(const DispatchArguments& arguments);
  Result<Variant> LetCommandTimeout(const DispatchArguments& arguments);
  Result<Variant> GetPrepared(const DispatchArguments& arguments);
  Result<Variant> LetPrepared(const DispatchArguments& arguments);
  Result<Variant> GetName(const DispatchArguments& arguments);
  Result<Variant> LetName(const DispatchArguments& arguments);
  Result<Variant> GetState(const DispatchArguments& arguments);
  Result<Variant> CreateParameter(const DispatchArguments& arguments);
  Result<Variant> Execute(const DispatchArguments& arguments);
  Result<Variant> Cancel(const DispatchArguments& arguments);

  // The values to bind: Execute's array when given, else the Parameters collection.
  Result<BoundParameters> ParametersToBind(const DispatchArguments& arguments) const;

  ComPtr<ParameterCollection> parameters_;
  ComPtr<IDispatch> connection_;   // a Connection object
  std::u16string connection_string_;
  std::u16string text_;
  int32_t command_type_ = 8;       // adCmdUnknown
  int32_t timeout_ = 30;
  bool prepared_ = false;
  std::u16string name_;
};
