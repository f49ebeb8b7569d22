#include "wendrel/server/http_server.h"

#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "wendrel/common/narrow_text.h"
#include "wendrel/logging/event_log.h"
#include "wendrel/server/mime_types.h"
#include "wendrel/server/server_runtime.h"
#include "wendrel/server/server_texts.h"
#include "wendrel/server/ssl_context.h"
#include "wendrel/logging/trace.h"
#include "wendrel/asp/asp_server.h"
#include "wendrel/asp/asp_texts.h"
#include "wendrel/server/response.h"
#include "wendrel/server/handlers/asp_page_handler.h"
#include "wendrel/server/handlers/dotnet_bridge_handler.h"
#include "wendrel/server/handlers/request_target.h"
#include "wendrel/server/handlers/host_events_handler.h"
#include "wendrel/server/handlers/static_file_handler.h"
#include "wendrel/server/virtual_dir.h"
#include "wendrel/asp/item.h"
#include "wendrel/asp/request.h"

namespace {

// COM error numbers of refused calls.
constexpr int32_t kNotStartedError = 1002;
constexpr int32_t kThreadsWhileRunningError = 10000;
constexpr int32_t kThreadCountError = 10001;
constexpr int32_t kSslTwiceError = 10002;
constexpr int32_t kSslWhileRunningError = 10003;
constexpr int32_t kBindWhileRunningError = 10004;

// Their texts.
constexpr ServerTextId kBindWhileRunningText = ServerTextId::AlreadyStartedForBind;
constexpr ServerTextId kSslWhileRunningText = ServerTextId::AlreadyStartedForSsl;
constexpr ServerTextId kSslTwiceText = ServerTextId::SslAlreadyInitialised;
constexpr ServerTextId kThreadsWhileRunningText = ServerTextId::AlreadyStartedForThreads;
constexpr ServerTextId kThreadCountText = ServerTextId::ThreadCountOutOfRange;

constexpr int32_t kEventHandlerError = 10005;
constexpr ServerTextId kEventHandlerText = ServerTextId::NoPageRequestedMethod;
constexpr char kWindowFailure[] = "System failure: Unable to create window";

constexpr char kServerStartedMessage[] = "*** SERVER STARTED ***";
constexpr char kServerStopMessage[] = "*** SERVER STOP ***";

Variant BoolResult(bool value) { return Variant::FromBool(value); }

// A BOOL out-parameter is written back when the caller passed one; the value is also the
// result, so that scripts can write ok = server.StartServer().
Result<Variant> OutBool(const DispatchArguments& arguments, size_t index, bool value) {
  if (index < arguments.size() && !arguments.IsMissing(index)) {
    TRY(arguments.Assign(index, BoolResult(value)));
  }
  return BoolResult(value);
}

// A function address or parameter given as a number (32- or 64-bit).
Result<int64_t> AddressOf(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_I8 || shallow.vt == VT_UI8) return shallow.llVal;
  if (shallow.vt == VT_EMPTY || shallow.vt == VT_ERROR) return int64_t{0};
  return int64_t{TRY(ToInt32(shallow))};
}

ComPtr<Collection> PlainCollection(EntryFactory factory) {
  return MakeObject<Collection>(factory, CollectionOptions{});
}

bool IsAsciiAlphanumeric(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string ServerUrlEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size() * 3);
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (IsAsciiAlphanumeric(byte)) {
      encoded.push_back(c);
      continue;
    }
    encoded.push_back('%');
    encoded.push_back(kHex[byte >> 4]);
    encoded.push_back(kHex[byte & 0x0F]);
  }
  return encoded;
}

CHTTPServer::CHTTPServer()
    : events_(std::make_unique<HostEvents>(&event_source_)),
      virtual_dirs_(PlainCollection(&CVirtDir::Make)),
      host_ids_(PlainCollection(&Item::MakeSingleValue)),
      mime_types_(PlainCollection(&Item::MakeSingleValue)) {
  if (const char* mode = std::getenv("WENDREL_HAND_OVER"); mode && *mode == '1') {
    settings_.Update([](ServerSettings& settings) { settings.hand_over_mode = true; });
  }
  BuildHandlerChain();
}

// The handlers in the order requests meet them.
void CHTTPServer::BuildHandlerChain() {
  using Requests = HostEventsHandler::Requests;
  using Files = StaticFileHandler::Files;
  handlers_.Append(std::make_unique<NativeHostHandler>(native_handler_));
  handlers_.Append(std::make_unique<HostEventsHandler>(Requests::AllWhileDefaultFilesOff));
  handlers_.Append(std::make_unique<AspPageHandler>(asp_));
  handlers_.Append(std::make_unique<DotNetBridgeHandler>(static_cast<IDispatch*>(this)));
  handlers_.Append(std::make_unique<StaticFileHandler>(Files::WithContentType));
  handlers_.Append(std::make_unique<HostEventsHandler>(Requests::RemainingFiles));
  handlers_.Append(std::make_unique<StaticFileHandler>(Files::Remaining));
}

CHTTPServer::~CHTTPServer() { Stop(); }

