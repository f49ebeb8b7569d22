#include "wendrel/asp/asp_server.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/automation/conversion.h"
#include "platform/automation/locale.h"
#include "platform/automation/text_case.h"
#include "platform/com/class_factory.h"
#include "platform/com/creation.h"
#include "platform/com/guid.h"
#include "platform/system/code_page.h"
#include "wendrel/asp/asp_runtime.h"
#include "wendrel/asp/asp_script_site.h"
#include "wendrel/asp/asp_session.h"
#include "wendrel/asp/asp_texts.h"
#include "wendrel/asp/declared_objects.h"
#include "wendrel/asp/object_creation.h"
#include "wendrel/asp/html_encode.h"
#include "wendrel/asp/request.h"
#include "wendrel/common/formatted.h"
#include "wendrel/common/narrow_text.h"
#include "wendrel/server/file_containment.h"
#include "wendrel/server/host_events.h"
#include "wendrel/server/http_server.h"
#include "wendrel/server/response.h"
#include "wendrel/server/site_snapshot.h"

namespace {

constexpr DISPID kScriptTimeoutDispid = 0x60020000;
constexpr DISPID kExecuteDispid = 0x60020003;
constexpr DISPID kGetLastErrorDispid = 0x60020004;
constexpr DISPID kHtmlEncodeDispid = 0x60020005;
constexpr DISPID kMapPathDispid = 0x60020006;
constexpr DISPID kTransferDispid = 0x60020007;
constexpr DISPID kUrlEncodeDispid = 0x60020008;

// Page code is parsed as global code that stays with the compiled page.
constexpr DWORD kParseFlags =
    SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT | SCRIPTTEXT_HOSTMANAGESSOURCE;
constexpr DWORD kPersistentTypeLibrary = 0x40;
// Objects OBJECT tags declare: visible, kept by the clones of the compiled page, no code.
constexpr DWORD kDeclaredObjectFlags =
    SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT | SCRIPTITEM_NOCODE;
// The globals of the page's program in another language: their members are global names.
constexpr DWORD kScriptGlobalsFlags =
    SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT | SCRIPTITEM_GLOBALMEMBERS;
constexpr int32_t kCannotCreateError = 429;
constexpr int16_t kGeneratedScriptLogLevel = 2;

// The compiled page keeps the engine of a successful parse; the run uses clones of it.
std::shared_ptr<CompiledPage> NewCompiledPage(const PageRun& run, const std::string& language) {
  auto page = std::make_shared<CompiledPage>();
  page->path = run.path;
  page->default_language = language;
  return page;
}

// The path of a file relative to the page's root, as pages name it ("/inc/header.inc").
std::string RelativeToRoot(const std::string& path, const std::string& root) {
  std::string normal = NormalisedRoot(root);
  if (normal != "/" && path.starts_with(normal + "/")) return path.substr(normal.size());
  if (normal == "/") return path;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash);
}

}  // namespace

CASPServer::CASPServer(AspRuntime& runtime, int depth)
    : runtime_(runtime), depth_(depth), site_(ComPtr<AspScriptSite>::Adopt(new AspScriptSite(this))) {}

CASPServer::~CASPServer() { site_->Detach(); }

std::span<const DispatchMember<CASPServer>> CASPServer::Members() {
  using S = CASPServer;
  static constexpr DispatchMember<S> kMembers[] = {
      {u"CreateObject", DISPID_VALUE, kMethod, 1, 1, &S::CreateObject, u"ProgID"},
      {u"ScriptTimeout", kScriptTimeoutDispid, kPropertyGet, 0, 0, &S::GetScriptTimeout},
      {u"ScriptTimeout", kScriptTimeoutDispid, kPropertyPut, 0, 0, &S::PutScriptTimeout},
      {u"Execute", kExecuteDispid, kMethod, 1, 1, &S::Execute, u"FilePath"},
      {u"GetLastError", kGetLastErrorDispid, kMethod, 0, 0, &S::GetLastError},
      {u"HTMLEncode", kHtmlEncodeDispid, kMethod, 1, 1, &S::HTMLEncode, u"inString"},
      {u"MapPath", kMapPathDispid, kMethod, 1, 1, &S::MapPath, u"inString"},
      {u"Transfer", kTransferDispid, kMethod, 1, 1, &S::Transfer, u"FilePath"},
      {u"URLEncode", kUrlEncodeDispid, kMethod, 1, 1, &S::URLEncode, u"inString"},
  };
  return kMembers;
}

