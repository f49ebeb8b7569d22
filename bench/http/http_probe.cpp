// A client-side probe for the HTTP benchmark, for what wrk does not show:
//   load  closed-loop clients that check every answer (status 200, exact body length) and count
//         requests per connection, so that a connection the server never serves shows up as
//         "unserved" instead of vanishing from the totals;
//   idle  many kept-alive connections, each served once, then held open without a request;
//   slow  clients that send a request header one byte every few seconds and never finish it.
// One thread, one epoll set, loopback only. Prints one line of name=value pairs.
//
//   http_probe load --port P --path /one.txt --bytes 1024 [--connections 8] [--seconds 10] [--close]
//   http_probe idle --port P --path /one.txt --connections 10000 --seconds 20
//   http_probe slow --port P --connections 1000 --seconds 20 [--interval-ms 3000]

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  std::string mode;
  int port = 0;
  std::string path = "/";
  long expected_bytes = -1;
  int connections = 8;
  int seconds = 10;
  bool close_each = false;
  int interval_ms = 3000;
};

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: http_probe load|idle|slow --port P [--path X] [--bytes N] "
               "[--connections N] [--seconds S] [--close] [--interval-ms M]\n");
  std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
  if (argc < 2) Usage();
  Options options;
  options.mode = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::string_view name = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) Usage();
      return argv[++i];
    };
    if (name == "--port") options.port = std::atoi(value());
    else if (name == "--path") options.path = value();
    else if (name == "--bytes") options.expected_bytes = std::atol(value());
    else if (name == "--connections") options.connections = std::atoi(value());
    else if (name == "--seconds") options.seconds = std::atoi(value());
    else if (name == "--close") options.close_each = true;
    else if (name == "--interval-ms") options.interval_ms = std::atoi(value());
    else Usage();
  }
  if (options.port <= 0 || options.connections <= 0 || options.seconds <= 0) Usage();
  return options;
}

int Connect(int port) {
  int socket_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (socket_fd < 0) return -1;
  int on = 1;
  setsockopt(socket_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS) {
    close(socket_fd);
    return -1;
  }
  return socket_fd;
}

// One client connection and what it has seen.
struct Client {
  int fd = -1;
  std::string input;
  size_t sent = 0;
  Clock::time_point request_started;
  long served = 0;
  bool waiting = false;  // a request is out and its answer not complete
};

// How many bytes of `input` make one whole response: 0 while incomplete, -1 when malformed.
// `status` and `body_bytes` are filled once the header block is there.
long ResponseLength(const std::string& input, int& status, long& body_bytes) {
  size_t end = input.find("\r\n\r\n");
  if (end == std::string::npos) return input.size() > 65536 ? -1 : 0;
  if (input.compare(0, 5, "HTTP/") != 0) return -1;
  size_t space = input.find(' ');
  status = space == std::string::npos ? 0 : std::atoi(input.c_str() + space + 1);
  body_bytes = 0;
  std::string_view header(input.data(), end);
  for (size_t line = header.find("\r\n"); line != std::string_view::npos;
       line = header.find("\r\n", line + 2)) {
    std::string_view rest = header.substr(line + 2);
    if (rest.size() > 15 && strncasecmp(rest.data(), "content-length:", 15) == 0) {
      body_bytes = std::atol(std::string(rest.substr(15, rest.find("\r\n") - 15)).c_str());
    }
  }
  size_t whole = end + 4 + static_cast<size_t>(body_bytes);
  return input.size() >= whole ? static_cast<long>(whole) : 0;
}

class Probe {
 public:
  explicit Probe(const Options& options) : options_(options), epoll_(epoll_create1(EPOLL_CLOEXEC)) {
    request_ = "GET " + options.path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (options.close_each) request_ += "Connection: close\r\n";
    request_ += "\r\n";
  }

  int RunLoad() {
    clients_.resize(static_cast<size_t>(options_.connections));
    for (Client& client : clients_) Open(client);
    auto end = Clock::now() + std::chrono::seconds(options_.seconds);
    auto started = Clock::now();
    Pump(end, true);
    double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    long unserved = 0, least = -1, most = 0, total = 0;
    for (const Client& client : clients_) {
      if (client.served == 0) ++unserved;
      least = least < 0 ? client.served : std::min(least, client.served);
      most = std::max(most, client.served);
      total += client.served;
    }
    std::sort(latencies_us_.begin(), latencies_us_.end());
    auto percentile = [&](double p) -> long {
      if (latencies_us_.empty()) return -1;
      size_t at = static_cast<size_t>(p * static_cast<double>(latencies_us_.size() - 1));
      return latencies_us_[at];
    };
    std::printf("requests=%ld rps=%.0f p50_us=%ld p99_us=%ld max_us=%ld errors=%ld bad=%ld "
                "unserved=%ld min_per_conn=%ld max_per_conn=%ld\n",
                total, static_cast<double>(total) / elapsed, percentile(0.5), percentile(0.99),
                latencies_us_.empty() ? -1 : latencies_us_.back(), errors_, bad_, unserved, least,
                most);
    return 0;
  }

  int RunIdle() {
    clients_.resize(static_cast<size_t>(options_.connections));
    for (Client& client : clients_) Open(client);
    // Every connection gets one answer, then stays open without a further request.
    auto deadline = Clock::now() + std::chrono::seconds(60);
    Pump(deadline, false);
    long answered = 0;
    for (const Client& client : clients_) answered += client.served > 0 ? 1 : 0;
    std::printf("phase=held opened=%zu answered=%ld errors=%ld\n", clients_.size(), answered,
                errors_);
    std::fflush(stdout);
    HoldOpen(Clock::now() + std::chrono::seconds(options_.seconds));
    return 0;
  }

