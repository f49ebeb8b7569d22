#pragma once
// The WScript object of the command-line script host: Echo, Arguments, Quit, ScriptName,
// ScriptFullName, CreateObject, Sleep, StdOut and StdErr.

#include <cstdio>
#include <string>
#include <vector>

#include "platform/com/dispatch_object.h"

class WScriptObject : public DispatchObject<WScriptObject> {
 public:
  WScriptObject(std::u16string script_path, std::vector<std::u16string> arguments);
  static std::span<const DispatchMember<WScriptObject>> Members();
  std::u16string_view TypeName() override { return u"Object"; }

  /// Set by Quit: the script asked to end with this exit code.
  bool quit_requested() const { return quit_requested_; }
  int exit_code() const { return exit_code_; }

 private:
  Result<Variant> Echo(const DispatchArguments& arguments);
  Result<Variant> Quit(const DispatchArguments& arguments);
  Result<Variant> Arguments(const DispatchArguments& arguments);
  Result<Variant> ScriptName(const DispatchArguments& arguments);
  Result<Variant> ScriptFullName(const DispatchArguments& arguments);
  Result<Variant> CreateObject(const DispatchArguments& arguments);
  Result<Variant> Sleep(const DispatchArguments& arguments);
  Result<Variant> StdOut(const DispatchArguments& arguments);
  Result<Variant> StdErr(const DispatchArguments& arguments);
  Result<Variant> Name(const DispatchArguments& arguments);
  Result<Variant> Version(const DispatchArguments& arguments);

  std::u16string script_path_;
  std::vector<std::u16string> arguments_;
  bool quit_requested_ = false;
  int exit_code_ = 0;
};

/// Writes UTF-16 text to a stream as UTF-8.
void WriteText(std::FILE* stream, std::u16string_view text);
