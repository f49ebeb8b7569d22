#pragma once
// A small blocking HTTP client for the server tests: connects to 127.0.0.1, sends raw bytes
// and reads responses framed by Content-Length, with bounded waits.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace http_test {

struct HttpResponse {
  std::string status_line;
  std::string headers;  // the header lines, CR LF between them, without the status line
  std::string body;
  int status = 0;
  /// The value of a header (name ignoring case); nothing when absent.
  std::optional<std::string> Header(std::string_view name) const;
};

class HttpClient {
 public:
  /// Connects to 127.0.0.1:port; IsConnected tells whether it worked.
  explicit HttpClient(int port);
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  bool IsConnected() const { return socket_ >= 0; }
  int descriptor() const { return socket_; }
  bool Send(std::string_view bytes);
  /// Reads one response: the header block, then Content-Length body bytes (none for a HEAD
  /// request or a 304). Nothing when the connection closed or nothing came within `timeout`.
  std::optional<HttpResponse> Read(bool head_request = false,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
  /// Whether the server closed the connection (a read returns 0) within `timeout`.
  bool ClosedByServer(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  /// Everything until the server closes (bounded by `timeout`).
  std::string ReadAll(std::chrono::milliseconds timeout = std::chrono::seconds(10));

 private:
  // Reads more bytes into pending_; false when closed or timed out.
  bool Fill(std::chrono::steady_clock::time_point deadline);

  int socket_ = -1;
  std::string pending_;
};

/// One request on a fresh connection, answered and read.
std::optional<HttpResponse> Fetch(int port, std::string_view request, bool head_request = false);

}  // namespace http_test
