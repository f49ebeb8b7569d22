#include "wendrel/server/connections/http_connection.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "wendrel/asp/request.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/http/error_pages.h"
#include "wendrel/logging/access_log.h"
#include "wendrel/logging/event_log.h"
#include "wendrel/server/connection.h"
#include "wendrel/server/connections/worker_pool.h"
#include "wendrel/server/handlers/handler_chain.h"
#include "wendrel/server/handlers/request_target.h"
#include "wendrel/server/host_events.h"
#include "wendrel/server/keep_alive.h"
#include "wendrel/server/response.h"
#include "wendrel/server/site_snapshot.h"
#include "wendrel/server/plain_connection.h"
#include "wendrel/server/socket_errors.h"
#include "wendrel/server/ssl_context.h"
#include "wendrel/server/stream_socket.h"
#include "wendrel/server/tls_connection.h"
#include "wendrel/server/transport_texts.h"
#include "wendrel/server/worker_slot.h"

namespace {

// Receives go straight into the request buffer, this much room at a time.
constexpr size_t kReadPieceBytes = 16384;
// Bytes read ahead of the request being answered (a pipelined next one) stop here; the rest
// waits in the socket until it is needed.
constexpr size_t kReadAheadBytes = 65536;
// A request that goes to a worker in hand-over mode waits this long for a free one.
constexpr auto kWorkerWait = std::chrono::milliseconds(1000);
constexpr char kOutOfMemoryMessage[] =
    "Out of memory - cannot store completeHTTP request into memory";

// The access-log record of one answered request, when the log level asks for it.
void LogRequest(AccessLogWriter& writer, const ServerSettings& settings, int32_t port,
                Request& request, Response& response) {
  if (!AccessLogWanted(settings.log_level)) return;
  AccessLogRecord record;
  record.method = request.Method();
  record.uri_stem = request.RequestPage();
  record.uri_query = request.QueryText();
  record.user_name = request.AuthUser();
  record.client_address = request.ClientAddress();
  record.user_agent = request.UserAgentHeader();
  record.server_port = port;
  record.status = response.StatusCode();
  writer.Write(settings.log_path, record);
}

// The file a request names, as the handlers start from it.
void ResolveTarget(RequestContext& context) {
  MappedPath mapped = MapUrlPath(context.site.site, context.request.RequestPage(),
                                 context.request.ServerName());
  context.mapped_root = std::move(mapped.root);
  context.mapped_file =
      ResolveRequestFile(mapped.path, context.site.settings->default_document);
  context.request.SetDefaultResponseFile(context.mapped_file);
}

}  // namespace

HttpConnection::HttpConnection(EventLoop& loop, std::unique_ptr<Connection> transport,
                               std::string client_address, bool handshake_pending)
    : loop_(loop),
      transport_(std::move(transport)),
      client_address_(std::move(client_address)),
      state_(handshake_pending ? State::Handshaking : State::Reading) {}

HttpConnection::~HttpConnection() {
  DisarmTimer();
  ReleaseRequestObjects();
  output_.Clear();
  int descriptor = transport_ ? transport_->Detach() : -1;
  if (descriptor >= 0) close(descriptor);
}

bool HttpConnection::Open() {
  site_ = loop_.context().core.Site();
  parser_.SetMaxHeadBytes(static_cast<size_t>(site_->settings->max_header_bytes));
  if (!loop_.Watch(*this, transport_->Descriptor())) return false;
  if (state_ == State::Handshaking) {
    ArmTimer(loop_.HandshakeTimers(), loop_.context().ssl->HandshakeTimeLimit());
  }
  Drive();
  return true;
}

