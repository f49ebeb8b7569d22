#pragma once
// Where the engine keeps its own values inside a heap: entries of the heap stash (invisible to
// scripts) and hidden property keys (Duktape hides keys that start with byte 0xFF).

#include <string_view>

#include "duktape.h"

namespace jscript {

// Heap stash entries.
inline constexpr std::string_view kStashPristineGlobal = "pristineGlobal";  // the heap's own global object
inline constexpr std::string_view kStashBuiltins = "builtins";              // objects whose image is checked
inline constexpr std::string_view kStashSnapshots = "snapshots";            // their properties as made
inline constexpr std::string_view kStashHostHandler = "hostHandler";        // Proxy handler of host objects
inline constexpr std::string_view kStashMemberCalls = "memberCalls";        // name -> method-call function
inline constexpr std::string_view kStashDefaultValue = "defaultValue";      // valueOf/toString of host objects
inline constexpr std::string_view kStashPutTarget = "putTarget";            // prototype of assignment targets
inline constexpr std::string_view kStashVBArray = "vbArrayPrototype";       // prototype of VBArray objects
inline constexpr std::string_view kStashEnumerator = "enumeratorPrototype"; // prototype of Enumerators
inline constexpr std::string_view kStashDate = "dateConstructor";           // the built-in Date
inline constexpr std::string_view kStashErrorConstructors = "errorConstructors";  // built-in error types
inline constexpr std::string_view kStashRun = "run";                        // the current run's table
inline constexpr std::string_view kStashNamedItemAccessors = "namedItemAccessors";        // [get, set]
inline constexpr std::string_view kStashGlobalMemberAccessors = "globalMemberAccessors";  // [get, set]

// Hidden property keys.
inline constexpr std::string_view kHiddenResource = "\xFF" "resource";  // pointer to a HeapResource
inline constexpr std::string_view kHiddenMemberName = "\xFF" "member";    // the member a function calls
inline constexpr std::string_view kHiddenBoundObject = "\xFF" "object";   // the object a function is bound to
inline constexpr std::string_view kHiddenPutBase = "\xFF" "putBase";      // assignment target: the object
inline constexpr std::string_view kHiddenPutMember = "\xFF" "putMember";  // assignment target: the member
inline constexpr std::string_view kHiddenPutArguments = "\xFF" "putArgs";  // assignment target: the indices
inline constexpr std::string_view kHiddenDescribed = "\xFF" "described";  // the error hooks saw the error
inline constexpr std::string_view kHiddenBlameText = "\xFF" "blameText";  // where an error was raised
inline constexpr std::string_view kHiddenBlameLine = "\xFF" "blameLine";
inline constexpr std::string_view kHiddenBlameOffset = "\xFF" "blameOffset";  // syntax errors: character offset

// Keys are fixed texts, so Duktape's literal cache finds their strings without interning
// them again at every use.

/// Pushes the property `key` of the object at `index`; false (undefined pushed) when absent.
inline bool GetKey(duk_context* ctx, duk_idx_t index, std::string_view key) {
  return duk_get_prop_literal_raw(ctx, index, key.data(), key.size()) != 0;
}
/// Stores the value on top of the stack (popped) as the property `key` of the object at `index`.
inline void PutKey(duk_context* ctx, duk_idx_t index, std::string_view key) {
  duk_put_prop_literal_raw(ctx, index, key.data(), key.size());
}
inline bool HasKey(duk_context* ctx, duk_idx_t index, std::string_view key) {
  return duk_has_prop_literal_raw(ctx, index, key.data(), key.size()) != 0;
}

/// Pushes the heap stash entry `key` (undefined when absent).
inline void PushStashEntry(duk_context* ctx, std::string_view key) {
  duk_push_heap_stash(ctx);
  GetKey(ctx, -1, key);
  duk_remove(ctx, -2);
}

/// Stores the value on top of the stack as the heap stash entry `key` (pops it).
inline void PutStashEntry(duk_context* ctx, std::string_view key) {
  duk_push_heap_stash(ctx);
  duk_insert(ctx, -2);
  PutKey(ctx, -2, key);
  duk_pop(ctx);
}

}  // namespace jscript
