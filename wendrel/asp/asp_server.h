#pragma once
// CASPServer: the script host of one worker and the Server intrinsic of the pages it runs.
// RunPage runs one .asp page for the current request: the compiled page is taken from the
// server's cache (or the page is read, preprocessed and parsed into a clone of its language's
// template engine, with one more engine per other language of its SCRIPT blocks), clones of
// those engines run with this host's site, and failures become the ASP error page (2000-2018)
// or, for script errors, the error fragment naming the original file and line.
//
// As the Server object it maps paths, encodes text, creates objects and runs other pages into
// the same response (Execute, Transfer), always for the page it runs now.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/com/dispatch_object.h"
#include "platform/scripting/active_script.h"
#include "wendrel/asp/compiled_page_cache.h"
#include "wendrel/asp/page_scripts.h"

class AspRuntime;
class AspScriptSite;
class CASPSession;
class Request;
class Response;
struct SiteSnapshot;

/// One page to run: the request it answers and where the page was found.
struct PageRun {
  Request& request;
  Response& response;
  const SiteSnapshot& site;
  std::string path;  // the page file
  std::string root;  // the folder the path map gave it (includes stay inside)
};

class CASPServer : public DispatchObject<CASPServer> {
 public:
  /// Nested Server.Execute calls stop at this depth (a page that executes itself).
  static constexpr int kMaxExecuteDepth = 16;

  explicit CASPServer(AspRuntime& runtime, int depth = 0);
  ~CASPServer() override;

  static std::span<const DispatchMember<CASPServer>> Members();
  std::u16string_view TypeName() override { return u"ICASPServer"; }

  /// Runs a page for its request; what goes wrong ends up in the response.
  void RunPage(const PageRun& run);

  // What the site asks while a page runs.
  IUnknown* ItemFor(std::u16string_view name);
  void ReportScriptError(IActiveScriptError* error);
  // An engine of the page starts or stops running script (calls between engines nest).
  void EnterScript();
  void LeaveScript() { --script_depth_; }

  // Dispatch members.
  Result<Variant> GetScriptTimeout(const DispatchArguments& arguments);
  Result<Variant> PutScriptTimeout(const DispatchArguments& arguments);
  Result<Variant> Execute(const DispatchArguments& arguments);
  Result<Variant> GetLastError(const DispatchArguments& arguments);
  Result<Variant> HTMLEncode(const DispatchArguments& arguments);
  Result<Variant> MapPath(const DispatchArguments& arguments);
  Result<Variant> Transfer(const DispatchArguments& arguments);
  Result<Variant> URLEncode(const DispatchArguments& arguments);
  Result<Variant> CreateObject(const DispatchArguments& arguments);

 private:

  // The compiled page from the cache, or a new compilation; null after a failure was written.
  std::shared_ptr<const CompiledPage> CompiledFor(const PageRun& run);
  std::shared_ptr<const CompiledPage> Compile(const PageRun& run);
  // Parses every script program of the page into an engine of its language; false after a
  // failure was written.
  bool ParseScripts(CompiledPage& page, PreprocessedPage& pre);
  // A clone of a template with the page's names and libraries, ready for program `index`'s
  // text; null after a failure was written.
  ComPtr<IActiveScript> PreparedEngine(const ComPtr<IActiveScript>& template_engine,
                                       const CompiledPage& page,
                                       std::span<const TypeLibraryReference> type_libraries,
                                       size_t index);
  // Runs a clone of the compiled page; false after a failure was written.
  bool RunCompiled(const CompiledPage& page);
  void WriteAspError(int code, std::string_view detail = {});
  void ReportUnreadablePage(int error);
  void WriteGeneratedScript(const CompiledPage& page, std::string_view script);
  void AskAboutTheDebugger();
  // A path as Server.MapPath, Execute and Transfer read it; nothing without a page.
  std::optional<std::string> ResolvePath(std::string_view path);
  Result<Variant> RunChildPage(const DispatchArguments& arguments, bool transfer);
  std::string DisplayName(uint32_t file_index) const;
  // A script error as the page shows it.
  struct ErrorFragment {
    uint32_t number;
    std::u16string description;
    std::string html;
  };
  ErrorFragment FragmentOf(IActiveScriptError* error) const;
  // The visitor's session for a top-level page; its cookie goes into the response.
  void AcquireSession(const PageRun& run);
  void ReleaseSession();
  // The locale the page formats with: its @LCID (which the session keeps), else the session's.
  void ApplyPageLocale(const CompiledPage& page);

  AspRuntime& runtime_;
  const int depth_;
  ComPtr<AspScriptSite> site_;
  // The page being run (null between runs).
  const PageRun* run_ = nullptr;
  std::shared_ptr<const CompiledPage> page_;
  ScriptClones clones_;  // the engines of the page being run
  // How deep engines of this page are inside script: above 0 while a script of the page runs
  // (and an error reported then goes back to the script that called, as an exception).
  int script_depth_ = 0;
  // An error reported by a script another script of the page called. Its caller gets it as an
  // exception: when the caller reports the same error, this fragment (the place where it was
  // raised) is written instead of the caller's; when the caller handles it, nothing is.
  std::optional<ErrorFragment> held_error_;
  ComPtr<CASPSession> session_;  // shared with the pages Server.Execute runs
  std::atomic<bool> cancelled_{false};
};
