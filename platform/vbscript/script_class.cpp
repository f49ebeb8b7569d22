#include "platform/vbscript/script_class.h"

#include <new>

#include "platform/automation/safearray.h"
#include "platform/automation/text_case.h"
#include "platform/com/module_lock.h"
#include "platform/vbscript/interpreter.h"

namespace vbscript {
namespace {

// DISPIDs of class members: 1 + the member's index (0 is the default member).
constexpr DISPID kFirstMemberId = 1;

HRESULT AnswerInterface(IUnknown* self, IDispatch* dispatch, IObjectTypeName* named, REFIID iid,
                        void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *object = dispatch;
  } else if (iid == IID_IObjectTypeName && named != nullptr) {
    *object = named;
  } else {
    return E_NOINTERFACE;
  }
  self->AddRef();
  return S_OK;
}

// A fixed-size array field (Dim a(3, 4)), or an empty dynamic one (Dim a()).
Result<Variant> NewArrayField(const FieldInfo& field) {
  if (field.upper_bounds.empty()) return Variant::FromArray(VT_VARIANT, nullptr);
  std::vector<SAFEARRAYBOUND> bounds;
  for (int32_t upper : field.upper_bounds) {
    if (upper < -1) return ErrorNumber::SubscriptOutOfRange;
    bounds.push_back({static_cast<uint32_t>(int64_t{upper} + 1), 0});
  }
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, static_cast<uint32_t>(bounds.size()), bounds.data());
  if (array == nullptr) return ErrorNumber::OutOfMemory;
  return Variant::FromArray(VT_VARIANT, array);
}

// The vtable every instance shares (the class is final), recorded by the first instance made.
std::atomic<const void*>& InstanceVtable() {
  static std::atomic<const void*> vtable{nullptr};
  return vtable;
}

const void* VtableOf(const IDispatch* object) { return *reinterpret_cast<const void* const*>(object); }

}  // namespace

bool ScriptInstance::IsInstance(const IDispatch* object) {
  const void* vtable = InstanceVtable().load(std::memory_order_relaxed);
  return vtable != nullptr && VtableOf(object) == vtable;
}

Result<ComPtr<ScriptInstance>> ScriptInstance::Create(Interpreter* runtime, const ClassInfo* info,
                                                      LoadedUnit* unit) {
  auto instance = ComPtr<ScriptInstance>::Adopt(new ScriptInstance(runtime, info, unit, info->fields.size()));
  for (size_t i = 0; i < info->fields.size(); ++i) {
    if (!info->fields[i].is_array) continue;
    Result<Variant> array = NewArrayField(info->fields[i]);
    if (!array.ok()) {
      instance->terminated_ = true;  // it was never initialised, so it is not terminated either
      return std::move(array).error();
    }
    instance->fields_[i] = std::move(array).value();
  }
  return instance;
}

ScriptInstance::ScriptInstance(Interpreter* runtime, const ClassInfo* info, LoadedUnit* unit,
                               size_t field_count)
    : runtime_(runtime->weak_from_this()),
      runtime_identity_(runtime),
      generation_(runtime->generation()),
      info_(info),
      unit_(unit),
      code_(unit->code),
      fields_(new Variant[field_count]) {
  LockModule();
  InstanceVtable().store(VtableOf(this), std::memory_order_relaxed);
}

ScriptInstance::~ScriptInstance() { UnlockModule(); }

bool ScriptInstance::BelongsTo(const Interpreter* runtime) const {
  return runtime == runtime_identity_ && runtime->generation() == generation_;
}

HRESULT ScriptInstance::QueryInterface(REFIID iid, void** object) {
  return AnswerInterface(static_cast<IDispatch*>(this), this, this, iid, object);
}

// The last release runs Class_Terminate first (while the run that made the instance is still
// going); the instance survives if the terminator stored a new reference to it.
ULONG ScriptInstance::Release() {
  ULONG remaining = references_.fetch_sub(1) - 1;
  if (remaining != 0) return remaining;
  if (!terminated_ && info_->terminate >= 0) {
    terminated_ = true;
    references_.store(1);
    if (std::shared_ptr<Interpreter> runtime = runtime_.lock(); runtime && BelongsTo(runtime.get())) {
      runtime->TerminateInstance(this);
    }
    remaining = references_.fetch_sub(1) - 1;
    if (remaining != 0) return remaining;
  }
  delete this;
  return 0;
}

HRESULT ScriptInstance::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ScriptInstance::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT ScriptInstance::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* dispids) {
  if (names == nullptr || dispids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) dispids[i] = DISPID_UNKNOWN;
  if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
  int32_t member = info_->FindMember(std::u16string_view(names[0]));
  if (member < 0 || !info_->members[member].is_public) return DISP_E_UNKNOWNNAME;
  dispids[0] = kFirstMemberId + member;
  // Script procedures take no named arguments.
  return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT ScriptInstance::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT*) {
  std::shared_ptr<Interpreter> runtime = runtime_.lock();
  if (!runtime || !BelongsTo(runtime.get())) return E_UNEXPECTED;
  return runtime->InvokeInstance(this, member, flags, params, result, exception);
}

ComPtr<FunctionReference> FunctionReference::Create(Interpreter* runtime, const Procedure* procedure,
                                                    LoadedUnit* unit) {
  return ComPtr<FunctionReference>::Adopt(new FunctionReference(runtime, procedure, unit));
}

FunctionReference::FunctionReference(Interpreter* runtime, const Procedure* procedure, LoadedUnit* unit)
    : runtime_(runtime->weak_from_this()),
      generation_(runtime->generation()),
      procedure_(procedure),
      unit_(unit),
      code_(unit->code) {
  LockModule();
}

FunctionReference::~FunctionReference() { UnlockModule(); }

HRESULT FunctionReference::QueryInterface(REFIID iid, void** object) {
  return AnswerInterface(this, this, nullptr, iid, object);
}

ULONG FunctionReference::Release() {
  ULONG remaining = references_.fetch_sub(1) - 1;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT FunctionReference::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT FunctionReference::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT FunctionReference::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* dispids) {
  if (names == nullptr || dispids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) dispids[i] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT FunctionReference::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* exception, UINT*) {
  if (member != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
  if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) return DISP_E_MEMBERNOTFOUND;
  std::shared_ptr<Interpreter> runtime = runtime_.lock();
  if (!runtime || runtime->generation() != generation_) return E_UNEXPECTED;
  return runtime->InvokeProcedure(procedure_, unit_, params, result, exception);
}

}  // namespace vbscript