void HttpConnection::OnReady(uint32_t events) {
  if (state_ == State::AtWorker || state_ == State::Closed) return;
  if ((events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0) readable_ = true;
  if ((events & EPOLLERR) != 0 && state_ != State::Lingering) {
    Close();
    return;
  }
  Drive();
}

void HttpConnection::Drive() {
  for (;;) {
    switch (state_) {
      case State::Handshaking:
        if (!ContinueHandshake()) return;
        break;
      case State::Reading: {
        Parsed parsed = ParseBuffered();
        if (parsed == Parsed::Complete) {
          Dispatch();
          break;
        }
        if (parsed == Parsed::Refused) break;
        if (peer_closed_) {
          Close();  // a request cut short is dropped without an answer
          return;
        }
        if (!readable_ && !transport_->HasBufferedInput()) {
          WaitForInput();
          return;
        }
        if (!ReadSome()) return;
        break;
      }
      case State::Writing:
        if (!WriteQueued()) return;
        AfterResponse();
        break;
      case State::Lingering:
        DiscardInput();
        return;
      case State::AtWorker:
      case State::Closed:
        return;
    }
  }
}

// --- Handshake -------------------------------------------------------------------------------

bool HttpConnection::ContinueHandshake() {
  auto& tls = static_cast<TlsConnection&>(*transport_);
  std::string failure;
  switch (tls.HandshakeStep(&failure)) {
    case TlsConnection::HandshakeProgress::Done:
      DisarmTimer();
      transport_->SetServingMode(true);
      state_ = State::Reading;
      readable_ = true;  // records may have come with the last handshake flight
      return true;
    case TlsConnection::HandshakeProgress::WantRead:
    case TlsConnection::HandshakeProgress::WantWrite:
      return false;
    case TlsConnection::HandshakeProgress::Failed:
      RefuseHandshake(failure);
      return true;
  }
  return false;
}

// A client that does not complete TLS (plain HTTP on the HTTPS port, most often) is answered
// with the plain "HTTPS required" literal on the bare socket.
void HttpConnection::RefuseHandshake(const std::string& failure) {
  if (!failure.empty()) EventLog::Error(failure);
  DisarmTimer();
  int descriptor = transport_->Detach();
  loop_.Unwatch(descriptor);
  transport_ = std::make_unique<PlainConnection>(descriptor, StreamSocket::Mode::AlreadyNonBlocking);
  loop_.Watch(*this, descriptor);
  output_.AppendBytes(BareSocketBytes(BareSocketLiteral::HttpsRequired));
  keep_ = false;
  state_ = State::Writing;
}

// --- Reading ---------------------------------------------------------------------------------

HttpConnection::Parsed HttpConnection::ParseBuffered() {
  if (!head_complete_) {
    switch (parser_.Feed(input_.Data())) {
      case ParseStatus::NeedMore:
        return Parsed::NeedMore;
      case ParseStatus::Fail:
        Refuse(parser_.FailureStatus());
        return Parsed::Refused;
      case ParseStatus::Done:
        break;
    }
    head_complete_ = true;
    const RequestHead& head = parser_.Head();
    int64_t limit = std::max(0, site_->settings->max_upload_size);
    expected_body_ = std::min(head.content_length, limit);
    // A body longer than the upload limit is not read: what follows the limit must never be
    // taken for the next request, so the connection closes after this one.
    declared_too_long_ = head.content_length > expected_body_;
  }
  size_t needed = parser_.Head().length + static_cast<size_t>(expected_body_);
  return input_.size() >= needed ? Parsed::Complete : Parsed::NeedMore;
}

bool HttpConnection::ReadSome() {
  bool was_empty = input_.size() == 0;
  size_t limit = head_complete_
                     ? parser_.Head().length + static_cast<size_t>(expected_body_) + kReadAheadBytes
                     : static_cast<size_t>(site_->settings->max_header_bytes) + kReadAheadBytes;
  if (input_.size() >= limit) {
    // Cannot happen while the parser keeps its limits; never read without end.
    Refuse(http_status::kHeaderFieldsTooLarge);
    return true;
  }
  while (input_.size() < limit) {
    if (!input_.ReserveMore(kReadPieceBytes)) {
      EventLog::Error(kOutOfMemoryMessage);
      Close();
      return false;
    }
    size_t room = std::min(input_.FreeBytes(), limit - input_.size());
    int64_t received = transport_->Receive(std::span<char>(input_.FreeSpace(), room));
    if (received > 0) {
      input_.Commit(static_cast<size_t>(received));
      // Less than there was room for: the socket is empty now, and the next byte to arrive
      // brings a new edge. (A TLS transport may hold more decrypted: HasBufferedInput.)
      if (static_cast<size_t>(received) < room) {
        readable_ = false;
        break;
      }
      continue;
    }
    if (received == 0) {
      peer_closed_ = true;
      break;
    }
    if (transport_->LastError() == socket_errors::kWsaWouldBlock) {
      readable_ = false;
      break;
    }
    Close();
    return false;
  }
  if (was_empty && input_.size() > 0) request_started_ = SteadyClock::now();
  return true;
}

// Waiting for the client: an idle kept-alive connection has its idle time, a request that
// has begun its request time.
void HttpConnection::WaitForInput() {
  const ServerSettings& settings = *site_->settings;
  if (input_.size() == 0) {
    // An idle connection keeps no buffers: 10,000 of them would hold megabytes for nothing.
    input_.ReleaseIfEmpty();
    output_.ReleaseSpare();
    if (link_.list != &loop_.IdleTimers()) {
      ArmTimer(loop_.IdleTimers(), std::chrono::seconds(settings.idle_timeout_seconds));
    }
    return;
  }
  if (link_.list != &loop_.RequestTimers()) {
    DisarmTimer();
    auto deadline = request_started_ + std::chrono::seconds(settings.request_timeout_seconds);
    loop_.RequestTimers().Add(*this, deadline);
  }
}

// --- Answering -------------------------------------------------------------------------------

void HttpConnection::Dispatch() {
  DisarmTimer();
  site_ = loop_.context().core.Site();
  StartRequest();
  Request& request = *objects_.request;
  Response& response = *objects_.response;
  if (request.Method() == "TRACE") {
    (void)response.FinishAtOnce();
    FinishOnLoop();
    return;
  }
  ServerCore& core = loop_.context().core;
  context_.emplace(request, response, *site_, core.Events(), loop_.context().stopping,
                   [&core] { return core.Site()->settings->freeze_events; });
  ResolveTarget(*context_);
  if (core.Handlers().PlacementFor(*context_) == Placement::Worker) {
    HandToWorker();
    return;
  }
  AnswerOnLoop();
}

// The request objects filled from the parsed head and body, and the response prepared.
void HttpConnection::StartRequest() {
  objects_ = loop_.TakeRequestObjects();
  Request& request = *objects_.request;
  Response& response = *objects_.response;
  const ServerSettings& settings = *site_->settings;
  const RequestHead& head = parser_.Head();
  request.LoadHead(head, settings.process_default_files);
  request.SetClientAddress(client_address_);
  request.SetBody(input_.Data().substr(head.length, static_cast<size_t>(expected_body_)));
  request.ParseBody();
  queued_.Begin(*transport_);
  response.Bind(&queued_, &request);
  response.ResetForRequest(request.Protocol());
  bool keep = ShouldKeepConnection(request.ConnectionValue(), request.Protocol(),
                                   settings.always_close_connection);
  response.SetKeepConnection(keep && !declared_too_long_);
  if (BytesEqualIgnoringCase(request.Method(), "HEAD")) response.SetHeadersOnly(true);
}

void HttpConnection::AnswerOnLoop() {
  loop_.context().core.Handlers().Run(*context_);
  (void)objects_.response->Finish();
  FinishOnLoop();
}

void HttpConnection::FinishOnLoop() {
  Response& response = *objects_.response;
  LogRequest(loop_.AccessLog(), *site_->settings, loop_.context().core.Port(), *objects_.request,
             response);
  keep_ = response.KeepConnection() && !queued_.CloseRequested();
  ReleaseRequestObjects();
  state_ = State::Writing;
}

void HttpConnection::HandToWorker() {
  loop_.Unwatch(transport_->Descriptor());
  state_ = State::AtWorker;
  if (loop_.context().hand_over_mode) ArmTimer(loop_.WorkerTimers(), kWorkerWait);
  loop_.context().workers.Submit(*this);
}

void HttpConnection::ServeOnWorker(WorkerSlot& slot) {
  Request& request = *objects_.request;
  Response& response = *objects_.response;
  // On a worker the response goes straight to the socket, waiting where it must.
  response.Bind(transport_.get(), &request);
  context_->worker = &slot;
  try {
    loop_.context().core.Handlers().Run(*context_);
    (void)response.Finish();
    LogRequest(*slot.access_log, *site_->settings, loop_.context().core.Port(), request, response);
    keep_ = response.KeepConnection() && transport_->IsOpen();
  } catch (const std::bad_alloc&) {
    keep_ = false;  // the answer is incomplete: the connection ends after what went out
    transport_->Interrupt();
  }
  loop_.Post([this] { ResumeFromWorker(); });
}

void HttpConnection::ResumeFromWorker() {
  DisarmTimer();
  ReleaseRequestObjects();
  if (!transport_->IsOpen() || !loop_.Watch(*this, transport_->Descriptor())) {
    Close();
    return;
  }
  readable_ = true;  // what arrived meanwhile was not seen by the loop
  state_ = State::Writing;
  Drive();
}

void HttpConnection::OnTimeOut(TimeOut which) {
  switch (which) {
    case TimeOut::Handshake: {
      char text[128];
      std::snprintf(text, sizeof text, kSslHandshakeTimeoutFormat,
                    static_cast<int>(loop_.context().ssl->HandshakeTimeLimit().count()));
      RefuseHandshake(text);
      Drive();
      return;
    }
    case TimeOut::Request:
      Refuse(http_status::kRequestTimeout);
      Drive();
      return;
    case TimeOut::Worker:
      if (loop_.context().workers.Withdraw(*this)) AnswerServiceUnavailable();
      return;
    case TimeOut::Idle:
    case TimeOut::Send:
    case TimeOut::Linger:
      Close();
      return;
  }
}

// Hand-over mode: no worker freed up for this request within about a second.
void HttpConnection::AnswerServiceUnavailable() {
  DisarmTimer();
  ReleaseRequestObjects();
  if (!loop_.Watch(*this, transport_->Descriptor())) {
    Close();
    return;
  }
  output_.AppendBytes(BareSocketBytes(BareSocketLiteral::ServiceUnavailable));
  keep_ = false;
  state_ = State::Writing;
  Drive();
}

// A request the server will not read: the refusal page, then the connection closes.
void HttpConnection::Refuse(int status) {
  DisarmTimer();
  output_.AppendBytes(RefusalResponse(status));
  keep_ = false;
  head_complete_ = false;
  state_ = State::Writing;
}

void HttpConnection::ReleaseRequestObjects() {
  context_.reset();
  if (objects_.response) objects_.response->Bind(nullptr, nullptr);
  if (objects_.request) loop_.GiveBack(std::move(objects_));
  objects_ = {};
}

// --- Writing and closing ---------------------------------------------------------------------

bool HttpConnection::WriteQueued() {
  switch (output_.DrainInto(*transport_)) {
    case OutputQueue::Drained::All:
      DisarmTimer();
      return true;
    case OutputQueue::Drained::WouldBlock:
      ArmTimer(loop_.SendTimers(), StreamSocket::kDefaultSendTimeout);
      return false;
    case OutputQueue::Drained::FileShort:
      // The client was promised more than the file had: the response cannot end cleanly.
      output_.Clear();
      Close();
      return false;
    case OutputQueue::Drained::Failed:
      output_.Clear();
      Close();
      return false;
  }
  return false;
}

// The response is out: the next request of the connection, or the close.
void HttpConnection::AfterResponse() {
  // A refused request's body, or one cut at the upload limit, may still be on its way.
  bool client_may_send = !head_complete_ || declared_too_long_;
  if (head_complete_) {
    input_.Consume(parser_.Head().length + static_cast<size_t>(expected_body_));
  }
  parser_.Reset();
  parser_.SetMaxHeadBytes(static_cast<size_t>(site_->settings->max_header_bytes));
  head_complete_ = false;
  expected_body_ = 0;
  declared_too_long_ = false;
  if (!keep_ || peer_closed_ || loop_.context().stopping) {
    // Closing while the client still sends would answer its bytes with a reset, which can
    // destroy the end of the response at the client: then the connection lingers. A client
    // that sent exactly its request is closed at once.
    if (peer_closed_ || (!client_may_send && input_.size() == 0 && !transport_->HasBufferedInput())) {
      Close();
      return;
    }
    StartLinger();
    return;
  }
  state_ = State::Reading;
  request_started_ = SteadyClock::now();
}

void HttpConnection::StartLinger() {
  input_.Clear();
  if (!transport_->ShutdownSending()) {
    Close();
    return;
  }
  state_ = State::Lingering;
  lingered_bytes_ = 0;
  ArmTimer(loop_.LingerTimers(), StreamSocket::kLingerTimeLimit);
}

// Reads and drops what the client still sends until it closes, or the linger limits.
void HttpConnection::DiscardInput() {
  char discard[4096];
  for (;;) {
    int64_t received = transport_->Receive(discard);
    if (received > 0) {
      lingered_bytes_ += static_cast<size_t>(received);
      if (lingered_bytes_ >= StreamSocket::kLingerByteLimit) break;
      continue;
    }
    if (received < 0 && transport_->LastError() == socket_errors::kWsaWouldBlock) return;
    break;  // closed by the client, or failed
  }
  Close();
}

void HttpConnection::CloseAtOnce() { Close(); }

// Closing the socket also takes it out of the loop's epoll set (it is never duplicated).
void HttpConnection::Close() {
  if (state_ == State::Closed) return;
  state_ = State::Closed;
  DisarmTimer();
  ReleaseRequestObjects();
  output_.Clear();
  // A TLS client is told that the end is the end (close notification).
  if (loop_.context().ssl != nullptr && transport_->IsOpen()) transport_->ShutdownSending();
  int descriptor = transport_->Detach();
  if (descriptor >= 0) close(descriptor);
  loop_.Retire(*this);
}

void HttpConnection::InterruptTransport() { transport_->Interrupt(); }

void HttpConnection::ArmTimer(DeadlineList& list, SteadyClock::duration after) {
  list.Add(*this, SteadyClock::now() + after);
}

void HttpConnection::DisarmTimer() { DeadlineList::Remove(*this, &HttpConnection::LinkOf); }
