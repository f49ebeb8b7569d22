#include "platform/jscript/script_object.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/dispatch_object.h"
#include "platform/com/enum_variant.h"
#include "platform/com/module_lock.h"
#include "platform/com/object_type_name.h"
#include "platform/jscript/script_runtime.h"
#include "platform/scripting/active_script.h"

namespace jscript {
namespace {

// A call from a thread while another one runs the heap: refused rather than waited for.
constexpr HRESULT kWrongThread = MakeHresult(0x8001010Eu);

inline constexpr IID IID_IScriptValue = {0x2C6A1E57, 0x93B4, 0x4F0D, {0xB1, 0x6E, 0x0A, 0x77, 0x3D, 0x52, 0xC8, 0x19}};

// Tells a script object of this engine from any other object.
class IScriptValue : public IUnknown {
 public:
  virtual const RuntimeLink* link() const = 0;
  virtual uint32_t key() const = 0;

 protected:
  ~IScriptValue() = default;
};

class ScriptObject final : public IDispatch, public IObjectTypeName, public IScriptValue {
 public:
  ScriptObject(std::shared_ptr<RuntimeLink> link, uint32_t key) : link_(std::move(link)), key_(key) { LockModule(); }
  ~ScriptObject() {
    {
      std::lock_guard<std::mutex> lock(link_->released_mutex);
      link_->released.push_back(key_);
    }
    UnlockModule();
  }
  ScriptObject(const ScriptObject&) = delete;
  ScriptObject& operator=(const ScriptObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
    } else if (iid == IID_IObjectTypeName) {
      *object = static_cast<IObjectTypeName*>(this);
    } else if (iid == IID_IScriptValue) {
      *object = static_cast<IScriptValue*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return references_.fetch_add(1) + 1; }
  ULONG Release() override {
    ULONG remaining = references_.fetch_sub(1) - 1;
    if (remaining == 0) delete this;
    return remaining;
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  // Any name has an id; whether the property exists is the script's business when invoked.
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* dispids) override;
  HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                 UINT*) override;

  std::u16string_view TypeName() override { return u"JScriptTypeInfo"; }
  const RuntimeLink* link() const override { return link_.get(); }
  uint32_t key() const override { return key_; }

 private:
  Result<Variant> Call(ScriptRuntime& runtime, DISPID member, WORD flags, std::span<const VARIANT> arguments);

  std::shared_ptr<RuntimeLink> link_;
  uint32_t key_;
  std::mutex names_mutex_;
  std::vector<std::u16string> names_;  // DISPID = index + 1
  std::atomic<ULONG> references_{1};
};

HRESULT ScriptObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* dispids) {
  if (names == nullptr || dispids == nullptr || count == 0 || names[0] == nullptr) return E_INVALIDARG;
  for (UINT i = 1; i < count; ++i) dispids[i] = DISPID_UNKNOWN;
  std::u16string_view name(names[0]);
  std::lock_guard<std::mutex> lock(names_mutex_);
  size_t index = 0;
  while (index < names_.size() && names_[index] != name) ++index;
  if (index == names_.size()) names_.emplace_back(name);
  dispids[0] = static_cast<DISPID>(index + 1);
  return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT ScriptObject::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* exception, UINT*) {
  std::unique_lock<std::recursive_mutex> lock(link_->lock, std::try_to_lock);
  if (!lock.owns_lock()) return kWrongThread;
  if (link_->runtime == nullptr) {
    auto freed = static_cast<int32_t>(JScriptError::FreedScript);
    return CompleteInvoke(Error::Script(freed, JScriptErrorText(freed)), kRuntimeErrorSource, result, exception);
  }
  UINT count = params == nullptr ? 0 : params->cArgs;
  bool is_put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (params != nullptr && params->cNamedArgs > (is_put ? 1u : 0u)) return DISP_E_NONAMEDARGS;
  std::vector<VARIANT> arguments;
  for (UINT i = count; i-- > 0;) arguments.push_back(params->rgvarg[i]);
  try {
    return CompleteInvoke(Call(*link_->runtime, member, flags, arguments), kRuntimeErrorSource, result, exception);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

Result<Variant> ScriptObject::Call(ScriptRuntime& runtime, DISPID member, WORD flags, std::span<const VARIANT> arguments) {
  if (member == DISPID_NEWENUM) {
    return EnumeratorVariant(TRY(runtime.RetainedElements(key_)));
  }
  std::u16string name;
  if (member != DISPID_VALUE) {
    std::lock_guard<std::mutex> lock(names_mutex_);
    if (member < 1 || static_cast<size_t>(member) > names_.size()) return ErrorNumber::ObjectDoesNotSupportMember;
    name = names_[static_cast<size_t>(member) - 1];
  }
  Variant value;
  switch (runtime.InvokeRetained(key_, name, flags, arguments, &value)) {
    case RunOutcome::Completed: return value;
    case RunOutcome::Stopped: return Error::FromHresult(SCRIPT_E_STOP_WITHOUT_ERROR);
    case RunOutcome::Failed: break;
  }
  const RunError& error = runtime.last_error();
  return Error::FromHresult(error.scode, error.description, error.source);
}

}  // namespace

ComPtr<IDispatch> CreateScriptObject(std::shared_ptr<RuntimeLink> link, uint32_t key) {
  return ComPtr<IDispatch>::Adopt(new ScriptObject(std::move(link), key));
}

uint32_t ScriptObjectKey(IDispatch* object, const RuntimeLink* link) {
  ComPtr<IScriptValue> value = ComPtr<IDispatch>(object).As<IScriptValue>(IID_IScriptValue);
  if (!value || value->link() != link) return 0;
  return value->key();
}

}  // namespace jscript
