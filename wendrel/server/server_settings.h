#pragma once
// The settings of a server. The host changes them through IServer while worker threads read
// them for every request, so a change publishes a new immutable copy (ServerSettingsStore)
// and a worker keeps the copy it took for the whole request.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

struct ServerSettings {
  int32_t port = 80;
  std::string default_directory;  // the site root; no trailing '/'
  std::string default_document = "index.htm";
  bool process_default_files = true;
  std::string log_path;
  int16_t log_level = 0;
  std::string script_language = "VBScript";
  std::string upload_dir;
  int32_t max_upload_size = 8388608;
  bool disable_upload = false;
  uint32_t bind_address = 0;  // IPv4, network order; 0 is every interface
  int32_t max_threads = 15;
  bool always_close_connection = true;
  bool freeze_events = false;
  bool use_mts_for_create_object = false;
  bool enable_asp_debug = false;

  // Limits against clients that never finish (not in the original settings).
  int32_t max_header_bytes = 65536;       // a longer header block is answered 431
  int32_t idle_timeout_seconds = 60;      // a kept-alive connection with no new request
  int32_t request_timeout_seconds = 30;   // from the first byte of a request to its end
  bool hand_over_mode = false;            // a request finds no free worker in ~1 s: 503
  int32_t script_time_limit_seconds = 0;  // a page running longer is stopped; 0 = no limit
  int32_t max_sessions = 100000;          // past it the oldest idle sessions are dropped
};

class ServerSettingsStore {
 public:
  ServerSettingsStore();
  /// The current settings; the copy stays valid (and unchanged) while it is held. Each thread
  /// keeps the copy it read last and takes the lock only after a change (workers ask for the
  /// settings several times per request).
  std::shared_ptr<const ServerSettings> Current() const;
  /// Grows with every change (unique in the process).
  uint64_t Version() const { return version_.load(std::memory_order_acquire); }
  /// Applies a change and publishes the result.
  void Update(const std::function<void(ServerSettings&)>& change);

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const ServerSettings> current_;
  // Unique in the process, so a thread's kept copy can never pass for another store's.
  std::atomic<uint64_t> version_;
};
