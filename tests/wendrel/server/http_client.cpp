#include "tests/wendrel/server/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "wendrel/common/byte_string.h"

namespace http_test {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

std::optional<std::string> HttpResponse::Header(std::string_view name) const {
  std::string_view rest = headers;
  while (!rest.empty()) {
    size_t end = rest.find("\r\n");
    std::string_view line = rest.substr(0, end);
    size_t colon = line.find(':');
    if (colon != std::string_view::npos && BytesEqualIgnoringCase(line.substr(0, colon), name)) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return std::string(value);
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 2);
  }
  return std::nullopt;
}

HttpClient::HttpClient(int port) {
  socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(socket_);
    socket_ = -1;
  }
}

HttpClient::~HttpClient() {
  if (socket_ >= 0) close(socket_);
}

bool HttpClient::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

bool HttpClient::Fill(Clock::time_point deadline) {
  pollfd wait{socket_, POLLIN, 0};
  if (poll(&wait, 1, RemainingMs(deadline)) <= 0) return false;
  char buffer[65536];
  ssize_t received = recv(socket_, buffer, sizeof buffer, 0);
  if (received <= 0) return false;
  pending_.append(buffer, static_cast<size_t>(received));
  return true;
}

std::optional<HttpResponse> HttpClient::Read(bool head_request, std::chrono::milliseconds timeout) {
  Clock::time_point deadline = Clock::now() + timeout;
  size_t header_end;
  while ((header_end = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!Fill(deadline)) return std::nullopt;
  }
  HttpResponse response;
  std::string head = pending_.substr(0, header_end);
  size_t first_line_end = head.find("\r\n");
  response.status_line = head.substr(0, first_line_end);
  response.headers = first_line_end == std::string::npos ? "" : head.substr(first_line_end + 2);
  size_t space = response.status_line.find(' ');
  if (space != std::string::npos) response.status = std::atoi(response.status_line.c_str() + space + 1);
  pending_.erase(0, header_end + 4);
  size_t length = 0;
  if (std::optional<std::string> value = response.Header("Content-Length")) {
    length = std::strtoul(value->c_str(), nullptr, 10);
  }
  if (head_request || response.status == 304) length = 0;
  while (pending_.size() < length) {
    if (!Fill(deadline)) return std::nullopt;
  }
  response.body = pending_.substr(0, length);
  pending_.erase(0, length);
  return response;
}

bool HttpClient::ClosedByServer(std::chrono::milliseconds timeout) {
  Clock::time_point deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    pollfd wait{socket_, POLLIN, 0};
    if (poll(&wait, 1, RemainingMs(deadline)) <= 0) return false;
    char buffer[4096];
    ssize_t received = recv(socket_, buffer, sizeof buffer, 0);
    if (received <= 0) return true;
    pending_.append(buffer, static_cast<size_t>(received));
  }
  return false;
}

std::string HttpClient::ReadAll(std::chrono::milliseconds timeout) {
  Clock::time_point deadline = Clock::now() + timeout;
  while (Fill(deadline)) {
  }
  return std::exchange(pending_, std::string());
}

std::optional<HttpResponse> Fetch(int port, std::string_view request, bool head_request) {
  HttpClient client(port);
  if (!client.IsConnected() || !client.Send(request)) return std::nullopt;
  return client.Read(head_request);
}

}  // namespace http_test
