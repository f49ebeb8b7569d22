#pragma once
// The script-engine contract: a host gives an engine its site, named items and script text,
// and the engine runs the script, asks the site for the objects behind the names, and reports
// errors to it. Engines are found by ProgID ("VBScript", "JScript").

#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"

enum SCRIPTSTATE : int32_t {
  SCRIPTSTATE_UNINITIALIZED = 0,
  SCRIPTSTATE_STARTED = 1,
  SCRIPTSTATE_CONNECTED = 2,
  SCRIPTSTATE_DISCONNECTED = 3,
  SCRIPTSTATE_CLOSED = 4,
  SCRIPTSTATE_INITIALIZED = 5,
};

// AddNamedItem flags.
inline constexpr DWORD SCRIPTITEM_ISVISIBLE = 0x00000002;
inline constexpr DWORD SCRIPTITEM_ISSOURCE = 0x00000004;
inline constexpr DWORD SCRIPTITEM_GLOBALMEMBERS = 0x00000008;
inline constexpr DWORD SCRIPTITEM_ISPERSISTENT = 0x00000040;
inline constexpr DWORD SCRIPTITEM_CODEONLY = 0x00000200;
inline constexpr DWORD SCRIPTITEM_NOCODE = 0x00000400;

// ParseScriptText flags.
inline constexpr DWORD SCRIPTTEXT_ISVISIBLE = 0x00000002;
inline constexpr DWORD SCRIPTTEXT_ISEXPRESSION = 0x00000020;
inline constexpr DWORD SCRIPTTEXT_ISPERSISTENT = 0x00000040;
inline constexpr DWORD SCRIPTTEXT_HOSTMANAGESSOURCE = 0x00000080;

// GetItemInfo masks.
inline constexpr DWORD SCRIPTINFO_IUNKNOWN = 0x00000001;
inline constexpr DWORD SCRIPTINFO_ITYPEINFO = 0x00000002;

using SCRIPTTHREADID = DWORD;
inline constexpr SCRIPTTHREADID SCRIPTTHREADID_CURRENT = 0xFFFFFFFD;
inline constexpr SCRIPTTHREADID SCRIPTTHREADID_BASE = 0xFFFFFFFE;
inline constexpr SCRIPTTHREADID SCRIPTTHREADID_ALL = 0xFFFFFFFF;

/// A host object's call returns this to end the running script at once without an error
/// (Response.End): the engine unwinds every procedure, On Error Resume Next does not catch it,
/// nothing is reported to the site, and the run counts as finished.
inline constexpr HRESULT SCRIPT_E_STOP_WITHOUT_ERROR = E_ABORT;

inline constexpr IID IID_IActiveScript = {0xBB1A2AE1, 0xA4F9, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
inline constexpr IID IID_IActiveScriptParse = {0xBB1A2AE2, 0xA4F9, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
inline constexpr IID IID_IActiveScriptSite = {0xDB01A1E3, 0xA42B, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
inline constexpr IID IID_IActiveScriptError = {0xEAE1BA61, 0xA4ED, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
inline constexpr IID IID_IActiveScriptSiteDebug = {0x51973C11, 0xCB0C, 0x11D0, {0xB5, 0xC9, 0x00, 0xA0, 0x24, 0x4A, 0x0E, 0x7A}};

/// One script error: what happened (the exception), where (line and column in the parsed
/// text, 0-based as the platform gives them), and the text of that line.
class IActiveScriptError : public IUnknown {
 public:
  virtual HRESULT GetExceptionInfo(EXCEPINFO* exception) = 0;
  virtual HRESULT GetSourcePosition(DWORD* source_context, ULONG* line, int32_t* column) = 0;
  virtual HRESULT GetSourceLineText(BSTR* line) = 0;

 protected:
  ~IActiveScriptError() = default;
};

class IActiveScriptSite : public IUnknown {
 public:
  virtual HRESULT GetLCID(LCID* lcid) = 0;
  /// The object (and/or type information) behind a named item; TYPE_E_ELEMENTNOTFOUND when
  /// the host has none.
  virtual HRESULT GetItemInfo(const OLECHAR* name, DWORD mask, IUnknown** item, ITypeInfo** type_info) = 0;
  virtual HRESULT GetDocVersionString(BSTR* version) = 0;
  virtual HRESULT OnScriptTerminate(const VARIANT* result, const EXCEPINFO* exception) = 0;
  virtual HRESULT OnStateChange(SCRIPTSTATE state) = 0;
  /// A compile or run-time error; the engine stops the script afterwards.
  virtual HRESULT OnScriptError(IActiveScriptError* error) = 0;
  virtual HRESULT OnEnterScript() = 0;
  virtual HRESULT OnLeaveScript() = 0;

 protected:
  ~IActiveScriptSite() = default;
};

/// The debugging side of a site: asked first about each error; it may enter a debugger and
/// says whether OnScriptError should still be called.
class IActiveScriptSiteDebug : public IUnknown {
 public:
  virtual HRESULT OnScriptErrorDebug(IActiveScriptError* error, BOOL* enter_debugger,
                                     BOOL* call_on_script_error_when_continuing) = 0;

 protected:
  ~IActiveScriptSiteDebug() = default;
};

class IActiveScript : public IUnknown {
 public:
  virtual HRESULT SetScriptSite(IActiveScriptSite* site) = 0;
  virtual HRESULT GetScriptSite(REFIID iid, void** site) = 0;
  virtual HRESULT SetScriptState(SCRIPTSTATE state) = 0;
  virtual HRESULT GetScriptState(SCRIPTSTATE* state) = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT AddNamedItem(const OLECHAR* name, DWORD flags) = 0;
  virtual HRESULT AddTypeLib(const GUID& libid, DWORD major, DWORD minor, DWORD flags) = 0;
  /// The dispatch of the script's global names (item null) or of a named item's code.
  virtual HRESULT GetScriptDispatch(const OLECHAR* item_name, IDispatch** dispatch) = 0;
  virtual HRESULT GetCurrentScriptThreadID(SCRIPTTHREADID* thread) = 0;
  /// Ends the running script from any thread, as SCRIPT_E_STOP_WITHOUT_ERROR does when
  /// `exception` is null, else as a run-time error with that exception.
  virtual HRESULT InterruptScriptThread(SCRIPTTHREADID thread, const EXCEPINFO* exception, DWORD flags) = 0;
  /// A new engine sharing this one's parsed persistent code, with fresh state and the same
  /// named items (re-bound through the clone's site), in the initialized state.
  virtual HRESULT Clone(IActiveScript** clone) = 0;

 protected:
  ~IActiveScript() = default;
};

class IActiveScriptParse : public IUnknown {
 public:
  virtual HRESULT InitNew() = 0;
  /// Parses script text: SCRIPT_E_REPORTED (0x80020101) after a syntax error reported to the
  /// site. With SCRIPTTEXT_ISEXPRESSION the text is an expression whose value goes to `result`.
  /// Code parsed while started runs at once; before that it runs when the engine starts.
  virtual HRESULT ParseScriptText(const OLECHAR* code, const OLECHAR* item_name, IUnknown* context,
                                  const OLECHAR* delimiter, DWORD source_context, ULONG starting_line,
                                  DWORD flags, VARIANT* result, EXCEPINFO* exception) = 0;

 protected:
  ~IActiveScriptParse() = default;
};
