#include "platform/jscript/heap_resource.h"

#include "platform/jscript/heap_stash.h"
#include "platform/jscript/script_heap.h"

namespace jscript {
namespace {

duk_ret_t FinalizeResource(duk_context* ctx) {
  GetKey(ctx, 0, kHiddenResource);
  std::unique_ptr<HeapResource> resource(static_cast<HeapResource*>(duk_get_pointer(ctx, -1)));
  duk_pop(ctx);
  if (!resource) return 0;
  duk_push_pointer(ctx, nullptr);
  PutKey(ctx, 0, kHiddenResource);
  return 0;
}

}  // namespace

HeapResource::HeapResource(duk_context* ctx, Kind kind) : heap_(ScriptHeap::Of(ctx)), kind_(kind) {
  heap_->Track(this);
}

HeapResource::~HeapResource() { heap_->Untrack(this); }

void AttachResource(duk_context* ctx, duk_idx_t object_index, std::unique_ptr<HeapResource> resource) {
  object_index = duk_normalize_index(ctx, object_index);
  duk_push_c_function(ctx, FinalizeResource, 2);
  duk_set_finalizer(ctx, object_index);
  duk_push_pointer(ctx, resource.get());
  PutKey(ctx, object_index, kHiddenResource);
  resource.release();
}

HeapResource* ResourceAt(duk_context* ctx, duk_idx_t index, HeapResource::Kind kind) {
  if (!duk_is_object(ctx, index)) return nullptr;
  GetKey(ctx, index, kHiddenResource);
  auto* resource = static_cast<HeapResource*>(duk_get_pointer(ctx, -1));
  duk_pop(ctx);
  return resource != nullptr && resource->kind() == kind ? resource : nullptr;
}

}  // namespace jscript
