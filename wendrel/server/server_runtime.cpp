#include "wendrel/server/server_runtime.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/com/apartment.h"
#include "wendrel/asp/request.h"
#include "wendrel/logging/event_log.h"
#include "wendrel/logging/trace.h"
#include "wendrel/server/connection_loop.h"
#include "wendrel/server/http_server.h"
#include "wendrel/server/plain_connection.h"
#include "wendrel/server/response.h"
#include "wendrel/server/server_texts.h"
#include "wendrel/server/ssl_context.h"
#include "wendrel/server/stream_socket.h"

namespace {

constexpr int kListenBacklog = 100;
constexpr int kWorkerWaitMs = 1000;
constexpr size_t kMaxClientAddress = 30;
constexpr char kStopPoolScope[] = "CHTTPServer::StopPool";
constexpr char kDefaultHeartbeatPath[] = "/tmp/wendrelasp";

// Sent on the bare socket when no worker frees up in hand-over mode (150 bytes).
constexpr std::string_view kServiceUnavailableResponse =
    "HTTP/1.0 503 Service Unavailable\r\nContent-length: 94\r\n\r\n<html><body><h1>Server "
    "unavailable</h1><p>Too many connections - try again later</body></html>";

std::string Formatted(const char* format, long value) {
  char text[160];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The first IPv4 address the host's own name resolves to; nothing when it does not resolve.
std::optional<std::string> FirstLocalAddress() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
  char text[INET_ADDRSTRLEN] = {};
  auto* address = reinterpret_cast<sockaddr_in*>(found->ai_addr);
  inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
  freeaddrinfo(found);
  return std::string(text);
}

std::string PeerAddress(const sockaddr_in& peer) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
  return std::string(text).substr(0, kMaxClientAddress);
}

// Waits for the listening socket or the stop; true when the socket is readable.
bool WaitForClient(int listen_socket, int stop_event, int timeout_ms) {
  pollfd waits[2] = {{listen_socket, POLLIN, 0}, {stop_event, POLLIN, 0}};
  int ready = poll(waits, 2, timeout_ms);
  if (ready <= 0) return false;
  if (waits[1].revents != 0) return false;
  return (waits[0].revents & POLLIN) != 0;
}

bool WaitForState(const std::atomic<WorkerState>& state, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (state.load() != WorkerState::Ended) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace

ServerRuntime::ServerRuntime(CHTTPServer& server, std::shared_ptr<const ServerSettings> settings,
                             std::shared_ptr<const CSSL> ssl)
    : server_(server), settings_(std::move(settings)), ssl_(std::move(ssl)) {}

ServerRuntime::~ServerRuntime() { Stop(); }

std::string ServerRuntime::Start() {
  stop_event_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stop_event_ < 0) return ServerText(1);
  local_address_ = FirstLocalAddress().value_or("127.0.0.1");
  std::string failure = OpenListeningSocket();
  if (!failure.empty()) {
    Stop();
    return failure;
  }
  StartPool();
  try {
    listener_ = std::thread([this] { ListenerLoop(); });
  } catch (const std::system_error&) {
    Stop();
    return ServerText(6);
  }
  return {};
}

