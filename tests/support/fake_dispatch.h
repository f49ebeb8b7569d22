#pragma once
// A minimal object for value-layer tests: counts its references and answers its default member
// with a fixed value, or fails it with a given HRESULT / script error.

#include "platform/automation/variant.h"

class FakeDispatch : public IDispatch {
 public:
  explicit FakeDispatch(VARIANT value) { VariantCopy(&default_value_, &value); }
  ~FakeDispatch() { VariantClear(&default_value_); }

  /// Makes the default member fail: DISP_E_EXCEPTION with this script error, or another HRESULT.
  void FailWith(HRESULT hr, WORD script_error = 0) {
    failure_ = hr;
    script_error_ = script_error;
  }
  ULONG references() const { return references_; }
  int calls() const { return calls_; }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      AddRef();
      *object = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override { return --references_; }  // the test owns the object
  HRESULT GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                 EXCEPINFO* exception, UINT*) override {
    ++calls_;
    if (member != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    if (failure_ == DISP_E_EXCEPTION && exception != nullptr) {
      exception->wCode = script_error_;
      exception->bstrDescription = SysAllocString(u"custom failure");
      return DISP_E_EXCEPTION;
    }
    if (FAILED(failure_)) return failure_;
    return VariantCopy(result, &default_value_);
  }

 private:
  VARIANT default_value_{};
  ULONG references_ = 0;
  HRESULT failure_ = S_OK;
  WORD script_error_ = 0;
  int calls_ = 0;
};
