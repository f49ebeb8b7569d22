#pragma once
// Events of an object delivered to script procedures by name, the way desktop script hosts
// offer them: with the prefix "Parser_", the object's event Parse calls the script's
// procedure Parser_Parse with the event's arguments (by-reference arguments stay references, so
// the procedure can answer through them). An event without a procedure of that name is ignored.
//
// The object's class must be registered with a type library that names its event interface
// and events (platform/com/class_identity.h); the object must be a connection-point container.

#include <string>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/com/com_ptr.h"
#include "platform/com/connection_point.h"

/// One object's events connected to one script's procedures; disconnects when destroyed.
class ScriptEventConnection {
 public:
  /// Connects the events of `object` (of class `clsid`) to the procedures of `script` (the
  /// engine's global dispatch) whose names are `prefix` followed by the event name.
  /// CONNECT_E_NOCONNECTION-style failures when the class describes no events or the object
  /// offers no connection point for them.
  static Result<ScriptEventConnection> Connect(IUnknown* object, const CLSID& clsid,
                                               std::u16string_view prefix, IDispatch* script);

  ScriptEventConnection(ScriptEventConnection&& other) noexcept;
  ScriptEventConnection& operator=(ScriptEventConnection&& other) noexcept;
  ScriptEventConnection(const ScriptEventConnection&) = delete;
  ScriptEventConnection& operator=(const ScriptEventConnection&) = delete;
  ~ScriptEventConnection() { Disconnect(); }

  /// Whether this connection is for `object` (compared as IUnknown identities).
  bool IsFor(IUnknown* object) const;
  /// Stops the delivery; the sink lets go of the script.
  void Disconnect();

 private:
  ScriptEventConnection() = default;

  ComPtr<IUnknown> identity_;
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};