std::span<const DispatchMember<CHTTPServer>> CHTTPServer::Members() {
  using S = CHTTPServer;
  static constexpr DispatchMember<S> kMembers[] = {
      {u"StartServer", 1, kMethod, 0, 1, &S::StartServer, u"Result"},
      {u"StopServer", 2, kMethod, 0, 1, &S::StopServer, u"Result"},
      {u"LastError", 3, kPropertyGet, 0, 0, &S::GetLastError},
      {u"Port", 4, kPropertyGet, 0, 0, &S::GetPort},
      {u"Port", 4, kPropertyPut, 0, 0, &S::PutPort},
      {u"DefaultDirectory", 5, kPropertyGet, 0, 0, &S::GetDefaultDirectory},
      {u"DefaultDirectory", 5, kPropertyPut, 0, 0, &S::PutDefaultDirectory},
      {u"DefaultDocument", 6, kPropertyGet, 0, 0, &S::GetDefaultDocument},
      {u"DefaultDocument", 6, kPropertyPut, 0, 0, &S::PutDefaultDocument},
      {u"ProcessDefaultFiles", 7, kPropertyGet, 0, 0, &S::GetProcessDefaultFiles},
      {u"ProcessDefaultFiles", 7, kPropertyPut, 0, 0, &S::PutProcessDefaultFiles},
      {u"LogPath", 8, kPropertyGet, 0, 0, &S::GetLogPath},
      {u"LogPath", 8, kPropertyPut, 0, 0, &S::PutLogPath},
      {u"LogLevel", 9, kPropertyGet, 0, 0, &S::GetLogLevel},
      {u"LogLevel", 9, kPropertyPut, 0, 0, &S::PutLogLevel},
      {u"ScriptLanguage", 10, kPropertyGet, 0, 0, &S::GetScriptLanguage},
      {u"ScriptLanguage", 10, kPropertyPut, 0, 0, &S::PutScriptLanguage},
      {u"EnableASPDebug", 11, kPropertyGet, 0, 0, &S::GetEnableASPDebug},
      {u"EnableASPDebug", 11, kPropertyPut, 0, 0, &S::PutEnableASPDebug},
      {u"DisableUpload", 12, kPropertyGet, 0, 0, &S::GetDisableUpload},
      {u"DisableUpload", 12, kPropertyPut, 0, 0, &S::PutDisableUpload},
      {u"UploadDir", 13, kPropertyGet, 0, 0, &S::GetUploadDir},
      {u"UploadDir", 13, kPropertyPut, 0, 0, &S::PutUploadDir},
      {u"MaxUploadSize", 14, kPropertyGet, 0, 0, &S::GetMaxUploadSize},
      {u"MaxUploadSize", 14, kPropertyPut, 0, 0, &S::PutMaxUploadSize},
      {u"ServerBind", 15, kPropertyGet, 0, 0, &S::GetServerBind},
      {u"ServerBind", 15, kPropertyPut, 0, 0, &S::PutServerBind},
      {u"MaxThreads", 16, kPropertyGet, 0, 0, &S::GetMaxThreads},
      {u"MaxThreads", 16, kPropertyPut, 0, 0, &S::PutMaxThreads},
      {u"AlwaysCloseConnection", 17, kPropertyGet, 0, 0, &S::GetAlwaysCloseConnection},
      {u"AlwaysCloseConnection", 17, kPropertyPut, 0, 0, &S::PutAlwaysCloseConnection},
      {u"FreezeEvents", 18, kPropertyGet, 0, 0, &S::GetFreezeEvents},
      {u"FreezeEvents", 18, kPropertyPut, 0, 0, &S::PutFreezeEvents},
      {u"UseMTSForCreateObject", 19, kPropertyGet, 0, 0, &S::GetUseMTSForCreateObject},
      {u"UseMTSForCreateObject", 19, kPropertyPut, 0, 0, &S::PutUseMTSForCreateObject},
      {u"AddASPObject", 20, kMethod, 2, 3, &S::AddASPObject,
       u"ScriptingName,ObjectInstance,Result"},
      {u"ExecuteASPPage_FromFile", 21, kMethod, 3, 3, &S::ExecuteASPPageFromFile,
       u"FileName,RequestObject,ResponseObject"},
      {u"InitSSL", 22, kMethod, 3, 4, &S::InitSSL,
       u"PrivateKeyFile,CertificateFile,PrivatePassword,Result"},
      {u"URLEncode", 26, kMethod, 1, 2, &S::URLEncode, u"EncodeString,Result"},
      // Limits of this implementation, hidden from the type library.
      {u"MaxHeaderSize", 100, kPropertyGet, 0, 0, &S::GetMaxHeaderSize},
      {u"MaxHeaderSize", 100, kPropertyPut, 0, 0, &S::PutMaxHeaderSize},
      {u"IdleTimeout", 101, kPropertyGet, 0, 0, &S::GetIdleTimeout},
      {u"IdleTimeout", 101, kPropertyPut, 0, 0, &S::PutIdleTimeout},
      {u"RequestTimeout", 102, kPropertyGet, 0, 0, &S::GetRequestTimeout},
      {u"RequestTimeout", 102, kPropertyPut, 0, 0, &S::PutRequestTimeout},
      {u"HandOverMode", 103, kPropertyGet, 0, 0, &S::GetHandOverMode},
      {u"HandOverMode", 103, kPropertyPut, 0, 0, &S::PutHandOverMode},
      {u"BoundPort", 104, kPropertyGet, 0, 0, &S::GetBoundPort},
      {u"ScriptTimeLimit", 105, kPropertyGet, 0, 0, &S::GetScriptTimeLimit},
      {u"ScriptTimeLimit", 105, kPropertyPut, 0, 0, &S::PutScriptTimeLimit},
      {u"MaxSessions", 106, kPropertyGet, 0, 0, &S::GetMaxSessions},
      {u"MaxSessions", 106, kPropertyPut, 0, 0, &S::PutMaxSessions},
      {u"AddVirtualDir", 27, kMethod, 2, 2, &S::AddVirtualDir, u"VirtualDir,RealDir"},
      {u"VirtualDirs", 28, kPropertyGet | kMethod, 0, 0, &S::GetVirtualDirs},
      {u"HostId", 29, kPropertyGet | kMethod, 0, 0, &S::GetHostId},
      {u"MIMETypes", 30, kMethod | kPropertyGet, 0, 0, &S::MIMETypes},
      {u"MapVirtualPath", 31, kMethod, 1, 2, &S::MapVirtualPathMember, u"InPath,Result"},
      {u"SetCallback", 32, kMethod, 1, 2, &S::SetCallback, u"CallbackFn,CallbackParam"},
      {u"SetThreadCallback", 33, kMethod, 1, 2, &S::SetThreadCallback,
       u"CallbackAddress,CallbackParam"},
      {u"SetEventHandler", 34, kMethod, 0, 1, &S::SetEventHandler, u"EventHandler"},
      {u"SetIncludeCallback", 35, kMethod, 1, 2, &S::SetIncludeCallback,
       u"CallbackFn,CallbackParam"},
      {u"SaveConfig", 36, kMethod, 1, 2, &S::SaveConfig, u"Location,Result"},
      {u"LoadConfig", 37, kMethod, 1, 2, &S::LoadConfig, u"Location,Result"},
  };
  return kMembers;
}

