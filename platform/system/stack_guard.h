#pragma once
// How much of the calling thread's stack is left. Script engines ask before they recurse
// (parsing, nested calls through native code), so hostile nesting becomes "Out of stack space"
// rather than a crash, whatever stack size the host gave the thread.

#include <cstddef>

/// Below this many free bytes recursion stops (sanitizer builds use far larger frames).
#if defined(__SANITIZE_ADDRESS__)
inline constexpr size_t kMinimumFreeThreadStack = 512 * 1024;
#else
inline constexpr size_t kMinimumFreeThreadStack = 128 * 1024;
#endif

/// Whether the calling thread has fewer than kMinimumFreeThreadStack bytes of stack left (a
/// quarter of its stack when that is smaller). Threads whose stack bounds cannot be read are
/// assumed to have room.
bool ThreadStackIsLow();
