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
#include <optional>

#include <algorithm>
#include <thread>

#include "platform/com/com_object.h"
#include "wendrel/common/formatted.h"
#include "wendrel/logging/trace.h"
#include "wendrel/server/connections/event_loop.h"
#include "wendrel/server/server_texts.h"
#include "wendrel/server/ssl_context.h"

namespace {

// The listen backlog. Connections are accepted as fast as they come now, so the backlog only
// has to hold a burst; the system caps it at somaxconn.
constexpr int kListenBacklog = 4096;
constexpr char kStopPoolScope[] = "CHTTPServer::StopPool";
constexpr char kDefaultHeartbeatPath[] = "/tmp/wendrelasp";

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

}  // namespace

ServerRuntime::ServerRuntime(ServerCore& core, std::shared_ptr<const ServerSettings> settings,
                             std::shared_ptr<const CSSL> ssl)
    : core_(core), settings_(std::move(settings)), ssl_(std::move(ssl)) {}

ServerRuntime::~ServerRuntime() { Stop(); }

int ServerRuntime::LoopCount() {
  int processors = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(processors, 1, kMaxLoops);
}

std::string ServerRuntime::Start() {
  stop_event_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stop_event_ < 0) return ServerText(ServerTextId::SocketsUnavailable);
  local_address_ = FirstLocalAddress().value_or("127.0.0.1");
  std::string failure = OpenListeningSocket();
  if (failure.empty()) {
    workers_.Start(settings_->max_threads);
    failure = StartLoops();
  }
  if (failure.empty()) {
    try {
      listener_ = std::thread([this] { ThreadEntry([this] { ListenerLoop(); }); });
    } catch (const std::system_error&) {
      failure = ServerText(ServerTextId::CannotStartThread);
    }
  }
  if (!failure.empty()) Stop();
  return failure;
}

std::string ServerRuntime::OpenListeningSocket() {
  listen_socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_socket_ < 0) return ServerTextWithSystemError(ServerTextId::CannotCreateSocket, errno);
  int on = 1;
  // Lets a restarted server bind while old connections linger in TIME_WAIT; a port that
  // another socket listens on is still refused.
  setsockopt(listen_socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = settings_->bind_address;
  address.sin_port = htons(static_cast<uint16_t>(settings_->port));
  if (bind(listen_socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return ServerTextWithSystemError(ServerTextId::CannotBind, errno);
  }
  if (listen(listen_socket_, kListenBacklog) != 0) return ServerTextWithSystemError(ServerTextId::CannotListen, errno);
  setsockopt(listen_socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (getsockname(listen_socket_, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
    bound_port_ = ntohs(bound.sin_port);
  }
  return {};
}

std::string ServerRuntime::StartLoops() {
  serving_ = std::unique_ptr<ServingContext>(
      new ServingContext{core_, ssl_.get(), stopping_, workers_, settings_->hand_over_mode});
  for (int i = 0; i < LoopCount(); ++i) {
    auto loop = std::make_unique<EventLoop>(*serving_, listen_socket_);
    if (!loop->Start()) return ServerText(ServerTextId::CannotStartThread);
    loops_.push_back(std::move(loop));
  }
  return {};
}

void ServerRuntime::Stop() {
  if (stop_event_ < 0 && listen_socket_ < 0 && loops_.empty()) return;
  stopping_ = true;
  if (stop_event_ >= 0) {
    uint64_t one = 1;
    (void)!write(stop_event_, &one, sizeof one);
  }
  if (listener_.joinable()) listener_.join();
  StopPool();
  for (auto& loop : loops_) loop->Stop();
  loops_.clear();
  serving_.reset();
  if (listen_socket_ >= 0) close(listen_socket_);
  listen_socket_ = -1;
  if (stop_event_ >= 0) close(stop_event_);
  stop_event_ = -1;
}

// The loops stop accepting and the listening socket closes; then the workers end, each given
// 200 ms to finish the request it serves before its connection is interrupted.
void ServerRuntime::StopPool() {
  TraceScope scope(kStopPoolScope);
  if (listen_socket_ >= 0) {
    TraceMessage(Formatted("Closing acceptor thread %i", listen_socket_));
    for (auto& loop : loops_) loop->StopAccepting();
    shutdown(listen_socket_, SHUT_RD);
    TraceMessage("Acceptor thread closed");
  }
  workers_.Stop();
}

// --- Listener --------------------------------------------------------------------------------

void ServerRuntime::ListenerLoop() {
  while (!stopping_) {
    pollfd stop{stop_event_, POLLIN, 0};
    if (poll(&stop, 1, kHousekeepingIntervalMs) == 0 && !stopping_) {
      core_.Housekeeping();
      SendHeartbeat();
    }
  }
  listener_state_ = ListenerState::Ended;
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
