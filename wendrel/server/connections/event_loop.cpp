#include "wendrel/server/connections/event_loop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/com/com_object.h"
#include "wendrel/asp/request.h"
#include "wendrel/http/error_pages.h"
#include "wendrel/logging/access_log.h"
#include "wendrel/logging/event_log.h"
#include "wendrel/server/connections/http_connection.h"
#include "wendrel/server/plain_connection.h"
#include "wendrel/server/response.h"
#include "wendrel/server/ssl_context.h"
#include "wendrel/server/tls_connection.h"

namespace {

// epoll data of the two descriptors that are not connections (a connection's is its address).
constexpr uint64_t kListenTag = 1;
constexpr uint64_t kWakeTag = 2;
constexpr size_t kEventsPerWait = 256;
constexpr size_t kMaxClientAddress = 30;
// After the process ran out of descriptors, accepting pauses this long.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

std::string PeerAddress(const sockaddr_in& peer) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
  return std::string(text).substr(0, kMaxClientAddress);
}

// sendfile raises SIGPIPE on a peer that reset (it takes no MSG_NOSIGNAL): blocked for good in
// the loop's thread, so a pending one never ends the process.
void BlockSigpipe() {
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}

}  // namespace

EventLoop::EventLoop(ServingContext& context, int listen_socket)
    : context_(context),
      listen_socket_(listen_socket),
      idle_timers_(&HttpConnection::LinkOf),
      request_timers_(&HttpConnection::LinkOf),
      send_timers_(&HttpConnection::LinkOf),
      linger_timers_(&HttpConnection::LinkOf),
      handshake_timers_(&HttpConnection::LinkOf),
      worker_timers_(&HttpConnection::LinkOf) {}

EventLoop::~EventLoop() {
  Stop();
  if (epoll_ >= 0) close(epoll_);
  if (wake_ >= 0) close(wake_);
}

bool EventLoop::Start() {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (epoll_ < 0 || wake_ < 0) return false;
  epoll_event wake{};
  wake.events = EPOLLIN;
  wake.data.u64 = kWakeTag;
  epoll_event listen{};
  // One loop wakes per new client, not all of them.
  listen.events = EPOLLIN | EPOLLEXCLUSIVE;
  listen.data.u64 = kListenTag;
  if (epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &wake) != 0 ||
      epoll_ctl(epoll_, EPOLL_CTL_ADD, listen_socket_, &listen) != 0) {
    return false;
  }
  accepting_ = true;
  access_log_ = std::make_unique<AccessLogWriter>();
  try {
    thread_ = std::thread([this] { ThreadEntry([this] { Run(); }); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void EventLoop::Post(std::function<void()> task) {
  {
    std::lock_guard lock(posted_mutex_);
    posted_.push_back(std::move(task));
  }
  uint64_t one = 1;
  (void)!write(wake_, &one, sizeof one);
}

void EventLoop::StopAccepting() {
  accept_off_ = true;
  Post([] {});
}

void EventLoop::Stop() {
  if (!thread_.joinable()) return;
  ending_ = true;
  Post([] {});
  thread_.join();
}

void EventLoop::Run() {
  BlockSigpipe();
  std::vector<epoll_event> events(kEventsPerWait);
  while (!ending_) {
    int ready = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), WaitMs());
    for (int i = 0; i < ready && !ending_; ++i) {
      const epoll_event& event = events[static_cast<size_t>(i)];
      if (event.data.u64 == kWakeTag) {
        uint64_t count;
        (void)!read(wake_, &count, sizeof count);
        RunPosted();
      } else if (event.data.u64 == kListenTag) {
        AcceptClients();
      } else {
        Serve(*static_cast<HttpConnection*>(event.data.ptr), event.events);
      }
    }
    // Connections closed in this batch go only now: a later event of the batch may still name
    // one of them.
    DestroyRetired();
    if (ready <= 0) RunPosted();
    ExpireTimers();
    DestroyRetired();
  }
  CloseEverything();
}

// A connection whose work runs out of memory is closed; the loop and the others go on.
void EventLoop::Serve(HttpConnection& connection, uint32_t events) {
  try {
    connection.OnReady(events);
  } catch (const std::bad_alloc&) {
    connection.CloseAtOnce();
  }
}

void EventLoop::RunPosted() {
  std::vector<std::function<void()>> tasks;
  {
    std::lock_guard lock(posted_mutex_);
    tasks.swap(posted_);
  }
  for (auto& task : tasks) task();
  if (accept_off_ && accepting_) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, listen_socket_, nullptr);
    accepting_ = false;
  }
}

void EventLoop::AcceptClients() {
  if (!accepting_ || SteadyClock::now() < accept_paused_until_) return;
  for (int i = 0; i < kAcceptBatch; ++i) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int socket = accept4(listen_socket_, reinterpret_cast<sockaddr*>(&peer), &length,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (socket >= 0) {
      Adopt(socket, PeerAddress(peer));
      continue;
    }
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      // The listening socket stays readable: without a pause the loop would spin on it.
      accept_paused_until_ = SteadyClock::now() + kAcceptPause;
      epoll_ctl(epoll_, EPOLL_CTL_DEL, listen_socket_, nullptr);
      accepting_ = false;
    }
    return;  // EAGAIN: another loop took it, or nobody is waiting
  }
}

