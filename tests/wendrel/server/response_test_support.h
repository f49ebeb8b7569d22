#pragma once
// Helpers of the Response tests: a connection that records what is sent (and can refuse), a
// host that records its log lines, and a reader that splits the recorded bytes into status
// line, header lines and body.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tests/wendrel/asp/asp_test_support.h"
#include "wendrel/asp/request.h"
#include "wendrel/server/connection.h"
#include "wendrel/server/response.h"
#include "wendrel/server/response_host.h"
#include "wendrel/server/socket_errors.h"

namespace response_test {

/// Records every Send; SendFile reads the descriptor. Can fail a send once `fail_after_bytes`
/// have gone out, or answer "would block" to the next `would_block_count` sends.
class FakeConnection : public Connection {
 public:
  std::string sent;
  std::vector<size_t> send_sizes;
  size_t fail_after_bytes = SIZE_MAX;
  int fail_error = socket_errors::kWsaConnectionReset;
  int would_block_count = 0;
  int send_file_calls = 0;
  bool closed = false;

  int64_t Send(std::string_view data) override {
    if (would_block_count > 0) {
      --would_block_count;
      last_error_ = socket_errors::kWsaWouldBlock;
      return -1;
    }
    if (sent.size() + data.size() > fail_after_bytes) {
      sent.append(data.substr(0, fail_after_bytes - std::min(fail_after_bytes, sent.size())));
      last_error_ = fail_error;
      return -1;
    }
    sent.append(data);
    send_sizes.push_back(data.size());
    return static_cast<int64_t>(data.size());
  }
  int64_t Receive(std::span<char>) override { return 0; }
  void CloseGracefully() override { closed = true; }
  void CloseAtOnce() override { closed = true; }
  int Detach() override { return -1; }
  bool IsOpen() const override { return !closed; }
  int LastError() const override { return last_error_; }
  int WaitReadable(int) override { return 0; }
  CertificateVariables GetCertificateVariables() const override { return {}; }
  int64_t SendFile(int file, int64_t length) override {
    ++send_file_calls;
    std::string buffer(static_cast<size_t>(length), '\0');
    ssize_t got = read(file, buffer.data(), buffer.size());
    if (got < 0) {
      last_error_ = socket_errors::kWsaInvalidArgument;
      return -1;
    }
    buffer.resize(static_cast<size_t>(got));
    if (sent.size() + buffer.size() > fail_after_bytes) {
      last_error_ = fail_error;
      return -1;
    }
    sent += buffer;
    return got;
  }
  bool SetServingMode(bool) override { return true; }
  void Interrupt() override {}
  void SetSendTimeout(std::chrono::milliseconds) override {}
  int Descriptor() const override { return -1; }
  int64_t SendSome(std::string_view data, bool) override { return Send(data); }
  int64_t SendFileSome(int file, int64_t& offset, int64_t length) override {
    lseek(file, offset, SEEK_SET);
    int64_t sent = SendFile(file, length);
    if (sent > 0) offset += sent;
    return sent;
  }
  bool BlockedOnWrite() const override { return true; }
  bool ShutdownSending() override { return !closed; }

 private:
  int last_error_ = 0;
};

class FakeHost : public ResponseHost {
 public:
  std::vector<std::string> event_log;
  std::vector<std::string> log_messages;
  std::map<std::string, std::string> mime_types = {{".gif", "image/gif"}, {".txt", "text/plain"}};
  std::string computer_name = "TESTBOX";

  void WriteEventLog(std::string_view line) override { event_log.emplace_back(line); }
  void LogMessage(std::string_view text) override { log_messages.emplace_back(text); }
  std::string MimeTypeOf(std::string_view extension) const override {
    auto found = mime_types.find(std::string(extension));
    return found == mime_types.end() ? std::string() : found->second;
  }
  std::string ComputerName() const override { return computer_name; }
};

/// One response as it went over the wire.
struct WireResponse {
  std::string status_line;             // without its line end
  std::vector<std::string> lines;      // header lines without line ends, in order
  std::string body;
  bool complete = false;               // the blank line was found

  /// The value of the first header with this name (exact case), or "<absent>".
  std::string Header(std::string_view name) const {
    for (const std::string& line : lines) {
      if (line.size() > name.size() + 1 && line.compare(0, name.size(), name) == 0 &&
          line[name.size()] == ':') {
        return line.substr(name.size() + 2);
      }
    }
    return "<absent>";
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const std::string& line : lines) names.push_back(line.substr(0, line.find(':')));
    return names;
  }
};

inline WireResponse ReadWire(std::string_view wire) {
  WireResponse response;
  size_t end = wire.find("\r\n\r\n");
  if (end == std::string_view::npos) return response;
  response.complete = true;
  std::string_view head = wire.substr(0, end + 2);
  response.body = std::string(wire.substr(end + 4));
  size_t position = 0;
  bool first = true;
  while (position < head.size()) {
    size_t line_end = head.find("\r\n", position);
    std::string line(head.substr(position, line_end - position));
    if (first) {
      response.status_line = line;
      first = false;
    } else {
      response.lines.push_back(line);
    }
    position = line_end + 2;
  }
  return response;
}

/// A response bound to a recording connection and a request parsed from `request_head`.
class ResponseFixture : public ::testing::Test {
 protected:
  void SetUp() override { StartRequest("GET /page.asp HTTP/1.1\r\nHost: www\r\n"); }

  void StartRequest(std::string_view head) {
    request_->Reset();
    request_->ParseHeader(head, false);
    response_->Bind(&connection_, request_.get());
    response_->ResetForRequest(request_->Protocol());
    response_->SetKeepConnection(true);
  }
  /// Finishes the request and reads what went out.
  WireResponse Finished() {
    EXPECT_TRUE(response_->Finish().ok());
    return ReadWire(connection_.sent);
  }
  IDispatch* Dispatch() { return response_.get(); }

  FakeConnection connection_;
  FakeHost host_;
  ComPtr<Request> request_ = MakeObject<Request>(nullptr);
  ComPtr<Response> response_ = MakeObject<Response>(&host_);
};

/// A temporary folder removed at the end of the test.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "response_test_XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TemporaryFolder() { std::filesystem::remove_all(path_); }
  /// Writes a file in the folder and returns its path.
  std::string Write(std::string_view name, std::string_view content) const {
    std::string path = path_ + "/" + std::string(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace response_test