// --- Start and stop --------------------------------------------------------------------------

bool CHTTPServer::Start() {
  std::lock_guard lock(state_mutex_);
  last_error_.clear();
  if (runtime_) {
    last_error_ = ServerText(kBindWhileRunningText);
    return false;
  }
  // Host events arrive on the thread that starts the server, which must pump its queue.
  if (!IsInApartment()) CoInitialize();
  if (!events_->EnsureWindow()) {
    last_error_ = kWindowFailure;
    return false;
  }
  stopping_ = false;
  StartAspRuntime();
  auto runtime = std::make_unique<ServerRuntime>(*this, settings_.Current(), ssl_);
  std::string failure = runtime->Start();
  if (!failure.empty()) {
    last_error_ = failure;
    asp_.reset();
    return false;
  }
  bound_port_ = runtime->BoundPort();
  runtime_ = std::move(runtime);
  EventLog::Information(Settings()->log_level, kServerStartedMessage);
  return true;
}

void CHTTPServer::Stop() {
  std::unique_ptr<ServerRuntime> runtime;
  {
    std::lock_guard lock(state_mutex_);
    runtime = std::move(runtime_);
    if (!runtime) return;
    ssl_.reset();  // InitSSL must be called again before the next start
  }
  stopping_ = true;  // workers waiting for the host give up
  handlers_.ServerStopping();  // and those waiting for the .NET bridge
  runtime->Stop();
  bound_port_ = 0;
  runtime.reset();
  asp_.reset();
  events_->ReleaseEventHandler();
  virtual_dirs_->RemoveAllEntries();
  host_ids_->RemoveAllEntries();
  mime_types_->RemoveAllEntries();
  EventLog::Information(Settings()->log_level, kServerStopMessage);
}

bool CHTTPServer::IsStarted() const {
  std::lock_guard lock(state_mutex_);
  return runtime_ != nullptr;
}

int CHTTPServer::BoundPort() const { return bound_port_.load(std::memory_order_relaxed); }

std::string CHTTPServer::LastErrorText() const {
  std::lock_guard lock(state_mutex_);
  return last_error_;
}

void CHTTPServer::SetLastError(std::string text) {
  std::lock_guard lock(state_mutex_);
  last_error_ = std::move(text);
}

Error CHTTPServer::Refuse(int32_t number, ServerTextId text_id, KeepInLastError keep) {
  std::string text = ServerText(text_id);
  if (keep == KeepInLastError::Yes) SetLastError(text);
  return Error::Script(number, BytesToText(text, CP_ACP));
}

// Sessions idle past their timeout go (the listener thread, every few seconds).
void CHTTPServer::Housekeeping() {
  if (asp_) asp_->Sessions().Sweep();
}

// The script engine manager: the template of the default language is made here, on the host
// thread. When no engine can be made the server still starts, without ASP pages.
void CHTTPServer::StartAspRuntime() {
  auto asp = std::make_unique<AspRuntime>(*this);
  asp->Sessions().SetMaxSessions(static_cast<size_t>(Settings()->max_sessions));
  std::string log_line;
  if (!asp->Engines().TemplateFor(Settings()->script_language, &log_line).ok()) {
    if (!log_line.empty()) EventLog::Error(log_line);
    EventLog::Error(AspTextFormat(AspText::EnginesUnavailable));
    last_error_ = ServerText(ServerTextId::ScriptEnginesUnavailable);
    return;
  }
  asp_ = std::move(asp);
}