// --- Running a page --------------------------------------------------------------------------

void CASPServer::RunPage(const PageRun& run) {
  run_ = &run;
  runtime_.NotePageServed();
  bool top = depth_ == 0;  // a page run by Server.Execute shares its caller's flag and lock
  if (top) {
    cancelled_ = false;
    SetPageCancelFlag(&cancelled_);
    AcquireSession(run);
  }
  if (std::shared_ptr<const CompiledPage> page = CompiledFor(run)) {
    page_ = page;
    if (!RunCompiled(*page)) runtime_.Pages().Drop(page->path);
  }
  run_ = nullptr;
  page_.reset();
  if (top) {
    SetPageCancelFlag(nullptr);
    runtime_.Application().ReleaseLockOfThisThread();
    ReleaseSession();
  }
}

void CASPServer::AcquireSession(const PageRun& run) {
  std::optional<std::string> cookie =
      run.request.CookiesCollection().FindEntryValue(SessionStore::kCookieName);
  session_ = runtime_.Sessions().Acquire(cookie ? *cookie : std::string_view(), ProcessLocaleId());
  if (session_) run.response.SetSessionCookie(session_->Key(), run.request.OverTls());
}

void CASPServer::ReleaseSession() {
  if (!session_) return;
  runtime_.Sessions().Release(*session_);
  session_.Reset();
}

void CASPServer::ApplyPageLocale(const CompiledPage& page) {
  if (page.lcid != 0) {
    SetThreadLocale(page.lcid);
    if (session_) session_->SetLocale(page.lcid);
  } else if (session_) {
    SetThreadLocale(session_->Locale());
  }
}

std::shared_ptr<const CompiledPage> CASPServer::CompiledFor(const PageRun& run) {
  const std::string& language = run.site.settings->script_language;
  if (runtime_.Server().IncludeHook().first == nullptr) {
    if (std::shared_ptr<const CompiledPage> cached = runtime_.Pages().Find(run.path, language)) {
      return cached;
    }
  }
  return Compile(run);
}

std::shared_ptr<const CompiledPage> CASPServer::Compile(const PageRun& run) {
  const ServerSettings& settings = *run.site.settings;
  auto [callback, parameter] = runtime_.Server().IncludeHook();
  const SiteSnapshot& site = run.site;
  PageFiles files(PageFilesContext{
      &site.site, run.request.ServerName(), run.request.RequestPage(), run.root, callback,
      parameter, [this](std::string_view line) { runtime_.Server().LogServerLine(line); },
      [&site](std::string_view folder) { return site.RootFor(folder); },
      &runtime_.HostLacksGlobalFile()});
  Result<std::string> text = files.ReadPage(run.path);
  if (!text.ok()) {
    ReportUnreadablePage(files.LastErrno());
    return nullptr;
  }
  PreprocessOptions options;
  options.default_language = settings.script_language;
  options.page_path = run.path;
  options.prefix = files.ReadGlobalFile();
  PreprocessOutcome<PreprocessedPage> outcome = PreprocessPage(text.value(), options, files);
  if (!outcome.ok()) {
    const PreprocessFailure& failure = outcome.error();
    std::string detail = failure.detail;
    if (!failure.where.empty()) {
      detail += " (" + RelativeToRoot(failure.where.front().file, run.root) + ", line " +
                std::to_string(failure.where.front().line) + ")";
    }
    WriteAspError(failure.asp_code, detail);
    return nullptr;
  }
  PreprocessedPage& pre = outcome.value();
  runtime_.NoteCompilation();
  auto page = NewCompiledPage(run, settings.script_language);
  page->stamps = files.Stamps();
  page->page_text = std::make_shared<const std::string>(std::move(pre.page_text));
  page->files = std::move(pre.files);
  page->code_page = pre.code_page ? static_cast<uint32_t>(*pre.code_page) : CP_UTF8;
  page->lcid = pre.lcid ? static_cast<uint32_t>(*pre.lcid) : 0;
  page->objects = std::move(pre.objects);
  if (settings.log_level == kGeneratedScriptLogLevel) WriteGeneratedScript(*page, pre.primary.script);
  page_ = page;  // compile errors are reported against this page's line maps
  if (!ParseScripts(*page, pre)) return nullptr;
  if (!files.FromHost()) runtime_.Pages().Keep(page);
  return page;
}

