#pragma once
// AspRuntime: what a running server keeps for its ASP pages (the "script engine manager"): the
// template engines, the compiled pages, the sessions, the Application object, the host's
// objects (AddASPObject), the include callback and the script time limit. Made by StartServer, given
// up by StopServer; shared by every worker. What it needs of the server comes through
// AspServerServices.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/com_ptr.h"
#include "wendrel/asp/asp_application.h"
#include "wendrel/asp/compiled_page_cache.h"
#include "wendrel/asp/page_files.h"
#include "wendrel/asp/script_engine_table.h"
#include "wendrel/asp/script_watchdog.h"
#include "wendrel/asp/session_store.h"

class HostEvents;
struct SiteSnapshot;

class AspServerServices {
 public:
  virtual std::shared_ptr<const SiteSnapshot> Site() = 0;
  virtual HostEvents& Events() = 0;
  virtual const std::atomic<bool>& Stopping() const = 0;
  /// An error entry for the event log.
  virtual void WriteEventLog(std::string_view line) = 0;
  /// A line of the server's own log (include requests and the like).
  virtual void LogServerLine(std::string_view line) = 0;
  /// The host's include callback and its parameter; null when none is set.
  virtual std::pair<IncludeCallback, intptr_t> IncludeHook() const = 0;

 protected:
  ~AspServerServices() = default;
};

class AspRuntime {
 public:
  explicit AspRuntime(AspServerServices& server);
  ~AspRuntime();
  AspRuntime(const AspRuntime&) = delete;
  AspRuntime& operator=(const AspRuntime&) = delete;

  AspServerServices& Server() { return server_; }
  ScriptEngineTable& Engines() { return engines_; }
  CompiledPageCache& Pages() { return pages_; }
  CASPApplication& Application() { return *application_; }
  SessionStore& Sessions() { return sessions_; }
  /// Set once the host's include callback had no global.asa.
  std::atomic<bool>& HostLacksGlobalFile() { return host_lacks_global_file_; }
  ScriptWatchdog& Watchdog() { return watchdog_; }

  /// AddASPObject: a named object every page sees. Fails with 1003 once a page has been served.
  Result<void> AddHostObject(std::u16string_view name, ComPtr<IDispatch> object);
  /// The host's object of that name (ignoring case); null when none.
  ComPtr<IDispatch> HostObject(std::u16string_view name);
  /// A page has been served: the object model is fixed from now on.
  void NotePageServed() { page_served_.store(true); }
  /// How many times a page was read, preprocessed and parsed (the cache's misses).
  uint64_t Compilations() const { return compilations_.load(); }
  void NoteCompilation() { compilations_.fetch_add(1); }

 private:
  AspServerServices& server_;
  ScriptEngineTable engines_;
  CompiledPageCache pages_;
  SessionStore sessions_;
  ComPtr<CASPApplication> application_;
  std::atomic<bool> host_lacks_global_file_{false};
  ScriptWatchdog watchdog_;
  std::atomic<bool> page_served_{false};
  std::atomic<uint64_t> compilations_{0};
  std::mutex objects_mutex_;
  std::vector<std::pair<std::u16string, ComPtr<IDispatch>>> host_objects_;
};