void CHTTPServer::LogServerLine(std::string_view line) { TraceMessage(line); }

std::pair<IncludeCallback, intptr_t> CHTTPServer::IncludeHook() const {
  std::lock_guard lock(state_mutex_);
  return {reinterpret_cast<IncludeCallback>(include_callback_), include_callback_parameter_};
}

void CHTTPServer::SetNativeRequestHandler(NativeRequestHandler handler) {
  std::lock_guard lock(state_mutex_);
  if (!runtime_) native_handler_ = std::move(handler);
}

void* CHTTPServer::QueryOtherInterface(REFIID iid) {
  if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(&event_source_);
  return nullptr;
}

HRESULT CHTTPServer::EventSource::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IConnectionPointContainer || iid == IID_IUnknown) {
    *object = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
  }
  return owner_.QueryInterface(iid, object);
}

HRESULT CHTTPServer::EventSource::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (iid != kServerEventsId) return CONNECT_E_NOCONNECTION;
  ConnectionPoint& events = owner_.events_->EventPoint();
  events.AddRef();
  *point = &events;
  return S_OK;
}

// --- What requests and responses ask of the server -------------------------------------------

int32_t CHTTPServer::MaxUploadSize() const { return Settings()->max_upload_size; }
bool CHTTPServer::DisableUpload() const { return Settings()->disable_upload; }
std::string CHTTPServer::UploadDir() const { return Settings()->upload_dir; }