// The page language's program first (index 0), then one per other language. Every engine is
// found before any is parsed, so a missing one gives the 2000 page whatever the page's code.
bool CASPServer::ParseScripts(CompiledPage& page, PreprocessedPage& pre) {
  std::vector<ScriptPart*> parts{&pre.primary};
  for (ScriptPart& other : pre.others) parts.push_back(&other);
  std::vector<ComPtr<IActiveScript>> templates;
  std::string log_line;
  for (const ScriptPart* part : parts) {
    Result<ComPtr<IActiveScript>> found = runtime_.Engines().TemplateFor(part->language, &log_line);
    if (!found.ok()) {
      if (!log_line.empty()) runtime_.Server().WriteEventLog(log_line);
      WriteAspError(static_cast<int>(AspError::NoEngine));
      return false;
    }
    templates.push_back(std::move(found).value());
  }
  page.scripts.reserve(parts.size());
  for (ScriptPart* part : parts) {
    page.scripts.push_back({part->language, nullptr, std::move(part->line_map)});
  }
  for (size_t index = 0; index < parts.size(); ++index) {
    ComPtr<IActiveScript> engine =
        PreparedEngine(templates[index], page, pre.type_libraries, index);
    if (!engine) return false;
    ComPtr<IActiveScriptParse> parse = engine.As<IActiveScriptParse>(IID_IActiveScriptParse);
    std::u16string code = BytesToText(parts[index]->script, page.code_page);
    HRESULT hr = parse->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr,
                                        static_cast<DWORD>(index), 0, kParseFlags, nullptr, nullptr);
    if (FAILED(hr)) {
      if (hr != SCRIPT_E_REPORTED) WriteAspError(static_cast<int>(AspError::ParseFailed));
      return false;
    }
    page.scripts[index].engine = engine;
  }
  return true;
}

ComPtr<IActiveScript> CASPServer::PreparedEngine(const ComPtr<IActiveScript>& template_engine,
                                                 const CompiledPage& page,
                                                 std::span<const TypeLibraryReference> type_libraries,
                                                 size_t index) {
  ComPtr<IActiveScript> engine;
  if (FAILED(template_engine->Clone(engine.Receive())) || !engine) {
    WriteAspError(static_cast<int>(AspError::CloneFailed));
    return nullptr;
  }
  if (FAILED(engine->SetScriptSite(site_.get()))) {
    WriteAspError(static_cast<int>(AspError::SetSiteFailed));
    return nullptr;
  }
  for (const std::u16string& name : DeclaredNames(page.objects)) {
    if (FAILED(engine->AddNamedItem(name.c_str(), kDeclaredObjectFlags))) {
      WriteAspError(static_cast<int>(AspError::NamedItemsFailed));
      return nullptr;
    }
  }
  // The other programs' globals are this one's too: functions are called across languages.
  for (size_t other = 0; other < page.scripts.size(); ++other) {
    if (other == index) continue;
    std::u16string name = ScriptGlobalsItemName(other);
    if (FAILED(engine->AddNamedItem(name.c_str(), kScriptGlobalsFlags))) {
      WriteAspError(static_cast<int>(AspError::NamedItemsFailed));
      return nullptr;
    }
  }
  for (const TypeLibraryReference& library : type_libraries) {
    if (!library.guid) continue;  // a FILE= library has no registered identity to add
    DWORD major = library.major < 0 ? 0 : static_cast<DWORD>(library.major);
    DWORD minor = library.minor < 0 ? 0 : static_cast<DWORD>(library.minor);
    if (FAILED(engine->AddTypeLib(*library.guid, major, minor, kPersistentTypeLibrary))) {
      WriteAspError(static_cast<int>(AspError::InvalidMetadata));
      return nullptr;
    }
  }
  ComPtr<IActiveScriptParse> parse = engine.As<IActiveScriptParse>(IID_IActiveScriptParse);
  if (!parse || FAILED(parse->InitNew())) {
    WriteAspError(static_cast<int>(AspError::InitNewFailed));
    return nullptr;
  }
  return engine;
}

