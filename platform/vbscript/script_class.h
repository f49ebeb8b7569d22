#pragma once
// Objects a run hands out: instances of script classes and the procedure references GetRef
// returns. Both are IDispatch objects, so other objects and other engines can hold and call
// them; calls go back to the interpreter that made them. Once that run is reset or gone, calls
// fail with E_UNEXPECTED and Class_Terminate no longer runs.

#include <atomic>
#include <memory>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"
#include "platform/com/object_type_name.h"
#include "platform/vbscript/program.h"

namespace vbscript {

class Interpreter;
struct LoadedUnit;

class ScriptInstance final : public IDispatch, public IObjectTypeName {
 public:
  /// A new instance with its fields (fixed-size arrays created); OutOfMemory (7) when an array
  /// cannot be allocated. Class_Initialize is the caller's to run.
  static Result<ComPtr<ScriptInstance>> Create(Interpreter* runtime, const ClassInfo* info,
                                               LoadedUnit* unit);

  /// Whether an object is a script class instance (of any interpreter in this module).
  static bool IsInstance(const IDispatch* object);

  const ClassInfo* class_info() const { return info_; }
  LoadedUnit* unit() const { return unit_; }
  VARIANT* field(size_t index) { return &fields_[index]; }
  /// Whether `runtime` made this instance during its current run.
  bool BelongsTo(const Interpreter* runtime) const;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return references_.fetch_add(1) + 1; }
  ULONG Release() override;
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  /// Public members by name: DISPID 1 + member index; the default member also as DISPID_VALUE.
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* dispids) override;
  HRESULT Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argument_error) override;
  std::u16string_view TypeName() override { return info_->name; }

 private:
  ScriptInstance(Interpreter* runtime, const ClassInfo* info, LoadedUnit* unit, size_t field_count);
  ~ScriptInstance();

  std::weak_ptr<Interpreter> runtime_;
  const Interpreter* runtime_identity_;
  uint64_t generation_;
  const ClassInfo* info_;
  LoadedUnit* unit_;
  std::shared_ptr<const CodeUnit> code_;  // keeps info_ alive as long as the instance
  std::unique_ptr<Variant[]> fields_;
  std::atomic<ULONG> references_{1};
  bool terminated_ = false;
};

/// The object GetRef returns: its default member calls the procedure.
class FunctionReference final : public IDispatch {
 public:
  static ComPtr<FunctionReference> Create(Interpreter* runtime, const Procedure* procedure,
                                          LoadedUnit* unit);

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return references_.fetch_add(1) + 1; }
  ULONG Release() override;
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* dispids) override;
  HRESULT Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argument_error) override;

 private:
  FunctionReference(Interpreter* runtime, const Procedure* procedure, LoadedUnit* unit);
  ~FunctionReference();

  std::weak_ptr<Interpreter> runtime_;
  uint64_t generation_;
  const Procedure* procedure_;
  LoadedUnit* unit_;
  std::shared_ptr<const CodeUnit> code_;
  std::atomic<ULONG> references_{1};
};

}  // namespace vbscript
