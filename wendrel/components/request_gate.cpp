#include "wendrel/components/request_gate.h"

#include "platform/com/com_object.h"

namespace {

class GuardedObject final : public HandWrittenDispatch<GuardedObject> {
 public:
  GuardedObject(IDispatch* target, std::shared_ptr<RequestGate> gate, GuardedReference reference)
      : target_(target), gate_(std::move(gate)) {
    if (reference == GuardedReference::Owned) owned_ = ComPtr<IDispatch>(target);
  }

  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* dispids) override {
    HRESULT hr = RPC_E_DISCONNECTED;
    gate_->Run([&] { hr = target_->GetIDsOfNames(iid, names, count, lcid, dispids); });
    return hr;
  }
  HRESULT Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* argument_error) override {
    HRESULT hr = RPC_E_DISCONNECTED;
    gate_->Run([&] { hr = target_->Invoke(member, iid, lcid, flags, params, result, exception, argument_error); });
    if (FAILED(hr) || result == nullptr || result->vt != VT_DISPATCH || result->pdispVal == nullptr) {
      return hr;
    }
    // An object the call returned belongs to the request too.
    HRESULT wrapped = ComEntry([&] {
      ComPtr<IDispatch> guarded = GuardedDispatch(result->pdispVal, gate_);
      result->pdispVal->Release();
      result->pdispVal = guarded.Detach();
      return S_OK;
    });
    if (FAILED(wrapped)) VariantClear(result);
    return FAILED(wrapped) ? wrapped : hr;
  }

 private:
  IDispatch* target_;
  ComPtr<IDispatch> owned_;  // the reference that keeps an owned target alive
  std::shared_ptr<RequestGate> gate_;
};

}  // namespace

ComPtr<IDispatch> GuardedDispatch(IDispatch* object, std::shared_ptr<RequestGate> gate,
                                  GuardedReference reference) {
  if (object == nullptr) return nullptr;
  return ComPtr<IDispatch>::Adopt(new GuardedObject(object, std::move(gate), reference));
}