bool CASPServer::RunCompiled(const CompiledPage& page) {
  const PageRun& run = *run_;
  if (std::optional<int> failed = clones_.CloneAll(page.scripts, site_.get())) {
    WriteAspError(*failed);
    return false;
  }
  std::shared_ptr<const std::string> outer_text = run.response.PageText();
  uint32_t outer_code_page = run.response.CodePage();
  run.response.SetPageText(page.page_text);
  run.response.SetCodePage(page.code_page);
  run.response.SetScriptRunning(true);
  LCID outer_locale = GetThreadLocale();
  if (!page.objects.empty()) {
    DeclareObjects(page.objects, runtime_.Application().StaticObjects(),
                   session_ ? &session_->StaticObjects() : nullptr);
  }
  ApplyPageLocale(page);
  AskAboutTheDebugger();
  int limit = run.site.settings->script_time_limit_seconds;
  uint64_t watched = 0;
  if (limit > 0) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limit);
    watched = runtime_.Watchdog().Watch(clones_.Engines(), deadline, limit, &cancelled_);
  }
  HRESULT hr = clones_.StartAll([&run] { return run.response.Ended(); });
  if (watched != 0) runtime_.Watchdog().Forget(watched);
  clones_.CloseAll();
  held_error_.reset();
  script_depth_ = 0;
  SetThreadLocale(outer_locale);
  run.response.SetScriptRunning(depth_ > 0);
  run.response.SetPageText(std::move(outer_text));
  run.response.SetCodePage(outer_code_page);
  if (FAILED(hr) && hr != SCRIPT_E_REPORTED) {
    WriteAspError(static_cast<int>(AspError::StartFailed));
    return false;
  }
  return true;
}

// With EnableASPDebug the host is asked (DebugASPPage) whether to start a debugger; there is no
// script debugger on this system, so a yes is only noted in the event log.
void CASPServer::AskAboutTheDebugger() {
  if (!run_->site.settings->enable_asp_debug) return;
  HostEvents& events = runtime_.Server().Events();
  if (events.HasThreadCallback()) return;
  if (events.RaiseDebugASPPage(false, runtime_.Server().Stopping())) {
    runtime_.Server().WriteEventLog(AspTextFormat(AspText::NoDebugger));
  }
}

// A page that does not exist is the 404 page (the client asked for something that is not
// there); any other failure to read it says so with status 500, never as a success.
void CASPServer::ReportUnreadablePage(int error) {
  if (error == ENOENT || error == ENOTDIR || error == EXDEV) {
    run_->response.NotFound(run_->path);
    return;
  }
  std::string line = Formatted(AspTextFormat(AspText::FileOpenFailed), static_cast<unsigned>(error),
                               run_->request.RequestPage().c_str());
  run_->response.SetStatusCode(http_status::kInternalServerError);
  (void)run_->response.AppendBytes(HtmlEncodedBytes(line));
}

void CASPServer::WriteAspError(int code, std::string_view detail) {
  if (run_ == nullptr) return;
  std::string page = AspErrorPage(code);
  if (!detail.empty()) {
    size_t end = page.rfind("</body>");
    std::string paragraph = "<p>" + HtmlEncodedBytes(detail) + "</p>\n";
    page.insert(end == std::string::npos ? page.size() : end, paragraph);
  }
  (void)run_->response.AppendBytes(page);
}

// LogLevel 2 leaves the generated script next to the page ("page.asp.CSX"); such files are never
// served. A link planted under that name is not followed.
void CASPServer::WriteGeneratedScript(const CompiledPage& page, std::string_view script) {
  std::string path = page.path + ".CSX";
  int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (file < 0) return;
  while (!script.empty()) {
    ssize_t written = write(file, script.data(), script.size());
    if (written <= 0) break;
    script.remove_prefix(static_cast<size_t>(written));
  }
  close(file);
}

// --- What the engine asks --------------------------------------------------------------------