  int RunSlow() {
    clients_.resize(static_cast<size_t>(options_.connections));
    for (Client& client : clients_) client.fd = Connect(options_.port);
    const std::string start = "GET " + options_.path + " HTTP/1.1\r\nX-Slow: ";
    for (Client& client : clients_) (void)!send(client.fd, start.data(), start.size(), MSG_NOSIGNAL);
    auto end = Clock::now() + std::chrono::seconds(options_.seconds);
    while (Clock::now() < end) {
      for (Client& client : clients_) {
        if (client.fd >= 0 && send(client.fd, "x", 1, MSG_NOSIGNAL) < 0 && errno != EAGAIN) {
          close(client.fd);
          client.fd = -1;
        }
      }
      usleep(static_cast<useconds_t>(options_.interval_ms) * 1000);
    }
    long open = 0;
    for (const Client& client : clients_) open += client.fd >= 0 ? 1 : 0;
    std::printf("slow_clients=%zu still_open=%ld\n", clients_.size(), open);
    return 0;
  }

 private:
  void Open(Client& client) {
    client.fd = Connect(options_.port);
    client.input.clear();
    client.sent = 0;
    client.waiting = true;
    client.request_started = Clock::now();
    if (client.fd < 0) {
      ++errors_;
      return;
    }
    epoll_event event{};
    event.events = EPOLLIN | EPOLLOUT;
    event.data.ptr = &client;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, client.fd, &event);
  }

  void Close(Client& client) {
    if (client.fd < 0) return;
    epoll_ctl(epoll_, EPOLL_CTL_DEL, client.fd, nullptr);
    close(client.fd);
    client.fd = -1;
  }

  void WriteRequest(Client& client) {
    while (client.waiting && client.sent < request_.size()) {
      ssize_t n = send(client.fd, request_.data() + client.sent, request_.size() - client.sent,
                       MSG_NOSIGNAL);
      if (n < 0) return;
      client.sent += static_cast<size_t>(n);
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = &client;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, client.fd, &event);
  }

  // Reads what arrived; after a whole answer either the next request or (repeat == false)
  // nothing more. A broken connection is counted and, when repeating, opened again.
  void ReadAnswer(Client& client, bool repeat) {
    char buffer[65536];
    while (true) {
      ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        client.input.append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      // Closed by the server: fine after a complete answer with --close, an error otherwise.
      bool expected_close = options_.close_each && !client.waiting;
      if (!expected_close) ++errors_;
      Close(client);
      if (repeat) Open(client);
      return;
    }
    int status = 0;
    long body = 0;
    long whole = ResponseLength(client.input, status, body);
    if (whole == 0) return;
    if (whole < 0 || status != 200 ||
        (options_.expected_bytes >= 0 && body != options_.expected_bytes)) {
      ++bad_;
    }
    auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() -
                                                                      client.request_started);
    latencies_us_.push_back(took.count());
    ++client.served;
    client.input.erase(0, whole < 0 ? client.input.size() : static_cast<size_t>(whole));
    client.waiting = false;
    if (!repeat) return;
    if (options_.close_each) {
      Close(client);
      Open(client);
      return;
    }
    client.waiting = true;
    client.sent = 0;
    client.request_started = Clock::now();
    WriteRequest(client);
  }

  void Pump(Clock::time_point end, bool repeat) {
    std::vector<epoll_event> events(1024);
    while (Clock::now() < end) {
      if (!repeat && std::none_of(clients_.begin(), clients_.end(),
                                  [](const Client& c) { return c.fd >= 0 && c.waiting; })) {
        return;
      }
      int ready = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), 100);
      for (int i = 0; i < ready; ++i) {
        Client& client = *static_cast<Client*>(events[static_cast<size_t>(i)].data.ptr);
        if (client.fd < 0) continue;
        if (events[static_cast<size_t>(i)].events & EPOLLOUT) WriteRequest(client);
        if (events[static_cast<size_t>(i)].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
          ReadAnswer(client, repeat);
        }
      }
    }
  }

  // Keeps the idle connections; reports how many the server closed meanwhile.
  void HoldOpen(Clock::time_point end) {
    std::vector<epoll_event> events(1024);
    long closed_by_server = 0;
    while (Clock::now() < end) {
      int ready = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), 200);
      for (int i = 0; i < ready; ++i) {
        Client& client = *static_cast<Client*>(events[static_cast<size_t>(i)].data.ptr);
        char byte;
        if (client.fd >= 0 && recv(client.fd, &byte, 1, MSG_PEEK) == 0) {
          ++closed_by_server;
          Close(client);
        }
      }
    }
    long open = 0;
    for (const Client& client : clients_) open += client.fd >= 0 ? 1 : 0;
    std::printf("phase=done still_open=%ld closed_by_server=%ld\n", open, closed_by_server);
  }

  const Options& options_;
  int epoll_;
  std::string request_;
  std::vector<Client> clients_;
  std::vector<long> latencies_us_;
  long errors_ = 0;
  long bad_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options options = ParseOptions(argc, argv);
  Probe probe(options);
  if (options.mode == "load") return probe.RunLoad();
  if (options.mode == "idle") return probe.RunIdle();
  if (options.mode == "slow") return probe.RunSlow();
  Usage();
}
