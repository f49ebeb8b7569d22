// The event connections of the WScript object: CreateObject(ProgID, Prefix), ConnectObject and
// DisconnectObject deliver an object's events to the script's procedures "Prefix" + event name,
// as the desktop script host does. Every connection ends when the script ends.
#include "apps/vbsrun/wscript_object.h"

#include <algorithm>

#include "platform/automation/conversion.h"
#include "platform/com/class_identity.h"
#include "platform/com/creation.h"
#include "platform/com/guid.h"
#include "platform/scripting/active_script.h"

namespace {

// The object argument of ConnectObject and DisconnectObject; Nothing and non-objects fail.
Result<IDispatch*> ObjectArgument(const VARIANT& argument) {
  VARIANT value = PeekValue(argument);
  if (value.vt != VT_DISPATCH) return ErrorNumber::TypeMismatch;
  if (value.pdispVal == nullptr) return ErrorNumber::ObjectVariableNotSet;
  return value.pdispVal;
}

}  // namespace

Result<void> WScriptObject::ConnectCreatedObject(IDispatch* object, std::u16string_view class_name,
                                                 const VARIANT& prefix) {
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(class_name, &clsid)) && FAILED(CLSIDFromString(class_name, &clsid))) {
    clsid = TRY(ClassIdOf(object));
  }
  return ConnectEvents(object, clsid, prefix);
}

Result<void> WScriptObject::ConnectEvents(IDispatch* object, const CLSID& clsid, const VARIANT& prefix) {
  Bstr prefix_text = TRY(ToBstr(prefix));
  if (engine_ == nullptr) return Error::FromHresult(E_UNEXPECTED);
  ComPtr<IDispatch> script;
  HRESULT hr = engine_->GetScriptDispatch(nullptr, script.Receive());
  if (FAILED(hr)) return Error::FromHresult(hr);
  connections_.push_back(TRY(ScriptEventConnection::Connect(object, clsid, prefix_text.view(), script.get())));
  return {};
}

Result<Variant> WScriptObject::ConnectObject(const DispatchArguments& arguments) {
  IDispatch* object = TRY(ObjectArgument(arguments[0]));
  CLSID clsid = TRY(ClassIdOf(object));
  TRY(ConnectEvents(object, clsid, arguments[1]));
  return Variant();
}

Result<Variant> WScriptObject::DisconnectObject(const DispatchArguments& arguments) {
  IDispatch* object = TRY(ObjectArgument(arguments[0]));
  std::erase_if(connections_, [&](const ScriptEventConnection& connection) { return connection.IsFor(object); });
  return Variant();
}
