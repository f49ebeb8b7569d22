#pragma once
// CHTTPServer: the Server object a host creates to run a web server in its process
// (ProgID WendrelASP.Server). It holds the settings, starts and stops the listener and the
// worker pool, reports failures through LastError, and answers for the requests its workers
// read: upload settings and path mapping for the Request, the event log and MIME types for the
// Response, and the handler that answers each request.

#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "platform/com/dispatch_object.h"
#include "wendrel/asp/request_server.h"
#include "wendrel/server/response_host.h"
#include "wendrel/server/server_settings.h"

class CSSL;
class Request;
class Response;
class ServerRuntime;

class CHTTPServer : public DispatchObject<CHTTPServer>, public RequestServer, public ResponseHost {
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

  /// A C++ host's own answer to requests, called on the worker thread before the static
  /// files: true when it answered the request. Set it while the server is stopped.
  using NativeRequestHandler = std::function<bool(Request& request, Response& response)>;
  void SetNativeRequestHandler(NativeRequestHandler handler);
  /// Answers a parsed request (called on the worker thread after the keep-alive decision).
  void HandleRequest(Request& request, Response& response);
  /// The periodic upkeep of the listener (every five seconds while running).
  void Housekeeping();

  // RequestServer
  int32_t MaxUploadSize() const override;
  bool DisableUpload() const override;
  std::string UploadDir() const override;
  std::optional<std::string> MapVirtualPath(std::string_view virtual_path,
                                            const Request& request) const override;
  bool HoldsSslContext() const override;
  std::string LocalAddress() const override;
  int32_t Port() const override;

  // ResponseHost
  void WriteEventLog(std::string_view line) override;
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
  Result<Variant> InitSSL(const DispatchArguments& arguments);
  Result<Variant> URLEncode(const DispatchArguments& arguments);
  Result<Variant> GetMaxHeaderSize(const DispatchArguments& arguments);
  Result<Variant> PutMaxHeaderSize(const DispatchArguments& arguments);
  Result<Variant> GetIdleTimeout(const DispatchArguments& arguments);
  Result<Variant> PutIdleTimeout(const DispatchArguments& arguments);
  Result<Variant> GetRequestTimeout(const DispatchArguments& arguments);
  Result<Variant> PutRequestTimeout(const DispatchArguments& arguments);
  Result<Variant> GetHandOverMode(const DispatchArguments& arguments);
  Result<Variant> PutHandOverMode(const DispatchArguments& arguments);

 private:
  // A refusal: the COM error `number` with the text of `text_id`, also kept in LastError when
  // asked.
  enum class KeepInLastError { No, Yes };
  Error Refuse(int32_t number, int text_id, KeepInLastError keep);
  void SetLastError(std::string text);
  Result<Variant> PutFlag(const DispatchArguments& arguments, bool ServerSettings::*field);
  Result<Variant> PutText(const DispatchArguments& arguments, std::string ServerSettings::*field);

  ServerSettingsStore settings_;
  mutable std::mutex state_mutex_;  // guards the members below
  std::string last_error_;
  std::unique_ptr<ServerRuntime> runtime_;
  std::shared_ptr<const CSSL> ssl_;
  NativeRequestHandler native_handler_;  // read by the workers; changed only while stopped
};

/// The Server class for the module's class factory; null when memory runs out.
IUnknown* CreateHttpServer();

/// URLEncode's form: letters and digits stay, every other byte becomes %XX (upper-case hex).
std::string ServerUrlEncoded(std::string_view text);
