#pragma once
// The VBScript engine object: IActiveScript and IActiveScriptParse over the compiler and the
// interpreter. States: uninitialized, initialized (after SetScriptSite or InitNew), started
// (pending code runs, in parse order; code parsed later runs at once), back to initialized
// (persistent code and named items stay, everything else is dropped) and closed.
//
// Code parsed with SCRIPTTEXT_ISPERSISTENT is kept across a return to the initialized state and
// shared with clones: compiled units are immutable, so a clone made on any thread gets the same
// units, fresh globals, and the persistent named items (bound again through its own site).

#include "platform/com/com_ptr.h"
#include "platform/scripting/active_script.h"

/// The engine's class identifier, as registered for the ProgID "VBScript".
inline constexpr CLSID CLSID_WendrelVBScript = {
    0x3F4A6E21, 0x8C0B, 0x4D5E, {0x9A, 0x17, 0x62, 0xB3, 0x0C, 0x4E, 0x71, 0xD5}};

/// A new engine in the uninitialized state, owned by the returned pointer (no registry needed);
/// QueryInterface gives IActiveScriptParse. Null when memory runs out.
ComPtr<IActiveScript> CreateVBScriptEngine();
