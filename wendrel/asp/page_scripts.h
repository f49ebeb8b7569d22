#pragma once
// The script programs of one page and the engines that run them. A page is written in one
// language; its SCRIPT RUNAT=Server blocks in other languages are programs of their own, each
// parsed into an engine of its language. Every engine of a page sees the globals of the
// others through a global-members named item, so a function written in one language is called
// by name from the other, both ways.
//
// A compiled page keeps one parsed engine per program (never started); a request runs a clone
// of each (ScriptClones). The named items resolve through the host's site to the globals of
// the request's own clones, so clones made on any worker wire themselves.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/scripting/active_script.h"
#include "wendrel/asp/preprocessor.h"

/// One script program of a compiled page. Index 0 is the page language's; the others follow in
/// the order their languages first appear. The index is the source context the program was
/// parsed with, so an error report names its program.
struct PageScript {
  std::string language;
  ComPtr<IActiveScript> engine;      // parsed, never started
  std::vector<SourceLine> line_map;  // script line (0-based) -> file and line
};

/// The named item under which the engines of a page see the globals of program `index`:
/// "[page script 1]". Brackets and a space make it a name no page can write in either language
/// (a VBScript [bracketed name] cannot hold ']'), so it never meets a page's own names.
std::u16string ScriptGlobalsItemName(size_t index);
/// The program index a ScriptGlobalsItemName names; nothing for any other name.
std::optional<size_t> ScriptGlobalsItemIndex(std::u16string_view name);

/// The clones one request runs, one per program of the compiled page, all on one site.
class ScriptClones {
 public:
  /// Clones every program's engine and gives each the site. A failure is the error code of the
  /// ASP error page (2001 clone, 2002 site); what was cloned is closed again.
  std::optional<int> CloneAll(std::span<const PageScript> scripts, IActiveScriptSite* site);
  /// Starts the programs in other languages first, so that their functions exist when the
  /// page's own code runs, then the page's program. Stops at the first failure (the result) or
  /// when `ended` says the response is complete (Response.End in a SCRIPT block's own code).
  template <typename Ended>
  HRESULT StartAll(Ended ended);
  /// Closes every clone (breaking the references the wiring made between them).
  void CloseAll();

  /// The running engines, for the time limit.
  std::span<const ComPtr<IActiveScript>> Engines() const { return clones_; }
  /// A new reference to the globals of program `index`; null when there is no such clone.
  IDispatch* GlobalsOf(size_t index) const;

 private:
  std::vector<ComPtr<IActiveScript>> clones_;  // kept between runs: no allocation per request
};

template <typename Ended>
HRESULT ScriptClones::StartAll(Ended ended) {
  for (size_t i = 1; i < clones_.size(); ++i) {
    HRESULT hr = clones_[i]->SetScriptState(SCRIPTSTATE_STARTED);
    if (FAILED(hr)) return hr;
    if (ended()) return S_OK;
  }
  return clones_.empty() ? E_UNEXPECTED : clones_[0]->SetScriptState(SCRIPTSTATE_STARTED);
}
