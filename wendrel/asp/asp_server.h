#pragma once
// CASPServer: the script host of one worker and the Server intrinsic of the pages it runs.
// RunPage runs one .asp page for the current request: the compiled page is taken from the
// server's cache (or the page is read, preprocessed and parsed into a clone of its language's
// template engine), a clone of it runs with this host's site, and failures become the ASP error
// page (2000-2018) or, for script errors, the error fragment naming the original file and line.
//
// As the Server object it maps paths, encodes text, creates objects and runs other pages into
// the same response (Execute, Transfer), always for the page it runs now.

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/com/dispatch_object.h"
#include "platform/scripting/active_script.h"
#include "wendrel/asp/compiled_page_cache.h"

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
  ComPtr<CASPSession> session_;  // shared with the pages Server.Execute runs
  std::atomic<bool> cancelled_{false};
};