// Uploads without an UploadDir go to a folder of this user's own outside the site:
// "/var/tmp/wendrel-uploads-<uid>" (WENDREL_UPLOAD_BASE replaces "/var/tmp"), made with mode
// 0700 on first use and used only while it is a real folder (not a link) owned by this user
// that no served folder contains.
std::string CHTTPServer::PrivateUploadFolder() const {
  const char* base = std::getenv("WENDREL_UPLOAD_BASE");
  std::string folder = base != nullptr && *base != '\0' ? base : "/var/tmp";
  folder += "/wendrel-uploads-" + std::to_string(getuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat status {};
  if (lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
      status.st_uid != getuid() || IsServedFolder(folder)) {
    return {};
  }
  return folder;
}

bool CHTTPServer::IsServedFolder(std::string_view folder) const {
  std::string normal = NormalisedRoot(folder);
  auto inside = [&normal](const std::string& root) {
    return normal == root || root == "/" || normal.starts_with(root + "/");
  };
  for (const FileRoot& root : const_cast<CHTTPServer*>(this)->Site()->roots) {
    if (inside(root.path())) return true;
  }
  return false;
}

std::optional<std::string> CHTTPServer::MapVirtualPath(std::string_view virtual_path,
                                                       const Request& request) const {
  auto* self = const_cast<CHTTPServer*>(this);  // the snapshot store locks itself
  return MapUrlPath(self->Site()->site, virtual_path, request.ServerName()).path;
}

bool CHTTPServer::HoldsSslContext() const {
  std::lock_guard lock(state_mutex_);
  return ssl_ != nullptr;
}

std::string CHTTPServer::LocalAddress() const {
  std::lock_guard lock(state_mutex_);
  return runtime_ ? runtime_->LocalAddress() : "127.0.0.1";
}

int32_t CHTTPServer::Port() const {
  int bound = BoundPort();
  return bound != 0 ? bound : Settings()->port;
}

void CHTTPServer::WriteEventLog(std::string_view line) { EventLog::Error(line); }

// The LogMessage event first (on the host thread); the text is logged unless a handler says no.
void CHTTPServer::LogMessage(std::string_view text) {
  EventLog::LogMessage(text, [this](std::string_view message) {
    return events_->RaiseLogMessage(message, stopping_);
  });
}

std::string CHTTPServer::MimeTypeOf(std::string_view extension) const {
  return std::string(ContentTypeOf(extension, const_cast<CHTTPServer*>(this)->Site()->mime_types));
}

// --- Dispatch members ------------------------------------------------------------------------

Result<Variant> CHTTPServer::StartServer(const DispatchArguments& arguments) {
  return OutBool(arguments, 0, Start());
}

Result<Variant> CHTTPServer::StopServer(const DispatchArguments& arguments) {
  Stop();
  return OutBool(arguments, 0, true);
}

Result<Variant> CHTTPServer::GetLastError(const DispatchArguments&) {
  return NarrowTextVariant(LastErrorText());
}

Result<Variant> CHTTPServer::PutFlag(const DispatchArguments& arguments,
                                     bool ServerSettings::*field) {
  bool value = TRY(ToBool(arguments.value()));
  UpdateSettings([&](ServerSettings& settings) { settings.*field = value; });
  return Variant();
}

Result<Variant> CHTTPServer::PutText(const DispatchArguments& arguments,
                                     std::string ServerSettings::*field) {
  std::string value = TRY(NarrowTextOf(arguments.value()));
  UpdateSettings([&](ServerSettings& settings) { settings.*field = value; });
  return Variant();
}

Result<Variant> CHTTPServer::GetPort(const DispatchArguments&) {
  return Variant::FromI4(Settings()->port);
}
Result<Variant> CHTTPServer::PutPort(const DispatchArguments& arguments) {
  int32_t port = TRY(ToInt32(arguments.value()));
  if (port < 0 || port > 65535) return ErrorNumber::InvalidProcedureCall;
  UpdateSettings([&](ServerSettings& settings) { settings.port = port; });
  return Variant();
}

Result<Variant> CHTTPServer::GetDefaultDirectory(const DispatchArguments&) {
  return NarrowTextVariant(Settings()->default_directory);
}
// A trailing '/' is dropped (the root itself stays "/").
Result<Variant> CHTTPServer::PutDefaultDirectory(const DispatchArguments& arguments) {
  std::string directory = TRY(NarrowTextOf(arguments.value()));
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  UpdateSettings([&](ServerSettings& settings) { settings.default_directory = directory; });
  return Variant();
}

Result<Variant> CHTTPServer::GetDefaultDocument(const DispatchArguments&) {
  return NarrowTextVariant(Settings()->default_document);
}
Result<Variant> CHTTPServer::PutDefaultDocument(const DispatchArguments& arguments) {
  return PutText(arguments, &ServerSettings::default_document);
}
Result<Variant> CHTTPServer::GetProcessDefaultFiles(const DispatchArguments&) {
  return BoolResult(Settings()->process_default_files);
}
Result<Variant> CHTTPServer::PutProcessDefaultFiles(const DispatchArguments& arguments) {
  return PutFlag(arguments, &ServerSettings::process_default_files);
}
Result<Variant> CHTTPServer::GetLogPath(const DispatchArguments&) {
  return NarrowTextVariant(Settings()->log_path);
}
Result<Variant> CHTTPServer::PutLogPath(const DispatchArguments& arguments) {
  return PutText(arguments, &ServerSettings::log_path);
}
Result<Variant> CHTTPServer::GetLogLevel(const DispatchArguments&) {
  return Variant::FromI2(Settings()->log_level);
}
Result<Variant> CHTTPServer::PutLogLevel(const DispatchArguments& arguments) {
  int16_t level = TRY(ToInt16(arguments.value()));
  UpdateSettings([&](ServerSettings& settings) { settings.log_level = level; });
  if (level >= 1) ResetTraceDepth();
  return Variant();
}
Result<Variant> CHTTPServer::GetScriptLanguage(const DispatchArguments&) {
  return NarrowTextVariant(Settings()->script_language);
}
Result<Variant> CHTTPServer::PutScriptLanguage(const DispatchArguments& arguments) {
  return PutText(arguments, &ServerSettings::script_language);
}
// The debugger cannot be reached while the host runs its code on the workers.
Result<Variant> CHTTPServer::GetEnableASPDebug(const DispatchArguments&) {
  if (events_->HasThreadCallback()) return BoolResult(false);
  return BoolResult(Settings()->enable_asp_debug);
}
Result<Variant> CHTTPServer::PutEnableASPDebug(const DispatchArguments& arguments) {
  return PutFlag(arguments, &ServerSettings::enable_asp_debug);
}
Result<Variant> CHTTPServer::GetDisableUpload(const DispatchArguments&) {
  return BoolResult(Settings()->disable_upload);
}
Result<Variant> CHTTPServer::PutDisableUpload(const DispatchArguments& arguments) {
  return PutFlag(arguments, &ServerSettings::disable_upload);
}
Result<Variant> CHTTPServer::GetUploadDir(const DispatchArguments&) {
  return NarrowTextVariant(Settings()->upload_dir);
}
Result<Variant> CHTTPServer::PutUploadDir(const DispatchArguments& arguments) {
  return PutText(arguments, &ServerSettings::upload_dir);
}
Result<Variant> CHTTPServer::GetMaxUploadSize(const DispatchArguments&) {
  return Variant::FromI4(Settings()->max_upload_size);
}
Result<Variant> CHTTPServer::PutMaxUploadSize(const DispatchArguments& arguments) {
  int32_t size = TRY(ToInt32(arguments.value()));
  if (size < kMinUploadSize + 1) size = kMinUploadSize;
  UpdateSettings([&](ServerSettings& settings) { settings.max_upload_size = size; });
  return Variant();
}

Result<Variant> CHTTPServer::GetServerBind(const DispatchArguments&) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr address{Settings()->bind_address};
  inet_ntop(AF_INET, &address, text, sizeof text);
  return NarrowTextVariant(text);
}
Result<Variant> CHTTPServer::PutServerBind(const DispatchArguments& arguments) {
  if (IsStarted()) {
    return Refuse(kBindWhileRunningError, kBindWhileRunningText, KeepInLastError::Yes);
  }
  std::string text = TRY(NarrowTextOf(arguments.value()));
  in_addr address{};
  if (inet_pton(AF_INET, text.c_str(), &address) != 1) return ErrorNumber::InvalidProcedureCall;
  UpdateSettings([&](ServerSettings& settings) { settings.bind_address = address.s_addr; });
  return Variant();
}

Result<Variant> CHTTPServer::GetMaxThreads(const DispatchArguments&) {
  return Variant::FromI2(static_cast<int16_t>(Settings()->max_threads));
}
Result<Variant> CHTTPServer::PutMaxThreads(const DispatchArguments& arguments) {
  if (IsStarted()) {
    return Refuse(kThreadsWhileRunningError, kThreadsWhileRunningText, KeepInLastError::Yes);
  }
  int32_t count = TRY(ToInt32(arguments.value()));
  if (count < kMinThreads || count > kMaxThreads) {
    return Refuse(kThreadCountError, kThreadCountText, KeepInLastError::Yes);
  }
  UpdateSettings([&](ServerSettings& settings) { settings.max_threads = count; });
  return Variant();
}

