#include "wendrel/server/connection_loop.h"

#include <array>
#include <chrono>

#include "wendrel/asp/request.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/logging/access_log.h"
#include "wendrel/logging/event_log.h"
#include "wendrel/server/connection.h"
#include "wendrel/server/error_responses.h"
#include "wendrel/server/http_server.h"
#include "wendrel/server/keep_alive.h"
#include "wendrel/server/response.h"
#include "wendrel/server/socket_errors.h"
#include "wendrel/server/worker_slot.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWaitMs = 1000;
constexpr size_t kReadPieceBytes = 16384;
constexpr char kOutOfMemoryMessage[] =
    "Out of memory - cannot store completeHTTP request into memory";

// Why a request is refused before a handler sees it; 0 when it may go on.
int FramingRefusal(const RequestFraming& framing) {
  if (framing.malformed_lines > 0) return 400;
  if (framing.transfer_encoding_headers > 0) {
    // Bodies are framed by Content-Length only: a chunked body is refused, not decoded.
    if (framing.content_length_headers > 0) return 400;
    return BytesEqualIgnoringCase(framing.transfer_encoding, "chunked") ? 400 : 501;
  }
  if (framing.content_length_conflict || framing.content_length_invalid) return 400;
  return 0;
}

// One connection's state between reads.
class ConnectionSession {
 public:
  ConnectionSession(CHTTPServer& server, WorkerSlot& slot, Connection& connection,
                    const std::atomic<bool>& stopping)
      : server_(server), slot_(slot), connection_(connection), stopping_(stopping) {}

  void Run() {
    PrepareSlot();
    connection_.SetServingMode(true);
    slot_.buffer.Clear();
    last_activity_ = Clock::now();
    while (!stopping_ && keep_ && connection_.IsOpen()) {
      int ready = connection_.WaitReadable(kWaitMs);
      if (ready == 0) {
        if (TimedOut()) break;
        continue;
      }
      if (ready < 0 || !ReadAvailable()) break;
      ProcessCompleteRequests();
    }
    slot_.request->Reset();
    slot_.response->Bind(nullptr, nullptr);
    slot_.buffer.Clear();
  }

 private:
  void PrepareSlot() {
    if (!slot_.request) slot_.request = MakeObject<Request>(&server_);
    if (!slot_.response) slot_.response = MakeObject<Response>(&server_);
    slot_.request->SetClientAddress(slot_.client_address);
    slot_.response->Bind(&connection_, slot_.request.get());
  }

  // Reads everything that has arrived (the socket does not block); false when the peer closed
  // or the read failed before anything came.
  bool ReadAvailable() {
    std::array<char, kReadPieceBytes> piece;
    bool received_any = false;
    while (true) {
      int64_t received = connection_.Receive(piece);
      if (received == 0) return received_any;  // closed: what came first is still served
      if (received < 0) {
        return received_any || connection_.LastError() == socket_errors::kWsaWouldBlock;
      }
      if (slot_.buffer.size() == 0) request_started_ = Clock::now();
      last_activity_ = Clock::now();
      received_any = true;
      if (!slot_.buffer.Append(std::string_view(piece.data(), static_cast<size_t>(received)))) {
        EventLog::Error(kOutOfMemoryMessage);
      }
      if (static_cast<size_t>(received) < piece.size()) return true;
    }
  }

  // An idle kept-alive connection and a request that stalls are both given up after their
  // time-outs; the stalled request is told so.
  bool TimedOut() {
    auto settings = server_.Settings();
    Clock::time_point now = Clock::now();
    if (slot_.buffer.size() == 0) {
      return now - last_activity_ > std::chrono::seconds(settings->idle_timeout_seconds);
    }
    if (now - request_started_ > std::chrono::seconds(settings->request_timeout_seconds)) {
      Refuse(408);
      return true;
    }
    return false;
  }

