#pragma once
// The Err object of a run: the last error On Error Resume Next caught (Number, its default
// member, Description, Source, HelpFile, HelpContext), Clear, and Raise. Raise keeps the exact
// number it was given (vbObjectError + n stays negative), which the interpreter takes back with
// TakeRaised when the raise reaches it.

#include <optional>
#include <span>
#include <string>

#include "platform/com/dispatch_object.h"

namespace vbscript {

struct ScriptError;

class ErrObject : public DispatchObject<ErrObject> {
 public:
  static std::span<const DispatchMember<ErrObject>> Members();
  std::u16string_view TypeName() override { return u"ErrObject"; }

  /// Fills the object from an error a handler caught.
  void Set(const ScriptError& error);
  void Clear();
  int32_t number() const { return number_; }
  /// The error the last Raise raised, once; empty when none is pending.
  std::optional<ScriptError> TakeRaised();

 private:
  Result<Variant> GetNumber(const DispatchArguments& arguments);
  Result<Variant> PutNumber(const DispatchArguments& arguments);
  Result<Variant> GetDescription(const DispatchArguments& arguments);
  Result<Variant> PutDescription(const DispatchArguments& arguments);
  Result<Variant> GetSource(const DispatchArguments& arguments);
  Result<Variant> PutSource(const DispatchArguments& arguments);
  Result<Variant> GetHelpFile(const DispatchArguments& arguments);
  Result<Variant> PutHelpFile(const DispatchArguments& arguments);
  Result<Variant> GetHelpContext(const DispatchArguments& arguments);
  Result<Variant> PutHelpContext(const DispatchArguments& arguments);
  // Raise(Number, [Source], [Description], [HelpFile], [HelpContext])
  Result<Variant> Raise(const DispatchArguments& arguments);
  Result<Variant> ClearMember(const DispatchArguments& arguments);

  int32_t number_ = 0;
  std::u16string description_;
  std::u16string source_;
  std::u16string help_file_;
  int32_t help_context_ = 0;
  bool raised_pending_ = false;
};

/// The HRESULT that carries an error number across IDispatch: 0x800A0000 + n for the numbers
/// of script errors (1..65535), else the number itself.
HRESULT HresultOfErrorNumber(int32_t number);

}  // namespace vbscript
