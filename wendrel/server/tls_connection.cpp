// TlsConnection: the TLS kind of connection.
#include "wendrel/server/tls_connection.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>

#include <cstdio>

#include "wendrel/server/socket_bio.h"
#include "wendrel/server/socket_errors.h"
#include "wendrel/server/ssl_library.h"
#include "wendrel/server/transport_texts.h"

using namespace socket_errors;

namespace {

using Clock = std::chrono::steady_clock;

/// The close notification waits at most this long for room in the socket buffer.
constexpr int kCloseNotifyWaitMs = 1000;
/// Subject and issuer texts are cut to this many bytes (the NUL included).
constexpr int kNameTextBytes = 256;

std::string NameText(const SslLibrary& library, const X509_NAME* name) {
  char text[kNameTextBytes] = {};
  if (name == nullptr || library.X509_NAME_oneline(name, text, sizeof text) == nullptr) return {};
  return text;
}

std::string TimeoutText(std::chrono::milliseconds time_limit) {
  char text[128];
  std::snprintf(text, sizeof text, kSslHandshakeTimeoutFormat, PollTimeout(time_limit));
  return text;
}

}  // namespace

TlsConnection::TlsConnection(const SslLibrary& library, ssl_st* session, int descriptor,
                             StreamSocket::Mode mode)
    : library_(library), socket_(descriptor, mode), session_(session) {
  BIO* bio = NewSocketBio(library_, &socket_);
  if (bio == nullptr) return;
  // One BIO for both directions: the session takes over the one reference.
  library_.SSL_set_bio(session_, bio, bio);
  attached_ = true;
}

TlsConnection::~TlsConnection() {
  CloseGracefully();
  library_.SSL_free(session_);
}

bool TlsConnection::Handshake(std::chrono::milliseconds time_limit, std::string* failure) {
  failure->clear();
  if (!attached_) {
    *failure = kSslSessionFailedText;
    return false;
  }
  Clock::time_point deadline = Clock::now() + time_limit;
  for (;;) {
    library_.ERR_clear_error();
    int result = library_.SSL_accept(session_);
    if (result == 1) break;
    int error = library_.SSL_get_error(session_, result);
    bool retry = error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
    if (!retry) {
      *failure = AcceptFailureText(result);  // reads the reason before RecordFailure drops it
      RecordFailure(error);
      return false;
    }
    if (!AwaitRetry(error, PollTimeoutUntil(deadline))) {
      *failure = socket_.LastError() == kWsaTimedOut ? TimeoutText(time_limit)
                                                     : AcceptFailureText(result);
      return false;
    }
  }
  return CompleteHandshake();
}

TlsConnection::HandshakeProgress TlsConnection::HandshakeStep(std::string* failure) {
  failure->clear();
  if (!attached_) {
    *failure = kSslSessionFailedText;
    return HandshakeProgress::Failed;
  }
  library_.ERR_clear_error();
  int result = library_.SSL_accept(session_);
  if (result == 1) return CompleteHandshake() ? HandshakeProgress::Done : HandshakeProgress::Failed;
  int error = library_.SSL_get_error(session_, result);
  if (error == SSL_ERROR_WANT_READ) return HandshakeProgress::WantRead;
  if (error == SSL_ERROR_WANT_WRITE) return HandshakeProgress::WantWrite;
  *failure = AcceptFailureText(result);
  RecordFailure(error);
  return HandshakeProgress::Failed;
}

// Without a cipher the connection fails silently (nothing is logged).
bool TlsConnection::CompleteHandshake() {
  const SSL_CIPHER* cipher = library_.SSL_get_current_cipher(session_);
  if (cipher == nullptr) return false;
  key_bits_ = library_.SSL_CIPHER_get_bits(cipher, nullptr);
  ReadClientCertificate();
  handshake_complete_ = true;
  return true;
}

std::string TlsConnection::AcceptFailureText(int result) const {
  char text[64];
  std::snprintf(text, sizeof text, kSslAcceptFailedFormat, result);
  std::string reason = library_.TakeErrorText();
  if (reason.empty()) return text;
  return std::string(text) + "\r\n" + reason;
}

void TlsConnection::ReadClientCertificate() {
  X509* certificate = library_.SSL_get1_peer_certificate(session_);
  if (certificate == nullptr) return;
  has_client_certificate_ = true;
  client_subject_ = NameText(library_, library_.X509_get_subject_name(certificate));
  client_issuer_ = NameText(library_, library_.X509_get_issuer_name(certificate));
  library_.X509_free(certificate);
}

int64_t TlsConnection::Send(std::string_view data) {
  if (!IsOpen() || !handshake_complete_) {
    socket_.RecordError(kWsaNotConnected);  // no TLS channel yet
    return -1;
  }
  size_t done = 0;
  while (done < data.size()) {
    size_t written = 0;
    library_.ERR_clear_error();
    int result = library_.SSL_write_ex(session_, data.data() + done, data.size() - done, &written);
    if (result == 1) {
      done += written;
      continue;
    }
    int error = library_.SSL_get_error(session_, result);
    if (!AwaitRetry(error, PollTimeout(socket_.send_timeout()))) return -1;
  }
  return static_cast<int64_t>(done);
}

int64_t TlsConnection::Receive(std::span<char> buffer) {
  if (!IsOpen() || !handshake_complete_) {
    socket_.RecordError(kWsaNotConnected);  // no TLS channel yet
    return -1;
  }
  if (buffer.empty()) return 0;
  size_t received = 0;
  library_.ERR_clear_error();
  if (library_.SSL_read_ex(session_, buffer.data(), buffer.size(), &received) == 1) {
    return static_cast<int64_t>(received);
  }
  int error = library_.SSL_get_error(session_, 0);
  if (error == SSL_ERROR_ZERO_RETURN) return 0;  // close notification, or the peer's EOF
  NoteRetry(error);
  return -1;
}