  void ProcessCompleteRequests() {
    while (keep_ && !stopping_) {
      if (!header_parsed_ && !ParseHeaderWhenComplete()) return;
      if (!header_parsed_) return;
      bool complete = expected_body_ < 1 ||
                      static_cast<size_t>(expected_body_) <= slot_.buffer.BodyLength();
      if (!complete) return;
      ProcessRequest();
      slot_.buffer.FinishRequest(static_cast<size_t>(std::max(expected_body_, 0)));
      header_parsed_ = false;
      request_started_ = Clock::now();
      if (slot_.buffer.size() == 0) return;
    }
  }

  // Parses the header block once it has arrived; false when more must be read or the request
  // was refused.
  bool ParseHeaderWhenComplete() {
    auto settings = server_.Settings();
    slot_.buffer.SkipLeadingBlanks();
    if (slot_.buffer.size() == 0) return false;
    std::optional<std::string_view> header = slot_.buffer.HeaderBlock();
    size_t limit = static_cast<size_t>(settings->max_header_bytes);
    if (!header) {
      if (slot_.buffer.size() > limit) Refuse(431);
      return false;
    }
    if (header->size() > limit) {
      Refuse(431);
      return false;
    }
    expected_body_ = slot_.request->ParseHeader(*header, settings->process_default_files);
    if (int status = FramingRefusal(slot_.request->Framing())) {
      Refuse(status);
      return false;
    }
    // A body longer than the upload limit is not read: what follows the limit must never be
    // taken for the next request, so the connection closes after this one.
    declared_too_long_ = slot_.request->Framing().declared_content_length > expected_body_;
    header_parsed_ = true;
    return true;
  }

  void ProcessRequest() {
    Request& request = *slot_.request;
    Response& response = *slot_.response;
    auto settings = server_.Settings();
    request.SetBody(slot_.buffer.Body(static_cast<size_t>(std::max(expected_body_, 0))));
    request.ParseBody();
    response.ResetForRequest(request.Protocol());
    bool keep = ShouldKeepConnection(request.ConnectionValue(), request.Protocol(),
                                     settings->always_close_connection);
    response.SetKeepConnection(keep && !declared_too_long_);
    if (BytesEqualIgnoringCase(request.Method(), "HEAD")) response.SetHeadersOnly(true);
    if (request.Method() == "TRACE") {
      (void)response.FinishAtOnce();
    } else {
      server_.HandleRequest(request, response);
      (void)response.Finish();
    }
    WriteAccessLog(*settings, request, response);
    keep_ = response.KeepConnection();
  }

  // One line per request when the log level asks for it; the writer (and its open file) is
  // the connection's.
  void WriteAccessLog(const ServerSettings& settings, Request& request, Response& response) {
    if (!AccessLogWanted(settings.log_level)) return;
    if (!access_log_) access_log_ = std::make_unique<AccessLogWriter>();
    AccessLogRecord record;
    record.method = request.Method();
    record.uri_stem = request.RequestPage();
    record.uri_query = request.QueryText();
    record.user_name = request.AuthUser();
    record.client_address = request.ClientAddress();
    record.user_agent = request.UserAgentHeader();
    record.server_port = server_.Port();
    record.status = response.StatusCode();
    access_log_->Write(settings.log_path, record);
  }

  void Refuse(int status) {
    connection_.Send(RefusalResponse(status));
    keep_ = false;
  }

  CHTTPServer& server_;
  WorkerSlot& slot_;
  Connection& connection_;
  const std::atomic<bool>& stopping_;
  bool keep_ = true;
  bool header_parsed_ = false;
  bool declared_too_long_ = false;
  int32_t expected_body_ = 0;
  std::unique_ptr<AccessLogWriter> access_log_;
  Clock::time_point last_activity_;
  Clock::time_point request_started_;
};

}  // namespace

void ServeConnection(CHTTPServer& server, WorkerSlot& slot, Connection& connection,
                     const std::atomic<bool>& stopping) {
  ConnectionSession(server, slot, connection, stopping).Run();
}