Result<Variant> CHTTPServer::GetAlwaysCloseConnection(const DispatchArguments&) {
  return BoolResult(Settings()->always_close_connection);
}
Result<Variant> CHTTPServer::PutAlwaysCloseConnection(const DispatchArguments& arguments) {
  return PutFlag(arguments, &ServerSettings::always_close_connection);
}
Result<Variant> CHTTPServer::GetFreezeEvents(const DispatchArguments&) {
  return BoolResult(Settings()->freeze_events);
}
Result<Variant> CHTTPServer::PutFreezeEvents(const DispatchArguments& arguments) {
  return PutFlag(arguments, &ServerSettings::freeze_events);
}
Result<Variant> CHTTPServer::GetUseMTSForCreateObject(const DispatchArguments&) {
  return BoolResult(Settings()->use_mts_for_create_object);
}
Result<Variant> CHTTPServer::PutUseMTSForCreateObject(const DispatchArguments& arguments) {
  return PutFlag(arguments, &ServerSettings::use_mts_for_create_object);
}

// AddASPObject(name, object): a named object every page sees. It needs a running server with
// its ASP runtime (1002 before the start) and is refused once a page has been served (1003);
// afterwards every connection closes after its response.
Result<Variant> CHTTPServer::AddASPObject(const DispatchArguments& arguments) {
  if (!IsStarted()) return Error::Script(kNotStartedError, u"Call StartServer() first");
  if (!asp_) return OutBool(arguments, 2, false);
  Bstr name = TRY(ToBstr(arguments[0]));
  VARIANT object = PeekValue(arguments[1]);
  if (object.vt != VT_DISPATCH || object.pdispVal == nullptr || name.view().empty()) {
    return OutBool(arguments, 2, false);
  }
  TRY(asp_->AddHostObject(name.view(), ComPtr<IDispatch>(object.pdispVal)));
  UpdateSettings([](ServerSettings& settings) { settings.always_close_connection = true; });
  return OutBool(arguments, 2, true);
}

// ExecuteASPPage_FromFile(FileName, RequestObject, ResponseObject): a host runs a page on its
// own thread (in PageRequested) against the request and response it was given.
Result<Variant> CHTTPServer::ExecuteASPPageFromFile(const DispatchArguments& arguments) {
  if (!asp_) return Error::FromHresult(E_FAIL);
  std::string path = TRY(NarrowTextOf(arguments[0]));
  VARIANT request = PeekValue(arguments[1]);
  VARIANT response = PeekValue(arguments[2]);
  auto* request_object = request.vt == VT_DISPATCH ? dynamic_cast<Request*>(request.pdispVal) : nullptr;
  auto* response_object =
      response.vt == VT_DISPATCH ? dynamic_cast<Response*>(response.pdispVal) : nullptr;
  if (request_object == nullptr || response_object == nullptr) return ErrorNumber::TypeMismatch;
  std::shared_ptr<const SiteSnapshot> site = Site();
  PageRun run{*request_object, *response_object, *site, path, site->settings->default_directory};
  MakeObject<CASPServer>(*asp_)->RunPage(run);
  return Variant();
}

Result<Variant> CHTTPServer::GetScriptTimeLimit(const DispatchArguments&) {
  return Variant::FromI4(Settings()->script_time_limit_seconds);
}
Result<Variant> CHTTPServer::PutScriptTimeLimit(const DispatchArguments& arguments) {
  int32_t seconds = TRY(ToInt32(arguments.value()));
  if (seconds < 0) return ErrorNumber::InvalidProcedureCall;
  UpdateSettings([&](ServerSettings& settings) { settings.script_time_limit_seconds = seconds; });
  return Variant();
}

Result<Variant> CHTTPServer::GetMaxSessions(const DispatchArguments&) {
  return Variant::FromI4(Settings()->max_sessions);
}
Result<Variant> CHTTPServer::PutMaxSessions(const DispatchArguments& arguments) {
  int32_t limit = TRY(ToInt32(arguments.value()));
  if (limit < 1) return ErrorNumber::InvalidProcedureCall;
  UpdateSettings([&](ServerSettings& settings) { settings.max_sessions = limit; });
  if (asp_) asp_->Sessions().SetMaxSessions(static_cast<size_t>(limit));
  return Variant();
}

Result<Variant> CHTTPServer::InitSSL(const DispatchArguments& arguments) {
  if (IsStarted()) return Refuse(kSslWhileRunningError, kSslWhileRunningText, KeepInLastError::Yes);
  if (HoldsSslContext()) return Refuse(kSslTwiceError, kSslTwiceText, KeepInLastError::Yes);
  std::string key_file = TRY(NarrowTextOf(arguments[0]));
  std::string certificate_file = TRY(NarrowTextOf(arguments[1]));
  std::string password = TRY(NarrowTextOf(arguments[2]));
  SslContextCreation made = CSSL::Create(key_file, certificate_file, std::move(password));
  if (!made.context) {
    SetLastError(made.message);
    return OutBool(arguments, 3, false);
  }
  if (!made.message.empty()) EventLog::Information(Settings()->log_level, made.message);
  {
    std::lock_guard lock(state_mutex_);
    ssl_ = std::move(made.context);
  }
  return OutBool(arguments, 3, true);
}