// The globals of the page's other programs, the intrinsic objects, then the host's objects, then
// the objects OBJECT tags declared for the session and for the application (made on first
// use). A new reference is returned.
IUnknown* CASPServer::ItemFor(std::u16string_view name) {
  if (run_ == nullptr) return nullptr;
  if (std::optional<size_t> script = ScriptGlobalsItemIndex(name)) {
    return clones_.GlobalsOf(*script);
  }
  IDispatch* found = nullptr;
  ComPtr<IDispatch> host_object;
  ComPtr<IDispatch> declared;
  if (EqualsIgnoringCase(name, u"Server")) {
    found = this;
  } else if (EqualsIgnoringCase(name, u"Request")) {
    found = &run_->request;
  } else if (EqualsIgnoringCase(name, u"Response")) {
    found = &run_->response;
  } else if (EqualsIgnoringCase(name, u"Application")) {
    found = &runtime_.Application();
  } else if (EqualsIgnoringCase(name, u"Session")) {
    found = session_.get();
  } else if ((host_object = runtime_.HostObject(name))) {
    found = host_object.get();
  } else {
    if (session_) declared = DeclaredObject(session_->StaticObjects(), name);
    if (!declared) declared = DeclaredObject(runtime_.Application().StaticObjects(), name);
    found = declared.get();
  }
  if (found == nullptr) return nullptr;
  found->AddRef();
  return static_cast<IUnknown*>(found);
}

// An error reported while another script of the page is still running was raised in a call
// that script made: it is held (see held_error_), not written.
void CASPServer::ReportScriptError(IActiveScriptError* error) {
  if (run_ == nullptr) return;
  ErrorFragment fragment = FragmentOf(error);
  bool same_as_held = held_error_ && held_error_->number == fragment.number &&
                      held_error_->description == fragment.description;
  if (script_depth_ > 0) {
    // Passing outwards through the scripts that called: the innermost place stays.
    if (!same_as_held) held_error_ = std::move(fragment);
    return;
  }
  if (same_as_held) fragment = std::move(*held_error_);
  held_error_.reset();
  (void)run_->response.AppendBytes(fragment.html);
}

// The fragment names the file and line the failing code was written in (the page or one of its
// includes), not the line of the generated script; the source context is the program's index.
CASPServer::ErrorFragment CASPServer::FragmentOf(IActiveScriptError* error) const {
  EXCEPINFO exception{};
  error->GetExceptionInfo(&exception);
  Bstr description = Bstr::Adopt(exception.bstrDescription);
  Bstr source = Bstr::Adopt(exception.bstrSource);
  Bstr help = Bstr::Adopt(exception.bstrHelpFile);
  uint32_t number = static_cast<uint32_t>(exception.scode != 0 ? exception.scode : E_FAIL);
  DWORD context = 0;
  ULONG line = 0;
  int32_t column = 0;
  bool placed = SUCCEEDED(error->GetSourcePosition(&context, &line, &column));
  BSTR line_text = nullptr;
  error->GetSourceLineText(&line_text);
  Bstr text = Bstr::Adopt(line_text);
  std::string file = run_->request.RequestPage();
  int32_t shown_line = placed ? static_cast<int32_t>(line) + 1 : -1;
  const std::vector<SourceLine>* line_map =
      page_ && context < page_->scripts.size() ? &page_->scripts[context].line_map : nullptr;
  if (placed && line_map != nullptr && line < line_map->size()) {
    SourceLine origin = (*line_map)[line];
    file = DisplayName(origin.file);
    shown_line = static_cast<int32_t>(origin.line);
  }
  return {number, std::u16string(description.view()),
          ScriptErrorFragment(description.view(), number, file, shown_line, column, text.view())};
}

// A call from one script of the page into another begins: an error held from an earlier call
// has been dealt with by its caller (an error it did not handle would have ended it).
void CASPServer::EnterScript() {
  if (script_depth_++ > 0) held_error_.reset();
}

// The page itself by its URL, its includes and global.asa by their path inside the site.
std::string CASPServer::DisplayName(uint32_t file_index) const {
  if (file_index == 0 || !page_ || file_index >= page_->files.size()) {
    return run_->request.RequestPage();
  }
  return RelativeToRoot(page_->files[file_index], run_->root);
}

// --- Dispatch members ------------------------------------------------------------------------

Result<Variant> CASPServer::GetScriptTimeout(const DispatchArguments&) {
  return Variant::FromI4(0);
}

