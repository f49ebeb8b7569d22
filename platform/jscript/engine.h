#pragma once
// The JScript engine object: IActiveScript and IActiveScriptParse on Duktape, with the states,
// named items, clones and error reports of the engine contract, as the VBScript engine has
// them.
//
// States: uninitialized, initialized (after SetScriptSite or InitNew), started (pending texts
// run in parse order; text parsed later runs at once), back to initialized (persistent texts
// and items stay, the run's globals go) and closed.
//
// Texts are compiled when parsed, into bytecode that the engine's clones share; a clone made on
// any thread runs that bytecode with fresh globals and the persistent named items, bound again
// through its own site. Each run borrows a Duktape heap from a pool (script_heap.h).
//
// Limits: call depth (Duktape's call stack: "Out of stack space", 28), memory per run
// (kHeapMemoryLimit: "Out of memory", 7), and InterruptScriptThread from any thread (the host's
// time limit): the run ends at once, as an error when an exception is given, else quietly.

#include "platform/com/com_ptr.h"
#include "platform/scripting/active_script.h"

/// The engine's class identifier, registered for the ProgIDs "JScript" and "JavaScript".
inline constexpr CLSID CLSID_WendrelJScript = {
    0x7C2E9B14, 0x5A03, 0x4E8F, {0xB2, 0x6D, 0x41, 0x9F, 0x08, 0xC3, 0x5E, 0x27}};

/// A new engine in the uninitialized state, owned by the returned pointer (no registry needed);
/// QueryInterface gives IActiveScriptParse. Null when memory runs out.
ComPtr<IActiveScript> CreateJScriptEngine();
