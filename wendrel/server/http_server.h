#pragma once
// CHTTPServer: the Server object a host creates to run a web server in its process
// (ProgID WendrelASP.Server). It holds the settings and the site lists, starts and stops the
// runtime (event loops and workers), reports failures through LastError, and gives the
// connection code what it needs through ServerCore: the site snapshot, the handler list and the
// host events; Request and Response objects ask it for upload settings, path mapping, the
// event log and MIME types.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "platform/com/connection_point.h"
#include "platform/com/dispatch_object.h"
#include "wendrel/asp/asp_runtime.h"
#include "wendrel/asp/collection.h"
#include "wendrel/asp/request_server.h"
#include "wendrel/logging/config_store.h"
#include "wendrel/server/connections/server_core.h"
#include "wendrel/server/handlers/handler_chain.h"
#include "wendrel/server/handlers/native_host_handler.h"
#include "wendrel/server/host_events.h"
#include "wendrel/server/path_mapping.h"
#include "wendrel/server/response_host.h"
#include "wendrel/server/server_settings.h"
#include "wendrel/server/server_texts.h"
#include "wendrel/server/site_snapshot.h"

class CSSL;
class Request;
class Response;
class ServerRuntime;

class CHTTPServer : public DispatchObject<CHTTPServer>,
                    public RequestServer,
                    public ResponseHost,
                    public ServerCore,
                    public AspServerServices {
 public:
  /// Thread counts MaxThreads accepts.
  static constexpr int32_t kMinThreads = 3;
  static constexpr int32_t kMaxThreads = 255;
  /// The smallest MaxUploadSize; smaller values are raised to it.
  static constexpr int32_t kMinUploadSize = 1024;

  CHTTPServer();
  ~CHTTPServer() override;

  static std::span<const DispatchMember<CHTTPServer>> Members();
  std::u16string_view TypeName() override { return u"IServer"; }

  /// Starts the server; false with LastError set when it cannot.
  bool Start();
  /// Stops the server; nothing happens when it is not running.
  void Stop();
  bool IsStarted() const;
  /// The port the running server listens on (the one chosen by the system for Port 0); 0 when
  /// stopped.
  int BoundPort() const;
  std::string LastErrorText() const;

  /// The settings the workers read; a change is published as a new copy.
  std::shared_ptr<const ServerSettings> Settings() const { return settings_.Current(); }
  void UpdateSettings(const std::function<void(ServerSettings&)>& change) {
    settings_.Update(change);
  }

  /// A C++ host's own answer to requests, called on a worker before any other handler: true
  /// when it answered the request. Set it while the server is stopped.
  void SetNativeRequestHandler(NativeRequestHandler handler);

  // ServerCore (and AspServerServices)
  std::shared_ptr<const SiteSnapshot> Site() override { return site_.Current(); }
  const HandlerChain& Handlers() const override { return handlers_; }
  HostEvents& Events() override { return *events_; }
  RequestServer* ForRequests() override { return this; }
  ResponseHost* ForResponses() override { return this; }
  void Housekeeping() override;

  // AspServerServices
  const std::atomic<bool>& Stopping() const override { return stopping_; }
  void WriteEventLog(std::string_view line) override;  // also ResponseHost
  void LogServerLine(std::string_view line) override;
  std::pair<IncludeCallback, intptr_t> IncludeHook() const override;
  /// The ASP runtime while the server runs with script engines; null otherwise.
  AspRuntime* Asp() { return asp_.get(); }

  // RequestServer
  int32_t MaxUploadSize() const override;
  bool DisableUpload() const override;
  std::string UploadDir() const override;
  std::string PrivateUploadFolder() const override;
  bool IsServedFolder(std::string_view folder) const override;
  std::optional<std::string> MapVirtualPath(std::string_view virtual_path,
                                            const Request& request) const override;
  bool HoldsSslContext() const override;
  std::string LocalAddress() const override;
  int32_t Port() const override;  // also ServerCore

  // ResponseHost
  void LogMessage(std::string_view text) override;
  std::string MimeTypeOf(std::string_view extension) const override;

  // Dispatch members.
  Result<Variant> StartServer(const DispatchArguments& arguments);
  Result<Variant> StopServer(const DispatchArguments& arguments);
  Result<Variant> GetLastError(const DispatchArguments& arguments);
  Result<Variant> GetPort(const DispatchArguments& arguments);
  Result<Variant> PutPort(const DispatchArguments& arguments);
  Result<Variant> GetDefaultDirectory(const DispatchArguments& arguments);
  Result<Variant> PutDefaultDirectory(const DispatchArguments& arguments);
  Result<Variant> GetDefaultDocument(const DispatchArguments& arguments);
  Result<Variant> PutDefaultDocument(const DispatchArguments& arguments);
  Result<Variant> GetProcessDefaultFiles(const DispatchArguments& arguments);
  Result<Variant> PutProcessDefaultFiles(const DispatchArguments& arguments);
  Result<Variant> GetLogPath(const DispatchArguments& arguments);
  Result<Variant> PutLogPath(const DispatchArguments& arguments);
  Result<Variant> GetLogLevel(const DispatchArguments& arguments);
  Result<Variant> PutLogLevel(const DispatchArguments& arguments);
  Result<Variant> GetScriptLanguage(const DispatchArguments& arguments);
  Result<Variant> PutScriptLanguage(const DispatchArguments& arguments);
  Result<Variant> GetEnableASPDebug(const DispatchArguments& arguments);
  Result<Variant> PutEnableASPDebug(const DispatchArguments& arguments);
  Result<Variant> GetDisableUpload(const DispatchArguments& arguments);
  Result<Variant> PutDisableUpload(const DispatchArguments& arguments);
  Result<Variant> GetUploadDir(const DispatchArguments& arguments);
  Result<Variant> PutUploadDir(const DispatchArguments& arguments);
  Result<Variant> GetMaxUploadSize(const DispatchArguments& arguments);
  Result<Variant> PutMaxUploadSize(const DispatchArguments& arguments);
  Result<Variant> GetServerBind(const DispatchArguments& arguments);
  Result<Variant> PutServerBind(const DispatchArguments& arguments);
  Result<Variant> GetMaxThreads(const DispatchArguments& arguments);
  Result<Variant> PutMaxThreads(const DispatchArguments& arguments);
  Result<Variant> GetAlwaysCloseConnection(const DispatchArguments& arguments);
  Result<Variant> PutAlwaysCloseConnection(const DispatchArguments& arguments);
  Result<Variant> GetFreezeEvents(const DispatchArguments& arguments);
  Result<Variant> PutFreezeEvents(const DispatchArguments& arguments);
  Result<Variant> GetUseMTSForCreateObject(const DispatchArguments& arguments);
  Result<Variant> PutUseMTSForCreateObject(const DispatchArguments& arguments);
  Result<Variant> AddASPObject(const DispatchArguments& arguments);
  Result<Variant> ExecuteASPPageFromFile(const DispatchArguments& arguments);
  Result<Variant> GetScriptTimeLimit(const DispatchArguments& arguments);
  Result<Variant> PutScriptTimeLimit(const DispatchArguments& arguments);
  Result<Variant> GetMaxSessions(const DispatchArguments& arguments);
  Result<Variant> PutMaxSessions(const DispatchArguments& arguments);
  Result<Variant> InitSSL(const DispatchArguments& arguments);
  Result<Variant> URLEncode(const DispatchArguments& arguments);
  Result<Variant> GetMaxHeaderSize(const DispatchArguments& arguments);
  Result<Variant> PutMaxHeaderSize(const DispatchArguments& arguments);
  Result<Variant> GetIdleTimeout(const DispatchArguments& arguments);
  Result<Variant> PutIdleTimeout(const DispatchArguments& arguments);
  Result<Variant> GetRequestTimeout(const DispatchArguments& arguments);
  Result<Variant> PutRequestTimeout(const DispatchArguments& arguments);
  Result<Variant> GetHandOverMode(const DispatchArguments& arguments);
  Result<Variant> GetBoundPort(const DispatchArguments& arguments);
  Result<Variant> AddVirtualDir(const DispatchArguments& arguments);
  Result<Variant> GetVirtualDirs(const DispatchArguments& arguments);
  Result<Variant> GetHostId(const DispatchArguments& arguments);
  Result<Variant> MIMETypes(const DispatchArguments& arguments);
  Result<Variant> MapVirtualPathMember(const DispatchArguments& arguments);
  Result<Variant> SetCallback(const DispatchArguments& arguments);
  Result<Variant> SetThreadCallback(const DispatchArguments& arguments);
  Result<Variant> SetEventHandler(const DispatchArguments& arguments);
  Result<Variant> SetIncludeCallback(const DispatchArguments& arguments);
  Result<Variant> SaveConfig(const DispatchArguments& arguments);
  Result<Variant> LoadConfig(const DispatchArguments& arguments);


  Result<Variant> PutHandOverMode(const DispatchArguments& arguments);

 protected:
  void* QueryOtherInterface(REFIID iid) override;

 private:
  // The connection-point container, a part of the server that shares its reference count.
  class EventSource final : public IConnectionPointContainer {
   public:
    explicit EventSource(CHTTPServer& owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return owner_.AddRef(); }
    ULONG Release() override { return owner_.Release(); }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

   private:
    CHTTPServer& owner_;
  };

  // A refusal: the COM error `number` with the text of `text_id`, also kept in LastError when
  // asked.
  enum class KeepInLastError { No, Yes };
  Error Refuse(int32_t number, ServerTextId text_id, KeepInLastError keep);
  void SetLastError(std::string text);
  void BuildHandlerChain();
  void StartAspRuntime();
  ServerConfiguration CurrentConfiguration();
  bool ApplyConfiguration(const LoadedConfiguration& loaded);
  Result<Variant> PutFlag(const DispatchArguments& arguments, bool ServerSettings::*field);
  Result<Variant> PutText(const DispatchArguments& arguments, std::string ServerSettings::*field);

  ServerSettingsStore settings_;
  mutable std::mutex state_mutex_;  // guards the members below
  std::string last_error_;
  std::unique_ptr<ServerRuntime> runtime_;
  std::shared_ptr<const CSSL> ssl_;
  NativeRequestHandler native_handler_;  // read by the workers; changed only while stopped
  std::atomic<bool> stopping_{false};
  std::atomic<int> bound_port_{0};  // the running server's port, read by every request
  EventSource event_source_{*this};
  std::unique_ptr<HostEvents> events_;
  ComPtr<Collection> virtual_dirs_;
  ComPtr<Collection> host_ids_;
  ComPtr<Collection> mime_types_;
  SiteSnapshotStore site_{settings_, *virtual_dirs_, *host_ids_, *mime_types_};
  HandlerChain handlers_;
  uintptr_t include_callback_ = 0;  // asked for pages and includes before the disk
  intptr_t include_callback_parameter_ = 0;
  std::unique_ptr<AspRuntime> asp_;  // from start to stop, when the script engines could be made
};

/// The Server class for the module's class factory; null when memory runs out.
IUnknown* CreateHttpServer();

/// URLEncode's form: letters and digits stay, every other byte becomes %XX (upper-case hex).
std::string ServerUrlEncoded(std::string_view text);