bool TlsConnection::NoteRetry(int ssl_error) {
  if (ssl_error == SSL_ERROR_WANT_READ || ssl_error == SSL_ERROR_WANT_WRITE) {
    blocked_on_write_ = ssl_error == SSL_ERROR_WANT_WRITE;
    socket_.RecordError(kWsaWouldBlock);
    return true;
  }
  RecordFailure(ssl_error);
  return false;
}

int64_t TlsConnection::SendSome(std::string_view data, bool) {
  if (!IsOpen() || !handshake_complete_) {
    socket_.RecordError(kWsaNotConnected);  // no TLS channel yet
    return -1;
  }
  if (data.empty()) return 0;
  size_t written = 0;
  library_.ERR_clear_error();
  int result = library_.SSL_write_ex(session_, data.data(), data.size(), &written);
  if (result == 1) return static_cast<int64_t>(written);
  NoteRetry(library_.SSL_get_error(session_, result));
  return -1;
}

int64_t TlsConnection::SendFileSome(int file, int64_t& offset, int64_t length) {
  if (length <= 0) return 0;
  if (file_piece_offset_ != offset) {
    file_piece_.resize(static_cast<size_t>(std::min<int64_t>(length, StreamSocket::kFilePieceBytes)));
    ssize_t got = pread(file, file_piece_.data(), file_piece_.size(), static_cast<off_t>(offset));
    if (got < 0) {
      socket_.RecordError(kWsaInvalidArgument);
      return -1;
    }
    if (got == 0) return 0;
    file_piece_.resize(static_cast<size_t>(got));
    file_piece_offset_ = offset;
  }
  int64_t sent = SendSome(file_piece_, false);
  if (sent < 0) return -1;
  offset += sent;
  file_piece_offset_ = -1;
  return sent;
}

bool TlsConnection::HasBufferedInput() const {
  return IsOpen() && handshake_complete_ && library_.SSL_pending(session_) > 0;
}

bool TlsConnection::ShutdownSending() {
  if (!IsOpen()) return false;
  if (handshake_complete_) {
    library_.ERR_clear_error();
    library_.SSL_shutdown(session_);  // the close notification, when the socket takes it now
    library_.ERR_clear_error();
  }
  return socket_.ShutdownSending();
}

bool TlsConnection::AwaitRetry(int ssl_error, int timeout_ms) {
  short events = 0;
  if (ssl_error == SSL_ERROR_WANT_READ) events = POLLIN;
  if (ssl_error == SSL_ERROR_WANT_WRITE) events = POLLOUT;
  if (events == 0) {
    RecordFailure(ssl_error);
    return false;
  }
  int ready = socket_.WaitFor(events, timeout_ms);
  if (ready == 0) socket_.RecordError(kWsaTimedOut);
  return ready > 0;
}

void TlsConnection::RecordFailure(int ssl_error) {
  library_.ERR_clear_error();
  if (ssl_error == SSL_ERROR_SYSCALL) {
    // The socket error is what the BIO left behind; an end of stream leaves none.
    int error = socket_.LastError();
    if (error == 0 || error == kWsaWouldBlock) socket_.RecordError(kWsaConnectionReset);
    return;
  }
  if (ssl_error == SSL_ERROR_ZERO_RETURN) {
    socket_.RecordError(kWsaShutDown);
    return;
  }
  socket_.RecordError(kWsaConnectionAborted);
}

void TlsConnection::CloseGracefully() {
  if (!IsOpen()) return;
  if (handshake_complete_) SendCloseNotify();
  socket_.CloseGracefully();
}

void TlsConnection::SendCloseNotify() {
  library_.ERR_clear_error();
  int result = library_.SSL_shutdown(session_);
  if (result < 0 && library_.SSL_get_error(session_, result) == SSL_ERROR_WANT_WRITE &&
      socket_.WaitFor(POLLOUT, kCloseNotifyWaitMs) > 0) {
    library_.SSL_shutdown(session_);
  }
  library_.ERR_clear_error();
}

int TlsConnection::WaitReadable(int timeout_ms) {
  if (IsOpen() && handshake_complete_ && library_.SSL_pending(session_) > 0) return 1;
  return socket_.WaitFor(POLLIN, timeout_ms);
}

CertificateVariables TlsConnection::GetCertificateVariables() const {
  CertificateVariables variables;
  variables.emplace_back("CERT_KEYSIZE", std::to_string(key_bits_));
  if (!has_client_certificate_) {
    variables.emplace_back("CERT_FLAGS", "0");
    return variables;
  }
  variables.emplace_back("CERT_SUBJECT", client_subject_);
  variables.emplace_back("CERT_ISSUER", client_issuer_);
  variables.emplace_back("CERT_FLAGS", "1");
  return variables;
}

int64_t TlsConnection::SendFile(int file, int64_t length) {
  if (!IsOpen() || !handshake_complete_) {
    socket_.RecordError(kWsaNotConnected);  // no TLS channel yet
    return -1;
  }
  bool read_failed = false;
  int64_t sent = CopyFileInPieces(
      file, length, [this](std::string_view piece) { return Send(piece) >= 0; }, &read_failed);
  if (read_failed) socket_.RecordError(kWsaInvalidArgument);
  return sent;
}