Result<Variant> CASPServer::PutScriptTimeout(const DispatchArguments&) { return Variant(); }

Result<Variant> CASPServer::GetLastError(const DispatchArguments&) {
  return Variant::FromDispatch(nullptr);
}

Result<Variant> CASPServer::HTMLEncode(const DispatchArguments& arguments) {
  Bstr text = TRY(ToBstr(arguments[0]));
  return Variant::FromString(HtmlEncoded(text.view()));
}

Result<Variant> CASPServer::URLEncode(const DispatchArguments& arguments) {
  std::string text = TRY(NarrowTextOf(arguments[0]));
  return NarrowTextVariant(ServerUrlEncoded(text));
}

// A path starting with '/' is virtual (mapped as the request's URLs are); any other is relative
// to the folder of the page that runs.
std::optional<std::string> CASPServer::ResolvePath(std::string_view path) {
  if (run_ == nullptr) return std::nullopt;
  std::string forward(path);
  std::replace(forward.begin(), forward.end(), '\\', '/');
  if (forward.starts_with('/')) {
    return MapUrlPath(run_->site.site, forward, run_->request.ServerName()).path;
  }
  size_t slash = run_->path.rfind('/');
  std::string folder = run_->path.substr(0, slash == std::string::npos ? 0 : slash);
  return NormalisedPath(folder + "/" + forward);
}

Result<Variant> CASPServer::MapPath(const DispatchArguments& arguments) {
  std::string path = TRY(NarrowTextOf(arguments[0]));
  std::optional<std::string> mapped = ResolvePath(path);
  if (!mapped) return Variant::FromString(std::u16string_view());
  while (mapped->size() > 1 && mapped->ends_with('/')) mapped->pop_back();
  return NarrowTextVariant(*mapped);
}

Result<Variant> CASPServer::Execute(const DispatchArguments& arguments) {
  return RunChildPage(arguments, false);
}

Result<Variant> CASPServer::Transfer(const DispatchArguments& arguments) {
  return RunChildPage(arguments, true);
}

// The other page runs into the same response with its own host; afterwards the calling page
// goes on (Execute) or ends (Transfer). A page the child ended (Response.End, Redirect) ends
// its callers too.
Result<Variant> CASPServer::RunChildPage(const DispatchArguments& arguments, bool transfer) {
  if (run_ == nullptr) return Error::FromHresult(E_FAIL);
  if (depth_ + 1 >= kMaxExecuteDepth) return ErrorNumber::OutOfStackSpace;
  std::string path = TRY(NarrowTextOf(arguments[0]));
  std::optional<std::string> resolved = ResolvePath(path);
  if (!resolved) return Variant();
  ComPtr<CASPServer> child = MakeObject<CASPServer>(runtime_, depth_ + 1);
  child->session_ = session_;
  MappedPath mapped = path.starts_with('/')
                          ? MapUrlPath(run_->site.site, path, run_->request.ServerName())
                          : MappedPath{*resolved, run_->root};
  PageRun child_run{run_->request, run_->response, run_->site, *resolved, mapped.root};
  child->RunPage(child_run);
  if (transfer) (void)run_->response.EndResponse();
  if (transfer || run_->response.Ended()) return Error::FromHresult(SCRIPT_E_STOP_WITHOUT_ERROR);
  return Variant();
}

// A class identifier or a ProgID; an unknown class and a failed creation have their own texts.
Result<Variant> CASPServer::CreateObject(const DispatchArguments& arguments) {
  Bstr name = TRY(ToBstr(arguments[0]));
  std::optional<CLSID> clsid = ClassNamedBy(name.view());
  if (!clsid) {
    std::string text = Formatted(AspTextFormat(AspText::ClassNotRegistered),
                                 TextToBytes(name.view(), CP_ACP).c_str());
    return Error::Script(kCannotCreateError, BytesToText(text, CP_ACP));
  }
  ComPtr<IDispatch> object = CreateScriptObject(*clsid);
  if (!object) {
    return Error::Script(kCannotCreateError,
                         BytesToText(AspTextFormat(AspText::CannotCreateObject), CP_ACP));
  }
  std::this_thread::yield();
  return Variant::FromDispatch(object.get());
}
