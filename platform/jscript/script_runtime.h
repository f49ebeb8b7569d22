#pragma once
// One run of an engine: a heap borrowed from the pool with the run's own global object, the
// named items bound on first use, the texts run in it, and the stops and errors of the run.
// The engine makes a runtime when it starts and drops it when it returns to the initialized
// state or closes, which gives the heap back.
//
// Threads: every use of the heap holds the runtime's lock (a recursive mutex, since a script
// may call the host, which calls back into the script). Script objects handed to the host keep
// a link to the runtime; a call through one from another thread while the heap is busy fails
// rather than waits, and one after the run ended fails with "Can't execute code from a freed
// script".

#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "duktape.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"
#include "platform/jscript/script_errors.h"

struct TypeLibrary;

namespace jscript {

class ScriptHeap;
class ScriptRuntime;
struct CompiledText;

/// An error of a run: the exception and where it arose.
struct RunError {
  HRESULT scode = S_OK;
  std::u16string description;
  std::u16string source;
  ErrorPlace place;
};

enum class RunOutcome {
  Completed,
  Stopped,  // ended by the host (Response.End) or an interrupt without exception: no error
  Failed,   // last_error() says why
};

/// What a runtime asks of its engine: the object behind a named item.
class RuntimeHost {
 public:
  virtual Result<ComPtr<IDispatch>> NamedItemObject(std::u16string_view name) = 0;

 protected:
  ~RuntimeHost() = default;
};

/// Shared by a runtime and the script objects it handed out.
struct RuntimeLink {
  std::recursive_mutex lock;              // held by every use of the heap
  ScriptRuntime* runtime = nullptr;       // null once the run ended (guarded by lock)
  std::mutex released_mutex;
  std::vector<uint32_t> released;         // script objects the host let go of
};

class ScriptRuntime {
 public:
  /// A runtime on a heap from the pool; null when no heap can be had.
  static std::unique_ptr<ScriptRuntime> Create(RuntimeHost* host);
  ~ScriptRuntime();
  ScriptRuntime(const ScriptRuntime&) = delete;
  ScriptRuntime& operator=(const ScriptRuntime&) = delete;

  /// The runtime of the heap a native function runs in (null outside runs).
  static ScriptRuntime* Of(duk_context* ctx);

  duk_context* context() const;
  std::recursive_mutex& lock() const { return link_->lock; }
  const std::shared_ptr<RuntimeLink>& link() const { return link_; }

  /// A name the script sees: the host's object (bound on first use), or with `global_members`
  /// its members as global names.
  Result<void> AddNamedItem(std::u16string_view name, bool global_members);

  /// The constants of a type library as read-only globals.
  Result<void> AddConstants(const TypeLibrary& library);

  /// Runs a text in the run's global scope; an expression's value goes to `result`.
  RunOutcome Run(const CompiledText& text, Variant* result);

  /// The script's global names for the host (GetScriptDispatch): whether one exists (its
  /// spelling in the script into `actual`; names are matched exactly, else ignoring case), and
  /// calls, reads and writes of one.
  bool FindGlobal(std::u16string_view name, std::u16string* actual);
  RunOutcome InvokeGlobal(std::u16string_view name, WORD flags, std::span<const VARIANT> arguments,
                          Variant* result);

  /// Script objects handed to the host: the value at `index` kept under a key, and calls,
  /// reads and writes of it (`member` empty: the value itself).
  uint32_t RetainValue(duk_context* ctx, duk_idx_t index);
  void PushRetainedValue(duk_context* ctx, uint32_t key);
  RunOutcome InvokeRetained(uint32_t key, std::u16string_view member, WORD flags,
                            std::span<const VARIANT> arguments, Variant* result);
  /// The elements of a retained array (For Each over it); ObjectNotACollection (451) for any
  /// other value.
  Result<std::vector<Variant>> RetainedElements(uint32_t key);

  const RunError& last_error() const { return last_error_; }

  /// Any thread: ends the running script, as an error with `exception`, or without an error
  /// when it is null. A stop that comes while nothing runs is forgotten.
  void Interrupt(const EXCEPINFO* exception);
  /// Inside a host call that returned SCRIPT_E_STOP_WITHOUT_ERROR: the run ends without error.
  void StopFromHost();
  /// The error hooks: where the last throw happened.
  void RecordThrowPlace(const ErrorPlace& place) { last_throw_place_ = place; }

  /// The object of a named item, asked of the engine once per run.
  Result<ComPtr<IDispatch>> NamedItemObject(std::u16string_view name);
  /// The first global-members item with a member of this name, with the member's id; null when none has one.
  ComPtr<IDispatch> GlobalMemberOwner(std::u16string_view name, DISPID* member);

 private:
  explicit ScriptRuntime(RuntimeHost* host);

  struct NamedItem {
    std::u16string name;
    bool global_members;
    ComPtr<IDispatch> object;  // bound on first use
  };

  // Entering and leaving a run at any depth.
  class Entry;
  RunOutcome Finish(duk_int_t status, duk_context* ctx);
  void DrainReleased(duk_context* ctx);
  void DefineFreeNames(duk_context* ctx, const CompiledText& text);
  bool IsNamedItem(std::u16string_view name) const;
  void ErrorFromValue(duk_context* ctx, duk_idx_t index);

  std::unique_ptr<ScriptHeap> heap_;
  RuntimeHost* host_;
  std::shared_ptr<RuntimeLink> link_;
  std::vector<NamedItem> items_;
  bool has_global_members_ = false;
  std::unordered_set<std::u16string> free_names_defined_;
  int depth_ = 0;
  uint32_t next_key_ = 1;
  std::mutex stop_mutex_;
  std::optional<RunError> stop_error_;  // guarded by stop_mutex_
  ErrorPlace last_throw_place_;
  RunError last_error_;
};

}  // namespace jscript
