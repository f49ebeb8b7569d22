#include "platform/jscript/script_heap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/jscript/builtins.h"
#include "platform/jscript/duktape_internal.h"
#include "platform/jscript/heap_resource.h"
#include "platform/jscript/heap_stash.h"
#include "platform/jscript/host_object.h"
#include "platform/system/stack_guard.h"

// Duktape's execution check (DUK_USE_EXEC_TIMEOUT_CHECK): nonzero stops the running script.
extern "C" int WendrelDuktapeInterrupted(void* heap_data) {
  return heap_data != nullptr && static_cast<jscript::ScriptHeap*>(heap_data)->stop_requested() ? 1 : 0;
}

// Duktape's native stack check (DUK_USE_NATIVE_STACK_CHECK): nonzero raises "Out of stack
// space" before a recursion in C would exhaust the thread's stack.
extern "C" int WendrelDuktapeStackLow(void) { return ThreadStackIsLow() ? 1 : 0; }

namespace jscript {
namespace {

// Every block carries its size in front, aligned for any type.
constexpr size_t kBlockHeader = alignof(std::max_align_t);
// A run that leaves more than this above the heap's starting size is collected at its end
// (smaller garbage waits for Duktape's own collections), and a heap still that far above it
// after collection is not reused.
constexpr size_t kCollectAbove = size_t{1} << 20;
constexpr size_t kReuseAbove = size_t{8} << 20;
// Idle heaps kept for later runs (about 300 KB each).
constexpr size_t kMaxIdleHeaps = 16;

size_t& BlockSize(void* block) { return *static_cast<size_t*>(block); }

struct HeapPool {
  std::mutex mutex;
  std::vector<std::unique_ptr<ScriptHeap>> idle;
};

HeapPool& Pool() {
  static HeapPool pool;
  return pool;
}

// Set-up inside a protected call: any failure (memory) leaves the heap unusable.
duk_ret_t SetUpHeap(duk_context* ctx, void*) {
  InstallBuiltins(ctx);
  InstallHostBridge(ctx);
  duk_push_global_object(ctx);
  PutStashEntry(ctx, kStashPristineGlobal);
  return 0;
}

// Own keys as scripts see them (hidden keys are Duktape's and the engine's own).
constexpr duk_uint_t kScriptKeys = DUK_ENUM_OWN_PROPERTIES_ONLY | DUK_ENUM_INCLUDE_NONENUMERABLE |
                                   DUK_ENUM_INCLUDE_SYMBOLS | DUK_ENUM_NO_PROXY_BEHAVIOR;

// Appends to `list` (an array at `list_index`) the object value at the top of the stack unless
// `seen` holds it already; pops the value.
void CollectObject(duk_context* ctx, duk_idx_t list_index, std::unordered_set<void*>* seen) {
  if (duk_is_object(ctx, -1) && seen->insert(duk_get_heapptr(ctx, -1)).second) {
    duk_put_prop_index(ctx, list_index, static_cast<duk_uarridx_t>(duk_get_length(ctx, list_index)));
    return;
  }
  duk_pop(ctx);
}

// Adds the objects an object refers to by its own properties (values and accessors) and its
// prototype.
void CollectReferences(duk_context* ctx, duk_idx_t object_index, duk_idx_t list_index,
                       std::unordered_set<void*>* seen) {
  duk_get_prototype(ctx, object_index);
  CollectObject(ctx, list_index, seen);
  duk_enum(ctx, object_index, kScriptKeys | DUK_ENUM_INCLUDE_HIDDEN);
  while (duk_next(ctx, -1, 0)) {
    duk_get_prop_desc(ctx, object_index, 0);  // [enum descriptor]
    for (const char* field : {"value", "get", "set"}) {
      duk_get_prop_string(ctx, -1, field);
      CollectObject(ctx, list_index, seen);
    }
    duk_pop(ctx);
  }
  duk_pop(ctx);
}

// The own properties of the object at `object_index` as [key, descriptor, key, ...] and its
// prototype: {prototype, properties}.
void PushSnapshot(duk_context* ctx, duk_idx_t object_index) {
  duk_push_object(ctx);
  duk_get_prototype(ctx, object_index);
  duk_put_prop_string(ctx, -2, "prototype");
  duk_push_array(ctx);
  duk_uarridx_t count = 0;
  duk_enum(ctx, object_index, kScriptKeys);
  while (duk_next(ctx, -1, 0)) {
    duk_dup_top(ctx);
    duk_put_prop_index(ctx, -4, count++);
    duk_get_prop_desc(ctx, object_index, 0);
    duk_put_prop_index(ctx, -3, count++);
  }
  duk_pop(ctx);
  duk_put_prop_string(ctx, -2, "properties");
}

// Every object a script can reach from the heap's globals and built-ins: methods (functions
// that are no constructors) are frozen, so that no run can change them; every other object is
// watched and its properties kept, so that a run's changes can be undone.
duk_ret_t RecordBuiltinObjects(duk_context* ctx, void* data) {
  auto* watched = static_cast<std::vector<void*>*>(data);
  std::unordered_set<void*> seen;
  duk_push_array(ctx);
  duk_idx_t list = duk_get_top_index(ctx);
  duk_push_global_object(ctx);
  CollectObject(ctx, list, &seen);
  PushInternalBuiltins(ctx);
  duk_size_t internal_count = duk_get_length(ctx, -1);
  for (duk_uarridx_t i = 0; i < internal_count; ++i) {
    duk_get_prop_index(ctx, -1, i);
    CollectObject(ctx, list, &seen);
  }
  duk_pop(ctx);
  for (duk_uarridx_t i = 0; i < duk_get_length(ctx, list); ++i) {
    duk_get_prop_index(ctx, list, i);
    CollectReferences(ctx, duk_get_top_index(ctx), list, &seen);
    duk_pop(ctx);
  }
  duk_push_array(ctx);  // watched objects
  duk_push_array(ctx);  // their snapshots
  duk_uarridx_t watched_count = 0;
  duk_size_t total = duk_get_length(ctx, list);
  for (duk_uarridx_t i = 0; i < total; ++i) {
    duk_get_prop_index(ctx, list, i);
    duk_idx_t object = duk_get_top_index(ctx);
    if (duk_is_function(ctx, object) && !duk_has_prop_string(ctx, object, "prototype")) {
      duk_freeze(ctx, object);
      duk_pop(ctx);
      continue;
    }
    watched->push_back(duk_get_heapptr(ctx, object));
    PushSnapshot(ctx, object);
    duk_put_prop_index(ctx, -3, watched_count);
    duk_put_prop_index(ctx, -3, watched_count++);
  }
  PutStashEntry(ctx, kStashSnapshots);
  PutStashEntry(ctx, kStashBuiltins);
  return 0;
}

// The keys of a snapshot's properties ([key, descriptor, ...] at `properties`).
std::unordered_set<std::string> SnapshotKeys(duk_context* ctx, duk_idx_t properties) {
  std::unordered_set<std::string> keys;
  duk_size_t count = duk_get_length(ctx, properties);
  for (duk_uarridx_t i = 0; i < count; i += 2) {
    duk_get_prop_index(ctx, properties, i);
    duk_size_t length = 0;
    const char* key = duk_get_lstring(ctx, -1, &length);
    keys.emplace(key, length);
    duk_pop(ctx);
  }
  return keys;
}

// Deletes the own properties of the object that the snapshot does not have; a non-configurable
// one raises an error.
void DeleteAddedProperties(duk_context* ctx, duk_idx_t object, const std::unordered_set<std::string>& keys) {
  duk_enum(ctx, object, kScriptKeys);
  while (duk_next(ctx, -1, 0)) {
    duk_size_t length = 0;
    const char* key = duk_get_lstring(ctx, -1, &length);
    if (keys.contains(std::string(key, length))) {
      duk_pop(ctx);
      continue;
    }
    duk_del_prop(ctx, object);
  }
  duk_pop(ctx);
}

// The attribute flags of duk_def_prop for one descriptor field.
duk_uint_t AttributeFlag(duk_context* ctx, duk_idx_t descriptor, const char* field, duk_uint_t set, duk_uint_t clear) {
  bool on = duk_get_prop_string(ctx, descriptor, field) && duk_get_boolean(ctx, -1);
  duk_pop(ctx);
  return on ? set : clear;
}

// Defines the property again as the descriptor at the top of the stack says (over anything a
// run made of it, non-configurable or not); pops the key and the descriptor.
void RestoreProperty(duk_context* ctx, duk_idx_t object) {
  duk_idx_t descriptor = duk_get_top_index(ctx);
  duk_uint_t flags = DUK_DEFPROP_FORCE |
                     AttributeFlag(ctx, descriptor, "enumerable", DUK_DEFPROP_SET_ENUMERABLE,
                                   DUK_DEFPROP_CLEAR_ENUMERABLE) |
                     AttributeFlag(ctx, descriptor, "configurable", DUK_DEFPROP_SET_CONFIGURABLE,
                                   DUK_DEFPROP_CLEAR_CONFIGURABLE);
  if (duk_has_prop_string(ctx, descriptor, "value")) {
    flags |= DUK_DEFPROP_HAVE_VALUE |
             AttributeFlag(ctx, descriptor, "writable", DUK_DEFPROP_SET_WRITABLE, DUK_DEFPROP_CLEAR_WRITABLE);
    duk_get_prop_string(ctx, descriptor, "value");
  } else {
    flags |= DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER;
    duk_get_prop_string(ctx, descriptor, "get");
    duk_get_prop_string(ctx, descriptor, "set");
  }
  duk_remove(ctx, descriptor);
  duk_def_prop(ctx, object, flags);
}

// Puts a watched built-in object back as it was made: properties a run added go, changed and
// deleted ones come back, and so does the prototype. Fails (and the heap is not reused) for
// what cannot be undone: an object made non-extensible, a non-configurable property added.
duk_ret_t RestoreBuiltinObject(duk_context* ctx, void* data) {
  auto index = static_cast<duk_uarridx_t>(reinterpret_cast<uintptr_t>(data));
  PushStashEntry(ctx, kStashBuiltins);
  duk_get_prop_index(ctx, -1, index);
  duk_idx_t object = duk_get_top_index(ctx);
  if (!ObjectIsExtensible(duk_get_heapptr(ctx, object))) return duk_error(ctx, DUK_ERR_ERROR, "not extensible");
  PushStashEntry(ctx, kStashSnapshots);
  duk_get_prop_index(ctx, -1, index);
  duk_idx_t snapshot = duk_get_top_index(ctx);
  duk_get_prop_string(ctx, snapshot, "properties");
  duk_idx_t properties = duk_get_top_index(ctx);
  DeleteAddedProperties(ctx, object, SnapshotKeys(ctx, properties));
  duk_size_t count = duk_get_length(ctx, properties);
  for (duk_uarridx_t i = 0; i < count; i += 2) {
    duk_get_prop_index(ctx, properties, i);
    duk_get_prop_index(ctx, properties, i + 1);
    RestoreProperty(ctx, object);
  }
  duk_get_prop_string(ctx, snapshot, "prototype");
  duk_set_prototype(ctx, object);
  return 0;
}

duk_ret_t RestorePristineGlobal(duk_context* ctx, void*) {
  PushStashEntry(ctx, kStashRun);
  bool had_run = !duk_is_undefined(ctx, -1);
  duk_pop(ctx);
  if (had_run) {
    duk_push_undefined(ctx);
    PutStashEntry(ctx, kStashRun);
  }
  PushStashEntry(ctx, kStashPristineGlobal);
  duk_set_global_object(ctx);
  return 0;
}

duk_ret_t CollectGarbage(duk_context* ctx, void*) {
  duk_gc(ctx, 0);
  return 0;
}

}  // namespace

std::unique_ptr<ScriptHeap> ScriptHeap::Create(size_t memory_limit) {
  std::unique_ptr<ScriptHeap> heap(new (std::nothrow) ScriptHeap(memory_limit));
  if (!heap || !heap->Initialize()) return nullptr;
  return heap;
}

bool ScriptHeap::Initialize() {
  context_ = duk_create_heap(&Allocate, &Reallocate, &Free, this, &Fatal);
  if (context_ == nullptr) return false;
  if (duk_safe_call(context_, SetUpHeap, nullptr, 0, 1) != DUK_EXEC_SUCCESS) return false;
  duk_pop(context_);
  if (duk_safe_call(context_, RecordBuiltinObjects, &builtins_, 0, 1) != DUK_EXEC_SUCCESS) return false;
  duk_pop(context_);
  duk_gc(context_, 0);
  images_.resize(builtins_.size());
  snapshots_.resize(builtins_.size());
  for (size_t i = 0; i < builtins_.size(); ++i) {
    AppendObjectImage(context_, builtins_[i], &images_[i]);
    TakeObjectSnapshot(context_, builtins_[i], &snapshots_[i]);
  }
  bytes_at_start_ = bytes_in_use_;
  return true;
}

ScriptHeap::~ScriptHeap() {
  if (context_ != nullptr) duk_destroy_heap(context_);
}

ScriptHeap* ScriptHeap::Of(duk_context* ctx) {
  duk_memory_functions functions{};
  duk_get_memory_functions(ctx, &functions);
  return static_cast<ScriptHeap*>(functions.udata);
}

// Each watched built-in object is as its image says, or is put back as it was made; false
// when one cannot be put back. Storage that is byte for byte as it was needs no closer look.
bool ScriptHeap::RestoreBuiltins() {
  for (size_t i = 0; i < builtins_.size(); ++i) {
    if (ObjectMatchesSnapshot(context_, builtins_[i], snapshots_[i])) continue;
    size_t position = 0;
    if (ObjectKeepsImage(context_, builtins_[i], images_[i], &position) && position == images_[i].size()) {
      TakeObjectSnapshot(context_, builtins_[i], &snapshots_[i]);
      continue;
    }
    void* index = reinterpret_cast<void*>(static_cast<uintptr_t>(i));
    bool restored = duk_safe_call(context_, RestoreBuiltinObject, index, 0, 1) == DUK_EXEC_SUCCESS;
    duk_set_top(context_, 0);
    if (!restored) return false;
    images_[i].clear();
    AppendObjectImage(context_, builtins_[i], &images_[i]);
    TakeObjectSnapshot(context_, builtins_[i], &snapshots_[i]);
  }
  return true;
}

void ScriptHeap::BeginRun(ScriptRuntime* runtime) {
  runtime_ = runtime;
  ClearStop();
}

bool ScriptHeap::EndRun() {
  runtime_ = nullptr;
  duk_set_top(context_, 0);
  bool restored = duk_safe_call(context_, RestorePristineGlobal, nullptr, 0, 1) == DUK_EXEC_SUCCESS;
  duk_pop(context_);
  // Each resource is let go of once; its holder (garbage now) stays until collected.
  std::unordered_set<HeapResource*> resources;
  resources.swap(resources_);
  for (HeapResource* resource : resources) resource->ReleaseExternal();
  if (bytes_in_use_ > bytes_at_start_ + kCollectAbove) {
    duk_safe_call(context_, CollectGarbage, nullptr, 0, 1);
    duk_pop(context_);
  }
  ClearStop();
  if (!restored || bytes_in_use_ > bytes_at_start_ + kReuseAbove) return false;
  return RestoreBuiltins();
}

void* ScriptHeap::Allocate(void* data, duk_size_t size) {
  auto* heap = static_cast<ScriptHeap*>(data);
  if (size > heap->memory_limit_ - std::min(heap->memory_limit_, heap->bytes_in_use_)) return nullptr;
  void* block = std::malloc(size + kBlockHeader);
  if (block == nullptr) return nullptr;
  BlockSize(block) = size;
  heap->bytes_in_use_ += size;
  return static_cast<char*>(block) + kBlockHeader;
}

void* ScriptHeap::Reallocate(void* data, void* block, duk_size_t size) {
  if (block == nullptr) return Allocate(data, size);
  if (size == 0) {
    Free(data, block);
    return nullptr;
  }
  auto* heap = static_cast<ScriptHeap*>(data);
  void* start = static_cast<char*>(block) - kBlockHeader;
  size_t old_size = BlockSize(start);
  if (size > old_size && size - old_size > heap->memory_limit_ - std::min(heap->memory_limit_, heap->bytes_in_use_)) {
    return nullptr;
  }
  void* moved = std::realloc(start, size + kBlockHeader);
  if (moved == nullptr) return nullptr;
  BlockSize(moved) = size;
  heap->bytes_in_use_ = heap->bytes_in_use_ - old_size + size;
  return static_cast<char*>(moved) + kBlockHeader;
}

void ScriptHeap::Free(void* data, void* block) {
  if (block == nullptr) return;
  auto* heap = static_cast<ScriptHeap*>(data);
  void* start = static_cast<char*>(block) - kBlockHeader;
  heap->bytes_in_use_ -= BlockSize(start);
  std::free(start);
}

// Duktape reaches this only for an error outside every protected call, which the engine never
// makes; there is no way to continue.
void ScriptHeap::Fatal(void*, const char* message) {
  std::fprintf(stderr, "jscript: fatal Duktape error: %s\n", message != nullptr ? message : "");
  std::abort();
}

std::unique_ptr<ScriptHeap> AcquireHeap() {
  {
    HeapPool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    if (!pool.idle.empty()) {
      std::unique_ptr<ScriptHeap> heap = std::move(pool.idle.back());
      pool.idle.pop_back();
      return heap;
    }
  }
  return ScriptHeap::Create();
}

void ReleaseHeap(std::unique_ptr<ScriptHeap> heap, bool reusable) {
  if (!heap || !reusable) return;
  HeapPool& pool = Pool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  if (pool.idle.size() < kMaxIdleHeaps) pool.idle.push_back(std::move(heap));
}

}  // namespace jscript
