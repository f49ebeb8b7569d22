#pragma once
// A Duktape heap prepared for JScript, and the pool that lends heaps to runs.
//
// Creating a heap with its built-in objects costs almost a millisecond, far more than a small
// page's run, so heaps are reused: a run borrows one, gets a fresh global object of its own (its
// prototype is the heap's pristine global, so every built-in name resolves while the run's
// variables and functions land on the run's object), and gives it back. No run sees what an
// earlier run did to the built-ins: their methods are frozen when the heap is made, and every
// other built-in object (prototypes, constructors, Math, ...) is compared with its image at the
// end of each run and put back as it was made when a run changed it (`String.prototype.trim =
// ...`). A heap whose built-ins cannot be put back (one was frozen by a script), or whose
// memory stays well above its starting size, is destroyed instead. What the run's values hold
// outside the heap (host objects) is let go when the run ends, whether or not the values are
// garbage yet.
//
// Memory: every allocation of a heap counts against its limit; past it allocations fail and
// the script gets "Out of memory" (one script cannot take the process).
// Stops: RequestStop may be called from any thread; the running script notices within a few
// hundred thousand instructions (Duktape's interrupt counter) and unwinds every try/catch.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "duktape.h"
#include "platform/jscript/duktape_internal.h"

namespace jscript {

/// The most bytes one heap may hold.
inline constexpr size_t kHeapMemoryLimit = size_t{256} << 20;

class HeapResource;
class ScriptRuntime;

class ScriptHeap {
 public:
  /// A new heap with JScript's built-ins; null when memory runs out.
  static std::unique_ptr<ScriptHeap> Create(size_t memory_limit = kHeapMemoryLimit);
  ~ScriptHeap();
  ScriptHeap(const ScriptHeap&) = delete;
  ScriptHeap& operator=(const ScriptHeap&) = delete;

  /// The heap of a context (its allocator data).
  static ScriptHeap* Of(duk_context* ctx);

  duk_context* context() const { return context_; }
  size_t bytes_in_use() const { return bytes_in_use_; }

  /// Any thread: the running script is to stop.
  void RequestStop() { stop_requested_.store(true, std::memory_order_relaxed); }
  bool stop_requested() const { return stop_requested_.load(std::memory_order_relaxed); }
  void ClearStop() { stop_requested_.store(false, std::memory_order_relaxed); }

  /// Gives the heap's thread a fresh global object for a run.
  void BeginRun(ScriptRuntime* runtime);
  /// Ends the run's global object; true when the heap may serve another run.
  bool EndRun();
  /// The runtime using the heap, null between runs.
  ScriptRuntime* runtime() const { return runtime_; }

  /// The resources the heap's values hold (see heap_resource.h).
  void Track(HeapResource* resource) { resources_.insert(resource); }
  void Untrack(HeapResource* resource) { resources_.erase(resource); }

 private:
  explicit ScriptHeap(size_t memory_limit) : memory_limit_(memory_limit) {}
  bool Initialize();
  bool RestoreBuiltins();

  static void* Allocate(void* data, duk_size_t size);
  static void* Reallocate(void* data, void* block, duk_size_t size);
  static void Free(void* data, void* block);
  static void Fatal(void* data, const char* message);

  duk_context* context_ = nullptr;
  size_t memory_limit_;
  size_t bytes_in_use_ = 0;
  size_t bytes_at_start_ = 0;
  std::atomic<bool> stop_requested_{false};
  ScriptRuntime* runtime_ = nullptr;
  std::unordered_set<HeapResource*> resources_;
  std::vector<void*> builtins_;               // watched; kept alive by the stash entry kStashBuiltins
  std::vector<std::vector<uint64_t>> images_;  // of each watched object
  std::vector<ObjectSnapshot> snapshots_;      // of each watched object: the fast first test
};

/// A heap for a run or a compilation: an idle one from the pool, else a new one (null when
/// memory runs out).
std::unique_ptr<ScriptHeap> AcquireHeap();
/// Returns a heap after EndRun said it may be reused (`reusable`); else it is destroyed.
void ReleaseHeap(std::unique_ptr<ScriptHeap> heap, bool reusable);

}  // namespace jscript
