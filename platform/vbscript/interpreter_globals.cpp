// Global names: the slot table, binding loaded units to it, the lookup of names nobody declared
// (named items, Err, the engine's functions, the library, type-library constants, members of
// global-members items), the views Execute gets of a procedure's scope, and Reset.
#include "platform/automation/dispatch_call.h"
#include "platform/automation/locale.h"
#include "platform/automation/text_case.h"
#include "platform/vbscript/err_object.h"
#include "platform/vbscript/interpreter.h"
#include "platform/vbscript/script_class.h"

namespace vbscript {
namespace {

struct EngineFunctionName {
  std::u16string_view name;
  EngineFunction function;
};

constexpr EngineFunctionName kEngineFunctions[] = {
    {u"Eval", EngineFunction::Eval},
    {u"Execute", EngineFunction::Execute},
    {u"ExecuteGlobal", EngineFunction::ExecuteGlobal},
    {u"GetRef", EngineFunction::GetRef},
    {u"CreateObject", EngineFunction::CreateObject},
    {u"GetObject", EngineFunction::GetObject},
};

constexpr std::u16string_view kErrName = u"Err";

ExecuteScope& ScopeOf(Frame& frame) {
  if (!frame.execute) frame.execute = std::make_unique<ExecuteScope>();
  return *frame.execute;
}

// Passes of Reset over the globals: Class_Terminate code may store new objects while the
// first pass releases the old ones.
constexpr int kResetPasses = 3;

}  // namespace

GlobalSlot* Interpreter::SlotFor(std::u16string_view name) {
  std::u16string key = ToUpper(name);
  if (auto found = global_index_.find(key); found != global_index_.end()) return found->second;
  return NewSlot(name);
}

GlobalSlot* Interpreter::NewSlot(std::u16string_view name) {
  auto slot = std::make_unique<GlobalSlot>(std::u16string(name));
  GlobalSlot* raw = slot.get();
  globals_.push_back(std::move(slot));
  global_index_.emplace(ToUpper(name), raw);
  return raw;
}

// A name gains a definition; names looked up in vain before are looked up again.
void Interpreter::Define(GlobalSlot* slot, SlotKind kind) {
  slot->kind = kind;
  ++definitions_;
}

Result<void> Interpreter::ResolveSlot(GlobalSlot* slot) {
  if (slot->kind != SlotKind::Undefined || slot->checked_generation == definitions_) return {};
  slot->checked_generation = definitions_;
  if (ResolveHostName(slot) || ResolveLibraryName(slot)) return {};
  for (const NamedItem& item : named_items_) {
    if (!item.global_members) continue;
    GlobalSlot* item_slot = SlotFor(item.name);
    TRY(ResolveSlot(item_slot));
    if (item_slot->kind != SlotKind::NamedItem) continue;
    TRY(BindNamedItem(item_slot));
    IDispatch* object = item_slot->value.vt == VT_DISPATCH ? item_slot->value.pdispVal : nullptr;
    Result<DISPID> member = GetDispatchId(object, slot->name);
    if (!member.ok()) continue;
    slot->member_owner = ComPtr<IDispatch>(object);
    slot->member_id = member.value();
    slot->kind = SlotKind::GlobalMember;
    return {};
  }
  return {};
}

// Named items, Err and the engine's own functions.
bool Interpreter::ResolveHostName(GlobalSlot* slot) {
  for (const NamedItem& item : named_items_) {
    if (!EqualsIgnoringCase(item.name, slot->name)) continue;
    slot->kind = SlotKind::NamedItem;
    return true;
  }
  if (EqualsIgnoringCase(slot->name, kErrName)) {
    slot->value = Variant::FromDispatch(err_.get());
    slot->kind = SlotKind::Constant;
    return true;
  }
  for (const EngineFunctionName& entry : kEngineFunctions) {
    if (!EqualsIgnoringCase(entry.name, slot->name)) continue;
    slot->engine_function = entry.function;
    slot->kind = SlotKind::EngineFunction;
    return true;
  }
  return false;
}

// The function library, its constants and the constants of added type libraries.
bool Interpreter::ResolveLibraryName(GlobalSlot* slot) {
  if (const BuiltinEntry* entry = FindBuiltin(slot->name)) {
    slot->builtin = entry;
    slot->kind = SlotKind::Builtin;
    return true;
  }
  if (const BuiltinConstant* constant = FindBuiltinConstant(slot->name)) {
    slot->value = constant->Value();
    slot->kind = SlotKind::Constant;
    return true;
  }
  for (const TypeLibrary* library : libraries_) {
    std::optional<int32_t> value = FindLibraryConstant(*library, slot->name);
    if (!value) continue;
    slot->value = Variant::FromI4(*value);
    slot->kind = SlotKind::Constant;
    return true;
  }
  return false;
}

Result<void> Interpreter::BindNamedItem(GlobalSlot* slot) {
  if (slot->value.vt == VT_DISPATCH) return {};
  ComPtr<IDispatch> object = TRY(host_->NamedItemObject(slot->name));
  slot->value = Variant::FromDispatch(object.get());
  return {};
}

void Interpreter::AddNamedItem(std::u16string_view name, bool global_members) {
  named_items_.push_back({std::u16string(name), global_members});
  GlobalSlot* slot = SlotFor(name);
  if (slot->kind == SlotKind::Undefined) slot->checked_generation = ~uint64_t{0};
  ++definitions_;
}

void Interpreter::AddTypeLibrary(const TypeLibrary* library) {
  libraries_.push_back(library);
  ++definitions_;
}

// Binds a unit's declarations: globally, or for Execute'd code into the procedure `scope`.
void Interpreter::DeclareUnit(LoadedUnit* unit, Frame* scope) {
  const CodeUnit& code = *unit->code;
  for (const GlobalDeclaration& declaration : code.declarations) {
    const std::u16string& name = code.global_names[declaration.name];
    bool is_data = declaration.kind == GlobalDeclaration::Kind::Variable ||
                   declaration.kind == GlobalDeclaration::Kind::Constant;
    GlobalSlot* slot = nullptr;
    if (scope != nullptr && declaration.kind == GlobalDeclaration::Kind::Procedure) {
      // A procedure Execute defines inside a procedure sees the globals, not that procedure's
      // locals, and can be called only from that procedure while it runs.
      slot = ScopeOf(*scope).declared.emplace_back(std::make_unique<GlobalSlot>(name)).get();
    } else if (scope != nullptr && is_data) {
      slot = LocalAlias(*scope, name);
      if (slot != nullptr && declaration.kind == GlobalDeclaration::Kind::Variable) continue;
      if (slot == nullptr) {
        slot = ScopeOf(*scope).declared.emplace_back(std::make_unique<GlobalSlot>(name)).get();
      }
    } else {
      slot = unit->links[declaration.name];
    }
    slot->is_public = declaration.is_public;
    switch (declaration.kind) {
      case GlobalDeclaration::Kind::Variable:
        if (slot->kind != SlotKind::Variable) {
          slot->value.Clear();
          slot->declared_by = unit;
          Define(slot, SlotKind::Variable);
        }
        break;
      case GlobalDeclaration::Kind::Constant:
        slot->value = code.constants[declaration.index];
        Define(slot, SlotKind::Constant);
        break;
      case GlobalDeclaration::Kind::Procedure:
        slot->value.Clear();
        slot->procedure = code.procedures[declaration.index].get();
        slot->unit = unit;
        Define(slot, SlotKind::Procedure);
        break;
      case GlobalDeclaration::Kind::Class:
        slot->value.Clear();
        slot->class_info = code.classes[declaration.index].get();
        slot->unit = unit;
        Define(slot, SlotKind::Class);
        break;
    }
  }
}

LoadedUnit* Interpreter::LinkUnit(std::shared_ptr<const CodeUnit> code, Frame* scope) {
  auto unit = std::make_unique<LoadedUnit>();
  unit->code = std::move(code);
  unit->member_caches.resize(unit->code->member_names.size());
  unit->links.reserve(unit->code->global_names.size());
  for (const std::u16string& name : unit->code->global_names) unit->links.push_back(SlotFor(name));
  LoadedUnit* raw = unit.get();
  units_.push_back(std::move(unit));
  DeclareUnit(raw, scope);
  return raw;
}

LoadedUnit* Interpreter::Load(std::shared_ptr<const CodeUnit> code) { return LinkUnit(std::move(code), nullptr); }

// A unit that defined no procedure or class is needed no more once its code ran; dropping it
// keeps Execute or Eval in a loop from piling units up.
void Interpreter::DropIfSpent(LoadedUnit* unit) {
  if (!unit->code->procedures.empty() || !unit->code->classes.empty()) return;
  for (size_t i = units_.size(); i-- > 0;) {
    if (units_[i].get() != unit) continue;
    units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
}

// The link table Execute'd code uses inside a procedure: the procedure's locals, the names
// earlier Executes declared there, and Me's fields shadow the globals.
GlobalSlot* const* Interpreter::LinkScopeView(LoadedUnit* unit, Frame& scope) {
  auto view = std::make_unique<std::vector<GlobalSlot*>>(unit->links);
  const std::vector<std::u16string>& names = unit->code->global_names;
  for (size_t i = 0; i < names.size(); ++i) {
    if (GlobalSlot* alias = LocalAlias(scope, names[i])) (*view)[i] = alias;
  }
  GlobalSlot* const* table = view->data();
  ScopeOf(scope).views.push_back(std::move(view));
  return table;
}

GlobalSlot* Interpreter::LocalAlias(Frame& scope, std::u16string_view name) {
  ExecuteScope& extras = ScopeOf(scope);
  for (const std::unique_ptr<GlobalSlot>& alias : extras.aliases) {
    if (EqualsIgnoringCase(alias->name, name)) return alias.get();
  }
  for (const std::unique_ptr<GlobalSlot>& slot : extras.declared) {
    if (EqualsIgnoringCase(slot->name, name)) return slot.get();
  }
  VARIANT* storage = nullptr;
  const Procedure& procedure = *scope.procedure;
  const std::vector<std::u16string>& locals = procedure.local_names;
  for (size_t i = 0; i < locals.size() && storage == nullptr; ++i) {
    if (locals[i].empty() || !EqualsIgnoringCase(locals[i], name)) continue;
    // An undeclared name the procedure used is its local only while no global has that name.
    bool implicit = i < procedure.implicit_locals.size() && procedure.implicit_locals[i];
    if (implicit) {
      GlobalSlot* global = SlotFor(name);
      if (!ResolveSlot(global).ok() || global->kind != SlotKind::Undefined) continue;
    }
    storage = &scope.locals[i];
  }
  if (storage == nullptr && scope.me != nullptr) {
    int32_t member = scope.me->class_info()->FindMember(name);
    if (member >= 0 && scope.me->class_info()->members[member].field >= 0) {
      storage = scope.me->field(static_cast<size_t>(scope.me->class_info()->members[member].field));
    }
  }
  if (storage == nullptr) return nullptr;
  auto alias = std::make_unique<GlobalSlot>(std::u16string(name));
  alias->kind = SlotKind::Variable;
  alias->storage = storage;
  return extras.aliases.emplace_back(std::move(alias)).get();
}

// A Const of a later text (Execute, ExecuteGlobal) over a name the scripts already defined is
// Name redefined (1041); a Dim over a constant is allowed and makes it a variable.
Result<void> Interpreter::CheckConstants(const CodeUnit& code, Frame* scope) {
  for (const GlobalDeclaration& declaration : code.declarations) {
    if (declaration.kind != GlobalDeclaration::Kind::Constant) continue;
    const std::u16string& name = code.global_names[declaration.name];
    bool taken = false;
    if (scope != nullptr) {
      taken = LocalAlias(*scope, name) != nullptr;
    } else if (GlobalSlot* slot = FindScriptGlobal(name)) {
      taken = slot->kind != SlotKind::Undefined;
    }
    if (taken) {
      auto number = static_cast<int32_t>(ErrorNumber::NameRedefined);
      return Error::Script(number, std::u16string(StandardErrorDescription(number)),
                           std::u16string(kCompileErrorSource));
    }
  }
  return {};
}

GlobalSlot* Interpreter::ExecutedProcedure(const Frame& frame, std::u16string_view name) const {
  const Frame* scope = frame.scope != nullptr ? frame.scope : &frame;
  if (!scope->execute) return nullptr;
  for (const std::unique_ptr<GlobalSlot>& slot : scope->execute->declared) {
    if (slot->kind == SlotKind::Procedure && EqualsIgnoringCase(slot->name, name)) return slot.get();
  }
  return nullptr;
}

GlobalSlot* Interpreter::FindScriptGlobal(std::u16string_view name) {
  auto found = global_index_.find(ToUpper(name));
  if (found == global_index_.end()) return nullptr;
  SlotKind kind = found->second->kind;
  bool scripted = kind == SlotKind::Variable || kind == SlotKind::Procedure ||
                  (kind == SlotKind::Constant && found->second->name != kErrName);
  return scripted ? found->second : nullptr;
}

int32_t Interpreter::GlobalIndex(const GlobalSlot* slot) const {
  for (size_t i = 0; i < globals_.size(); ++i) {
    if (globals_[i].get() == slot) return static_cast<int32_t>(i);
  }
  return -1;
}

GlobalSlot* Interpreter::GlobalAt(size_t index) const {
  return index < globals_.size() ? globals_[index].get() : nullptr;
}

void Interpreter::Reset() {
  if (!frames_.empty()) return;
  for (int pass = 0; pass < kResetPasses; ++pass) {
    bool released = false;
    for (size_t i = globals_.size(); i-- > 0;) {
      GlobalSlot& slot = *globals_[i];
      if (!OwnsResources(slot.value.vt)) continue;
      VARIANT old = slot.value.Detach();
      if (FAILED(VariantClear(&old))) continue;
      released = true;
    }
    if (!released) break;
  }
  closing_ = true;
  units_.clear();
  global_index_.clear();
  globals_.clear();
  closing_ = false;
  named_items_.clear();
  libraries_.clear();
  err_->Clear();
  ++generation_;
  ++definitions_;
}

}  // namespace vbscript