Result<Variant> CHTTPServer::URLEncode(const DispatchArguments& arguments) {
  std::string text = TRY(NarrowTextOf(arguments[0]));
  Variant encoded = NarrowTextVariant(ServerUrlEncoded(text));
  if (arguments.size() > 1 && !arguments.IsMissing(1)) TRY(arguments.Assign(1, encoded));
  return encoded;
}

Result<Variant> CHTTPServer::GetMaxHeaderSize(const DispatchArguments&) {
  return Variant::FromI4(Settings()->max_header_bytes);
}
Result<Variant> CHTTPServer::PutMaxHeaderSize(const DispatchArguments& arguments) {
  int32_t size = TRY(ToInt32(arguments.value()));
  if (size < 1024) return ErrorNumber::InvalidProcedureCall;
  UpdateSettings([&](ServerSettings& settings) { settings.max_header_bytes = size; });
  return Variant();
}
Result<Variant> CHTTPServer::GetIdleTimeout(const DispatchArguments&) {
  return Variant::FromI4(Settings()->idle_timeout_seconds);
}
Result<Variant> CHTTPServer::PutIdleTimeout(const DispatchArguments& arguments) {
  int32_t seconds = TRY(ToInt32(arguments.value()));
  if (seconds < 1) return ErrorNumber::InvalidProcedureCall;
  UpdateSettings([&](ServerSettings& settings) { settings.idle_timeout_seconds = seconds; });
  return Variant();
}
Result<Variant> CHTTPServer::GetRequestTimeout(const DispatchArguments&) {
  return Variant::FromI4(Settings()->request_timeout_seconds);
}
Result<Variant> CHTTPServer::PutRequestTimeout(const DispatchArguments& arguments) {
  int32_t seconds = TRY(ToInt32(arguments.value()));
  if (seconds < 1) return ErrorNumber::InvalidProcedureCall;
  UpdateSettings([&](ServerSettings& settings) { settings.request_timeout_seconds = seconds; });
  return Variant();
}
Result<Variant> CHTTPServer::GetHandOverMode(const DispatchArguments&) {
  return BoolResult(Settings()->hand_over_mode);
}
Result<Variant> CHTTPServer::PutHandOverMode(const DispatchArguments& arguments) {
  if (IsStarted()) {
    return Refuse(kThreadsWhileRunningError, kThreadsWhileRunningText, KeepInLastError::Yes);
  }
  return PutFlag(arguments, &ServerSettings::hand_over_mode);
}

// The port the running server listens on (Port 0 lets the system choose); 0 when stopped.
Result<Variant> CHTTPServer::GetBoundPort(const DispatchArguments&) {
  return Variant::FromI4(BoundPort());
}

// --- Site lists ------------------------------------------------------------------------------

// AddVirtualDir("docs", folder): the key becomes "/docs/"; an existing key gets the new folder.
Result<Variant> CHTTPServer::AddVirtualDir(const DispatchArguments& arguments) {
  std::string name = CVirtDir::NormalisedName(TRY(NarrowTextOf(arguments[0])));
  std::string folder = TRY(NarrowTextOf(arguments[1]));
  if (ComPtr<IDispatch> existing = virtual_dirs_->FindEntry(name)) {
    static_cast<CVirtDir*>(existing.get())->SetRealDir(folder);
    return Variant();
  }
  virtual_dirs_->AddEntry(name, folder);
  return Variant();
}

Result<Variant> CHTTPServer::GetVirtualDirs(const DispatchArguments&) {
  return Variant::FromDispatch(virtual_dirs_.get());
}
Result<Variant> CHTTPServer::GetHostId(const DispatchArguments&) {
  return Variant::FromDispatch(host_ids_.get());
}
Result<Variant> CHTTPServer::MIMETypes(const DispatchArguments&) {
  return Variant::FromDispatch(mime_types_.get());
}

// MapVirtualPath(InPath, out Result): the mapping without a request.
Result<Variant> CHTTPServer::MapVirtualPathMember(const DispatchArguments& arguments) {
  std::string path = TRY(NarrowTextOf(arguments[0]));
  Variant mapped = NarrowTextVariant(MapUrlPath(Site()->site, path).path);
  if (arguments.size() > 1 && !arguments.IsMissing(1)) TRY(arguments.Assign(1, mapped));
  return mapped;
}

// --- Host hooks ------------------------------------------------------------------------------

Result<Variant> CHTTPServer::SetCallback(const DispatchArguments& arguments) {
  int64_t function = TRY(AddressOf(arguments[0]));
  int64_t parameter = arguments.size() > 1 ? TRY(AddressOf(arguments[1])) : 0;
  events_->SetCallback(reinterpret_cast<PageRequestedCallback>(static_cast<intptr_t>(function)),
                       static_cast<intptr_t>(parameter));
  return Variant();
}

Result<Variant> CHTTPServer::SetThreadCallback(const DispatchArguments& arguments) {
  int64_t function = TRY(AddressOf(arguments[0]));
  int64_t parameter = arguments.size() > 1 ? TRY(AddressOf(arguments[1])) : 0;
  events_->SetThreadCallback(reinterpret_cast<ThreadCallback>(static_cast<intptr_t>(function)),
                             static_cast<intptr_t>(parameter));
  return Variant();
}