void EventLoop::Adopt(int socket, std::string client_address) {
  std::unique_ptr<Connection> transport;
  bool handshake = false;
  if (context_.ssl != nullptr) {
    std::string failure;
    transport = context_.ssl->NewConnection(socket, StreamSocket::Mode::AlreadyNonBlocking,
                                            &failure);
    if (!transport) {
      EventLog::Error(failure);
      (void)!send(socket, BareSocketBytes(BareSocketLiteral::HttpsRequired).data(),
                  BareSocketBytes(BareSocketLiteral::HttpsRequired).size(), MSG_NOSIGNAL);
      close(socket);
      return;
    }
    handshake = true;
  } else {
    // Nagle's algorithm is off already: accepted sockets inherit TCP_NODELAY from the
    // listening socket.
    transport = std::make_unique<PlainConnection>(socket, StreamSocket::Mode::AlreadyNonBlocking);
  }
  auto connection = std::make_unique<HttpConnection>(*this, std::move(transport),
                                                     std::move(client_address), handshake);
  HttpConnection* adopted = connection.release();
  connections_.insert(adopted);
  if (!adopted->Open()) adopted->CloseAtOnce();
}

bool EventLoop::Watch(HttpConnection& connection, int descriptor) {
  epoll_event event{};
  event.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
  event.data.ptr = &connection;
  return epoll_ctl(epoll_, EPOLL_CTL_ADD, descriptor, &event) == 0;
}

void EventLoop::Unwatch(int descriptor) {
  if (descriptor >= 0) epoll_ctl(epoll_, EPOLL_CTL_DEL, descriptor, nullptr);
}

void EventLoop::Retire(HttpConnection& connection) {
  if (std::find(retired_.begin(), retired_.end(), &connection) == retired_.end()) {
    retired_.push_back(&connection);
  }
}

void EventLoop::DestroyRetired() {
  while (!retired_.empty()) {
    HttpConnection* connection = retired_.back();
    retired_.pop_back();
    if (connections_.erase(connection) > 0) delete connection;
  }
}

RequestObjects EventLoop::TakeRequestObjects() {
  if (!spare_objects_.empty()) {
    RequestObjects objects = std::move(spare_objects_.back());
    spare_objects_.pop_back();
    return objects;
  }
  RequestObjects objects;
  objects.request = MakeObject<Request>(context_.core.ForRequests());
  objects.response = MakeObject<Response>(context_.core.ForResponses());
  return objects;
}

void EventLoop::GiveBack(RequestObjects objects) {
  if (!objects.request || !objects.response) return;
  spare_objects_.push_back(std::move(objects));
}

void EventLoop::ExpireTimers() {
  struct Kind {
    DeadlineList* list;
    TimeOut which;
  };
  const Kind kinds[] = {{&handshake_timers_, TimeOut::Handshake}, {&request_timers_, TimeOut::Request},
                        {&idle_timers_, TimeOut::Idle},           {&send_timers_, TimeOut::Send},
                        {&linger_timers_, TimeOut::Linger},       {&worker_timers_, TimeOut::Worker}};
  SteadyClock::time_point now = SteadyClock::now();
  for (const Kind& kind : kinds) {
    while (HttpConnection* expired = kind.list->FirstExpired(now)) {
      DeadlineList::Remove(*expired, &HttpConnection::LinkOf);
      expired->OnTimeOut(kind.which);
    }
  }
  if (!accepting_ && !accept_off_ && now >= accept_paused_until_) {
    epoll_event listen{};
    listen.events = EPOLLIN | EPOLLEXCLUSIVE;
    listen.data.u64 = kListenTag;
    accepting_ = epoll_ctl(epoll_, EPOLL_CTL_ADD, listen_socket_, &listen) == 0;
  }
}

int EventLoop::WaitMs() const {
  SteadyClock::time_point earliest = SteadyClock::now() + std::chrono::milliseconds(kLongestWaitMs);
  for (const DeadlineList* list : {&handshake_timers_, &request_timers_, &idle_timers_,
                                   &send_timers_, &linger_timers_, &worker_timers_}) {
    SteadyClock::time_point deadline;
    if (list->Earliest(deadline)) earliest = std::min(earliest, deadline);
  }
  if (!accepting_ && !accept_off_) earliest = std::min(earliest, accept_paused_until_);
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(earliest - SteadyClock::now());
  return static_cast<int>(std::clamp<int64_t>(left.count() + 1, 0, kLongestWaitMs));
}

void EventLoop::CloseEverything() {
  std::vector<HttpConnection*> all(connections_.begin(), connections_.end());
  for (HttpConnection* connection : all) connection->CloseAtOnce();
  DestroyRetired();
  for (HttpConnection* connection : connections_) delete connection;  // any never retired
  connections_.clear();
  spare_objects_.clear();
}
