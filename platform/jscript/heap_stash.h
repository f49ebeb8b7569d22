#pragma once
// Where the engine keeps its own values inside a heap: entries of the heap stash (invisible to
// scripts) and hidden property keys (Duktape hides keys that start with byte 0xFF).

#include "duktape.h"

namespace jscript {

// Heap stash entries.
inline constexpr const char* kStashPristineGlobal = "pristineGlobal";  // the heap's own global object
inline constexpr const char* kStashBuiltins = "builtins";              // objects whose image is checked
inline constexpr const char* kStashHostHandler = "hostHandler";        // Proxy handler of host objects
inline constexpr const char* kStashMemberCalls = "memberCalls";        // name -> method-call function
inline constexpr const char* kStashDefaultValue = "defaultValue";      // valueOf/toString of host objects
inline constexpr const char* kStashPutTarget = "putTarget";            // prototype of assignment targets
inline constexpr const char* kStashVBArray = "vbArrayPrototype";       // prototype of VBArray objects
inline constexpr const char* kStashEnumerator = "enumeratorPrototype"; // prototype of Enumerators
inline constexpr const char* kStashDate = "dateConstructor";           // the built-in Date
inline constexpr const char* kStashErrorConstructors = "errorConstructors";  // built-in error types
inline constexpr const char* kStashRun = "run";                        // the current run's table

// Hidden property keys.
inline constexpr const char* kHiddenHostRecord = "\xFF" "host";      // pointer to a HostObjectRecord
inline constexpr const char* kHiddenMemberName = "\xFF" "member";    // the member a function calls
inline constexpr const char* kHiddenBoundObject = "\xFF" "object";   // the object a function is bound to
inline constexpr const char* kHiddenSafeArray = "\xFF" "safeArray";  // pointer to an owned SAFEARRAY
inline constexpr const char* kHiddenUnknown = "\xFF" "unknown";      // pointer to an IUnknown reference
inline constexpr const char* kHiddenEnumerator = "\xFF" "enumerator";  // pointer to an EnumeratorState
inline constexpr const char* kHiddenPutBase = "\xFF" "putBase";      // assignment target: the object
inline constexpr const char* kHiddenPutMember = "\xFF" "putMember";  // assignment target: the member
inline constexpr const char* kHiddenPutArguments = "\xFF" "putArgs";  // assignment target: the indices
inline constexpr const char* kHiddenDescribed = "\xFF" "described";  // the error hooks saw the error
inline constexpr const char* kHiddenBlameText = "\xFF" "blameText";  // where an error was raised
inline constexpr const char* kHiddenBlameLine = "\xFF" "blameLine";
inline constexpr const char* kHiddenBlameOffset = "\xFF" "blameOffset";  // syntax errors: character offset

/// Pushes the heap stash entry `key` (undefined when absent).
inline void PushStashEntry(duk_context* ctx, const char* key) {
  duk_push_heap_stash(ctx);
  duk_get_prop_string(ctx, -1, key);
  duk_remove(ctx, -2);
}

/// Stores the value on top of the stack as the heap stash entry `key` (pops it).
inline void PutStashEntry(duk_context* ctx, const char* key) {
  duk_push_heap_stash(ctx);
  duk_insert(ctx, -2);
  duk_put_prop_string(ctx, -2, key);
  duk_pop(ctx);
}

}  // namespace jscript