// SetEventHandler(object): holds it when it has "PageRequested" (10005 when not); no object
// releases the one held.
Result<Variant> CHTTPServer::SetEventHandler(const DispatchArguments& arguments) {
  VARIANT handler = arguments.IsMissing(0) ? VARIANT{} : PeekValue(arguments[0]);
  IDispatch* object = handler.vt == VT_DISPATCH ? handler.pdispVal : nullptr;
  if (events_->SetEventHandler(object)) return Variant();
  return Refuse(kEventHandlerError, kEventHandlerText, KeepInLastError::No);
}

Result<Variant> CHTTPServer::SetIncludeCallback(const DispatchArguments& arguments) {
  int64_t function = TRY(AddressOf(arguments[0]));
  int64_t parameter = arguments.size() > 1 ? TRY(AddressOf(arguments[1])) : 0;
  std::lock_guard lock(state_mutex_);
  include_callback_ = static_cast<uintptr_t>(function);
  include_callback_parameter_ = static_cast<intptr_t>(parameter);
  return Variant();
}

// --- Configuration ---------------------------------------------------------------------------

ServerConfiguration CHTTPServer::CurrentConfiguration() {
  std::shared_ptr<const ServerSettings> settings = Settings();
  ServerConfiguration configuration;
  configuration.default_directory = settings->default_directory;
  configuration.default_document = settings->default_document;
  configuration.always_close = settings->always_close_connection ? 1 : 0;
  configuration.disable_upload = settings->disable_upload ? 1 : 0;
  configuration.log_level = settings->log_level;
  configuration.log_path = settings->log_path;
  configuration.max_threads = settings->max_threads;
  configuration.max_upload_size = settings->max_upload_size;
  configuration.port = settings->port;
  configuration.process_default = settings->process_default_files ? 1 : 0;
  configuration.virtual_dirs = virtual_dirs_->EntryPairs();
  configuration.host_ids = host_ids_->EntryPairs();
  configuration.mime_types = mime_types_->EntryPairs();
  char bind[INET_ADDRSTRLEN] = {};
  in_addr address{settings->bind_address};
  inet_ntop(AF_INET, &address, bind, sizeof bind);
  configuration.server_bind = bind;
  configuration.upload_dir = settings->upload_dir;
  configuration.enable_asp_debug = settings->enable_asp_debug ? -1 : 0;
  configuration.script_language = settings->script_language;
  return configuration;
}

// Loaded values replace the settings directly (no property checks), lists are added to,
// ServerBind and EnableASPDebug go through their setters; a refused ServerBind is skipped.
bool CHTTPServer::ApplyConfiguration(const LoadedConfiguration& loaded) {
  UpdateSettings([&](ServerSettings& settings) {
    if (loaded.default_directory) settings.default_directory = *loaded.default_directory;
    if (loaded.default_document) settings.default_document = *loaded.default_document;
    if (loaded.always_close) settings.always_close_connection = *loaded.always_close != 0;
    if (loaded.disable_upload) settings.disable_upload = *loaded.disable_upload != 0;
    if (loaded.log_level) settings.log_level = static_cast<int16_t>(*loaded.log_level);
    if (loaded.log_path) settings.log_path = *loaded.log_path;
    if (loaded.max_threads) settings.max_threads = *loaded.max_threads;
    if (loaded.max_upload_size) settings.max_upload_size = *loaded.max_upload_size;
    if (loaded.port) settings.port = *loaded.port;
    if (loaded.process_default) settings.process_default_files = *loaded.process_default != 0;
    if (loaded.script_language) settings.script_language = *loaded.script_language;
    if (loaded.upload_dir) settings.upload_dir = *loaded.upload_dir;
  });
  for (const auto& [name, folder] : loaded.virtual_dirs) virtual_dirs_->AddEntry(name, folder);
  for (const auto& [host, folder] : loaded.host_ids) host_ids_->AddEntry(host, folder);
  for (const auto& [extension, type] : loaded.mime_types) mime_types_->AddEntry(extension, type);
  if (loaded.server_bind) {
    Variant bind = NarrowTextVariant(*loaded.server_bind);
    (void)PutMember(this, u"ServerBind", {}, bind);
  }
  if (loaded.enable_asp_debug) {
    (void)PutMember(this, u"EnableASPDebug", {}, BoolResult(*loaded.enable_asp_debug != 0));
  }
  return loaded.any_found;
}

Result<Variant> CHTTPServer::SaveConfig(const DispatchArguments& arguments) {
  std::string location = TRY(NarrowTextOf(arguments[0]));
  return OutBool(arguments, 1, SaveConfiguration(location, CurrentConfiguration()));
}

Result<Variant> CHTTPServer::LoadConfig(const DispatchArguments& arguments) {
  std::string location = TRY(NarrowTextOf(arguments[0]));
  LoadedConfiguration loaded = LoadConfiguration(location, CurrentConfiguration());
  return OutBool(arguments, 1, ApplyConfiguration(loaded));
}

IUnknown* CreateHttpServer() {
  return static_cast<IDispatch*>(new (std::nothrow) CHTTPServer());
}
