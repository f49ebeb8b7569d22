#include "platform/scripting/script_events.h"

#include <utility>

#include "platform/com/class_identity.h"
#include "platform/com/com_object.h"

namespace {

// The sink Advise'd to the object: each event's Invoke becomes a call of the script procedure
// named prefix + event name, with the same arguments.
class ScriptEventSink final : public HandWrittenDispatch<ScriptEventSink> {
 public:
  ScriptEventSink(const TypeLibraryClass& type, std::u16string prefix, IDispatch* script)
      : type_(type), prefix_(std::move(prefix)), script_(script) {}

  void* FindInterface(REFIID iid) {
    // The sink also answers the event interface it was connected for.
    if (iid == IID_IDispatch || iid == type_.event_interface_id) return static_cast<IDispatch*>(this);
    return nullptr;
  }

  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID member, REFIID iid, LCID lcid, WORD, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* argument_error) override {
    std::u16string_view event = FindEventName(type_, member);
    if (event.empty()) return S_OK;  // an event the class does not describe
    return ComEntry([&] {
      std::u16string procedure = prefix_ + std::u16string(event);
      OLECHAR* names[] = {procedure.data()};
      DISPID target = DISPID_UNKNOWN;
      if (FAILED(script_->GetIDsOfNames(GUID_NULL, names, 1, lcid, &target))) return S_OK;
      return script_->Invoke(target, iid, lcid, DISPATCH_METHOD, params, result, exception,
                             argument_error);
    });
  }

 private:
  const TypeLibraryClass& type_;
  std::u16string prefix_;
  ComPtr<IDispatch> script_;
};

}  // namespace

Result<ScriptEventConnection> ScriptEventConnection::Connect(IUnknown* object, const CLSID& clsid,
                                                             std::u16string_view prefix,
                                                             IDispatch* script) {
  if (object == nullptr || script == nullptr) return ErrorNumber::ObjectVariableNotSet;
  const TypeLibraryClass* type = TRY(RegisteredClassEntry(clsid));
  if (type->events.empty()) return Error::FromHresult(CONNECT_E_NOCONNECTION);
  ComPtr<IConnectionPointContainer> container;
  HRESULT hr = object->QueryInterface(IID_IConnectionPointContainer,
                                      reinterpret_cast<void**>(container.Receive()));
  if (FAILED(hr)) return Error::FromHresult(CONNECT_E_NOCONNECTION);
  ScriptEventConnection connection;
  hr = container->FindConnectionPoint(type->event_interface_id, connection.point_.Receive());
  if (FAILED(hr)) return Error::FromHresult(hr);
  ComPtr<ScriptEventSink> sink = ComPtr<ScriptEventSink>::Adopt(
      new ScriptEventSink(*type, std::u16string(prefix), script));
  hr = connection.point_->Advise(static_cast<IDispatch*>(sink.get()), &connection.cookie_);
  if (FAILED(hr)) return Error::FromHresult(hr);
  object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(connection.identity_.Receive()));
  return connection;
}

ScriptEventConnection::ScriptEventConnection(ScriptEventConnection&& other) noexcept
    : identity_(std::move(other.identity_)),
      point_(std::move(other.point_)),
      cookie_(std::exchange(other.cookie_, 0)) {}

ScriptEventConnection& ScriptEventConnection::operator=(ScriptEventConnection&& other) noexcept {
  if (this == &other) return *this;
  Disconnect();
  identity_ = std::move(other.identity_);
  point_ = std::move(other.point_);
  cookie_ = std::exchange(other.cookie_, 0);
  return *this;
}

bool ScriptEventConnection::IsFor(IUnknown* object) const {
  if (object == nullptr || !identity_) return false;
  ComPtr<IUnknown> identity;
  object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Receive()));
  return identity.get() == identity_.get();
}

void ScriptEventConnection::Disconnect() {
  if (point_ && cookie_ != 0) point_->Unadvise(cookie_);
  point_.Reset();
  identity_.Reset();
  cookie_ = 0;
}
