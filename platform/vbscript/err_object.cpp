#include "platform/vbscript/err_object.h"

#include "platform/automation/conversion.h"
#include "platform/vbscript/interpreter.h"

namespace vbscript {
namespace {

constexpr std::u16string_view kUnknownError = u"Unknown runtime error";

Result<std::u16string> TextOf(const VARIANT& value) {
  Bstr text = TRY(ToBstr(value));
  return std::u16string(text.view());
}

}  // namespace

HRESULT HresultOfErrorNumber(int32_t number) {
  if (number > 0 && number <= 0xFFFF) return ScriptErrorHresult(number);
  return number;
}

std::span<const DispatchMember<ErrObject>> ErrObject::Members() {
  static constexpr DispatchMember<ErrObject> kMembers[] = {
      {u"Number", DISPID_VALUE, kPropertyGet, 0, 0, &ErrObject::GetNumber},
      {u"Number", DISPID_VALUE, kPropertyPut, 0, 0, &ErrObject::PutNumber},
      {u"Description", 1, kPropertyGet, 0, 0, &ErrObject::GetDescription},
      {u"Description", 1, kPropertyPut, 0, 0, &ErrObject::PutDescription},
      {u"Source", 2, kPropertyGet, 0, 0, &ErrObject::GetSource},
      {u"Source", 2, kPropertyPut, 0, 0, &ErrObject::PutSource},
      {u"HelpFile", 3, kPropertyGet, 0, 0, &ErrObject::GetHelpFile},
      {u"HelpFile", 3, kPropertyPut, 0, 0, &ErrObject::PutHelpFile},
      {u"HelpContext", 4, kPropertyGet, 0, 0, &ErrObject::GetHelpContext},
      {u"HelpContext", 4, kPropertyPut, 0, 0, &ErrObject::PutHelpContext},
      {u"Raise", 5, kMethod, 1, 5, &ErrObject::Raise,
       u"Number,Source,Description,HelpFile,HelpContext"},
      {u"Clear", 6, kMethod, 0, 0, &ErrObject::ClearMember},
  };
  return kMembers;
}

void ErrObject::Set(const ScriptError& error) {
  number_ = error.number;
  description_ = error.description;
  source_ = error.source;
  help_file_ = error.help_file;
  help_context_ = error.help_context;
}

void ErrObject::Clear() {
  number_ = 0;
  description_.clear();
  source_.clear();
  help_file_.clear();
  help_context_ = 0;
  raised_pending_ = false;
}

std::optional<ScriptError> ErrObject::TakeRaised() {
  if (!raised_pending_) return std::nullopt;
  raised_pending_ = false;
  ScriptError error;
  error.number = number_;
  error.hresult = HresultOfErrorNumber(number_);
  error.description = description_;
  error.source = source_;
  error.help_file = help_file_;
  error.help_context = help_context_;
  return error;
}

Result<Variant> ErrObject::GetNumber(const DispatchArguments&) { return Variant::FromI4(number_); }
Result<Variant> ErrObject::PutNumber(const DispatchArguments& arguments) {
  number_ = TRY(ToInt32(arguments.value()));
  return Variant();
}
Result<Variant> ErrObject::GetDescription(const DispatchArguments&) {
  return Variant::FromString(description_);
}
Result<Variant> ErrObject::PutDescription(const DispatchArguments& arguments) {
  description_ = TRY(TextOf(arguments.value()));
  return Variant();
}
Result<Variant> ErrObject::GetSource(const DispatchArguments&) { return Variant::FromString(source_); }
Result<Variant> ErrObject::PutSource(const DispatchArguments& arguments) {
  source_ = TRY(TextOf(arguments.value()));
  return Variant();
}
Result<Variant> ErrObject::GetHelpFile(const DispatchArguments&) {
  return Variant::FromString(help_file_);
}
Result<Variant> ErrObject::PutHelpFile(const DispatchArguments& arguments) {
  help_file_ = TRY(TextOf(arguments.value()));
  return Variant();
}
Result<Variant> ErrObject::GetHelpContext(const DispatchArguments&) {
  return Variant::FromI4(help_context_);
}
Result<Variant> ErrObject::PutHelpContext(const DispatchArguments& arguments) {
  help_context_ = TRY(ToInt32(arguments.value()));
  return Variant();
}

// Raise replaces the number; a source, description, help file or context it omits keeps what
// Err holds, and an empty source or description becomes the engine's source and the number's
// standard text. Numbers are 1..65535 or HRESULTs: one of the engine's own (0x800A0000 + n) is
// n, and a platform HRESULT with a known meaning is that error's number (E_OUTOFMEMORY is 7).
Result<Variant> ErrObject::Raise(const DispatchArguments& arguments) {
  int32_t number = TRY(ToInt32(arguments[0]));
  if (number == 0 || number > 0xFFFF) return ErrorNumber::InvalidProcedureCall;
  number = ScriptErrorNumberFromHresult(number);
  std::u16string source = arguments.IsMissing(1) ? source_ : TRY(TextOf(arguments[1]));
  if (source.empty()) source = kRuntimeErrorSource;
  std::u16string description = arguments.IsMissing(2) ? description_ : TRY(TextOf(arguments[2]));
  if (description.empty()) {
    std::u16string_view standard = StandardErrorDescription(number);
    description = standard.empty() ? kUnknownError : standard;
  }
  if (!arguments.IsMissing(3)) help_file_ = TRY(TextOf(arguments[3]));
  if (!arguments.IsMissing(4)) help_context_ = TRY(ToInt32(arguments[4]));
  number_ = number;
  description_ = std::move(description);
  source_ = std::move(source);
  raised_pending_ = true;
  return Error::FromHresult(HresultOfErrorNumber(number), description_, source_);
}

Result<Variant> ErrObject::ClearMember(const DispatchArguments&) {
  Clear();
  return Variant();
}

}  // namespace vbscript
