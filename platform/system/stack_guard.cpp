#include "platform/system/stack_guard.h"

#include <pthread.h>

#include <algorithm>
#include <cstdint>

namespace {

// The address below which the calling thread's stack counts as low (stacks grow downwards):
// the reserve above its end. 0 when unknown. Read once per thread.
uintptr_t StackLimit() {
  thread_local uintptr_t limit = [] {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return uintptr_t{0};
    void* base = nullptr;
    size_t size = 0;
    int status = pthread_attr_getstack(&attributes, &base, &size);
    pthread_attr_destroy(&attributes);
    if (status != 0) return uintptr_t{0};
    return reinterpret_cast<uintptr_t>(base) + std::min(kMinimumFreeThreadStack, size / 4);
  }();
  return limit;
}

}  // namespace

bool ThreadStackIsLow() {
  uintptr_t limit = StackLimit();
  if (limit == 0) return false;
  auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  return here < limit;
}
