#pragma once
// The WScript object of the command-line script host: Echo, Arguments, Quit, ScriptName,
// ScriptFullName, CreateObject, Sleep, StdOut and StdErr, and the event connections of
// CreateObject(ProgID, Prefix), ConnectObject and DisconnectObject (wscript_events.cpp).

#include <cstdio>
#include <string>
#include <vector>

#include "platform/com/dispatch_object.h"
#include "platform/scripting/script_events.h"

class IActiveScript;

class WScriptObject : public DispatchObject<WScriptObject> {
 public:
  WScriptObject(std::u16string script_path, std::vector<std::u16string> arguments);
  static std::span<const DispatchMember<WScriptObject>> Members();
  std::u16string_view TypeName() override { return u"Object"; }

  /// The engine whose procedures receive connected events (borrowed; null once it is closed).
  void SetScriptEngine(IActiveScript* engine) { engine_ = engine; }
  /// Ends every event connection, letting go of the script.
  void DisconnectEvents() { connections_.clear(); }

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
  Result<Variant> ConnectObject(const DispatchArguments& arguments);
  Result<Variant> DisconnectObject(const DispatchArguments& arguments);
  /// CreateObject's second argument: connects the events of the object just created by
  /// `class_name` (a ProgID or a class identifier) to the script.
  Result<void> ConnectCreatedObject(IDispatch* object, std::u16string_view class_name,
                                    const VARIANT& prefix);
  /// Connects the events of `object` (of class `clsid`) to the script's procedures named
  /// `prefix` + event name.
  Result<void> ConnectEvents(IDispatch* object, const CLSID& clsid, const VARIANT& prefix);

  std::u16string script_path_;
  std::vector<std::u16string> arguments_;
  IActiveScript* engine_ = nullptr;
  std::vector<ScriptEventConnection> connections_;
  bool quit_requested_ = false;
  int exit_code_ = 0;
};

/// Writes UTF-16 text to a stream as UTF-8.
void WriteText(std::FILE* stream, std::u16string_view text);