std::string ServerRuntime::OpenListeningSocket() {
  listen_socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_socket_ < 0) return ServerTextWithSystemError(2, errno);
  int on = 1;
  // Lets a restarted server bind while old connections linger in TIME_WAIT; a port that
  // another socket listens on is still refused.
  setsockopt(listen_socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = settings_->bind_address;
  address.sin_port = htons(static_cast<uint16_t>(settings_->port));
  if (bind(listen_socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return ServerTextWithSystemError(3, errno);
  }
  if (listen(listen_socket_, kListenBacklog) != 0) return ServerTextWithSystemError(4, errno);
  setsockopt(listen_socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (getsockname(listen_socket_, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
    bound_port_ = ntohs(bound.sin_port);
  }
  return {};
}

void ServerRuntime::StartPool() {
  for (int i = 0; i < settings_->max_threads; ++i) {
    auto slot = std::make_unique<WorkerSlot>();
    slot->index = static_cast<size_t>(i);
    pool_.push_back(std::move(slot));
  }
  for (auto& slot : pool_) {
    WorkerSlot* worker = slot.get();
    try {
      worker->thread = std::thread([this, worker] { WorkerLoop(*worker); });
    } catch (const std::system_error&) {
      worker->state = WorkerState::Ended;  // a slot without a thread
    }
  }
}

void ServerRuntime::Stop() {
  if (stop_event_ < 0 && listen_socket_ < 0 && pool_.empty()) return;
  stopping_ = true;
  if (stop_event_ >= 0) {
    uint64_t one = 1;
    (void)!write(stop_event_, &one, sizeof one);
  }
  if (listener_.joinable()) listener_.join();
  StopPool();
  if (listen_socket_ >= 0) close(listen_socket_);
  listen_socket_ = -1;
  if (stop_event_ >= 0) close(stop_event_);
  stop_event_ = -1;
}

void ServerRuntime::StopPool() {
  TraceScope scope(kStopPoolScope);
  if (pool_.empty()) return;
  if (!settings_->hand_over_mode && listen_socket_ >= 0) {
    TraceMessage(Formatted("Closing acceptor thread %i", listen_socket_));
    shutdown(listen_socket_, SHUT_RD);
    close(listen_socket_);
    listen_socket_ = -1;
    TraceMessage("Acceptor thread closed");
  }
  for (auto& slot : pool_) {
    long index = static_cast<long>(slot->index);
    TraceMessage(Formatted("Stopping thread %i...", index));
    slot->work.notify_all();
    if (!WaitForState(slot->state, 200)) {
      std::lock_guard lock(slot->connection_mutex);
      if (slot->connection == nullptr) {
        TraceMessage(Formatted("Unable to nice stop the thread %i; but the socket is already closed!() ...",
                        index));
      } else {
        TraceMessage(Formatted("Unable to nice stop the thread %i; trying closesocket() ...", index));
        slot->connection->Interrupt();
        TraceMessage("The socket is cloed now");
      }
    }
    if (!WaitForState(slot->state, 3500)) {
      // Threads cannot be killed safely here: the worker was interrupted and is joined.
      TraceMessage(Formatted("Terminating thread %i", index));
    }
    if (slot->thread.joinable()) slot->thread.join();
  }
  TraceMessage("All threads stopped; clearing up");
  for (auto& slot : pool_) {
    TraceMessage(Formatted("Clear up thread %i", static_cast<long>(slot->index)));
  }
  TraceMessage("Clearing up the pool");
  pool_.clear();
}

// --- Listener --------------------------------------------------------------------------------

void ServerRuntime::ListenerLoop() {
  while (!stopping_) {
    if (!settings_->hand_over_mode) {
      pollfd stop{stop_event_, POLLIN, 0};
      if (poll(&stop, 1, kHousekeepingIntervalMs) == 0) {
        server_.Housekeeping();
        SendHeartbeat();
      }
      continue;
    }
    if (!WaitForClient(listen_socket_, stop_event_, kHousekeepingIntervalMs)) {
      if (!stopping_) server_.Housekeeping();
      continue;
    }
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int socket = accept4(listen_socket_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (socket < 0) continue;
    if (!HandOver(socket, PeerAddress(peer))) {
      StreamSocket refused(socket);
      refused.SendAll(kServiceUnavailableResponse);
      refused.CloseGracefully();
    }
  }
  listener_state_ = ListenerState::Ended;
}

bool ServerRuntime::HandOver(int socket, const std::string& address) {
  for (int round = 0; round < kHandOverRounds && !stopping_; ++round) {
    for (auto& slot : pool_) {
      std::lock_guard lock(slot->work_mutex);
      if (slot->busy || slot->state.load() != WorkerState::Running) continue;
      slot->busy = true;
      slot->handed_socket = socket;
      slot->client_address = address;
      slot->work.notify_one();
      return true;
    }
    if (round + 1 < kHandOverRounds) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kHandOverPauseMs));
    }
  }
  return false;
}

// A datagram with the listener's thread identifier, for a monitor that listens on the fixed
// path (WENDREL_HEARTBEAT_PATH moves it); nothing is sent when no one listens there.
void ServerRuntime::SendHeartbeat() {
  const char* path = std::getenv("WENDREL_HEARTBEAT_PATH");
  if (path == nullptr || *path == '\0') path = kDefaultHeartbeatPath;
  struct stat status {};
  if (stat(path, &status) != 0 || !S_ISSOCK(status.st_mode)) return;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof address.sun_path) return;
  std::strcpy(address.sun_path, path);
  int sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (sender < 0) return;
  uint32_t thread_id = static_cast<uint32_t>(gettid());
  sendto(sender, &thread_id, sizeof thread_id, MSG_DONTWAIT,
         reinterpret_cast<sockaddr*>(&address), sizeof address);
  close(sender);
}

// --- Workers ---------------------------------------------------------------------------------

void ServerRuntime::WorkerLoop(WorkerSlot& slot) {
  CoInitialize();
  slot.state = WorkerState::Running;
  if (settings_->hand_over_mode) {
    HandOverLoop(slot);
  } else {
    AcceptLoop(slot);
  }
  slot.request.Reset();
  slot.response.Reset();
  CoUninitialize();
  slot.state = WorkerState::Ended;
}

void ServerRuntime::AcceptLoop(WorkerSlot& slot) {
  while (!stopping_) {
    if (!WaitForClient(listen_socket_, stop_event_, kWorkerWaitMs)) continue;
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int socket = accept4(listen_socket_, reinterpret_cast<sockaddr*>(&peer), &length,
                         SOCK_CLOEXEC);
    if (socket < 0) continue;  // another worker took it
    slot.client_address = PeerAddress(peer);
    Serve(slot, socket);
  }
}

void ServerRuntime::HandOverLoop(WorkerSlot& slot) {
  while (true) {
    int socket = -1;
    {
      std::unique_lock lock(slot.work_mutex);
      slot.work.wait(lock, [&] { return stopping_.load() || slot.handed_socket >= 0; });
      if (slot.handed_socket < 0) return;
      socket = std::exchange(slot.handed_socket, -1);
    }
    if (stopping_) {
      close(socket);
      return;
    }
    Serve(slot, socket);
    std::lock_guard lock(slot.work_mutex);
    slot.busy = false;
  }
}

void ServerRuntime::Serve(WorkerSlot& slot, int socket) {
  std::unique_ptr<Connection> connection;
  if (ssl_) {
    TlsAcceptance accepted = ssl_->Accept(socket);
    if (!accepted.event_log_message.empty()) {
      EventLog::Error(accepted.event_log_message);
    }
    if (!accepted.connection) return;  // answered "HTTPS required" and closed
    connection = std::move(accepted.connection);
  } else {
    connection = std::make_unique<PlainConnection>(socket);
  }
  {
    std::lock_guard lock(slot.connection_mutex);
    slot.connection = connection.get();
  }
  ServeConnection(server_, slot, *connection, stopping_);
  {
    std::lock_guard lock(slot.connection_mutex);
    slot.connection = nullptr;
  }
  connection.reset();  // closes gracefully when still open
}
