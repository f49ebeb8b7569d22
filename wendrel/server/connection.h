#pragma once
// Connection: the transport of one accepted client, plain TCP or TLS. Request reading,
// response sending, file transmission and the server variables talk only to this interface.
//
// A connection belongs to the worker thread that serves it; only Interrupt may be called from
// another thread. Error numbers are those of socket_errors.h; callers retry an operation only
// after kWsaWouldBlock (10035).

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// Server variables a connection contributes (name, value), in the order they are added.
using CertificateVariables = std::vector<std::pair<std::string, std::string>>;

class Connection {
 public:
  /// Destroy: closes gracefully when still open and releases everything the connection holds.
  virtual ~Connection() = default;

  /// Sends all of `data`, waiting while the peer's window is full (each wait is bounded by the
  /// send time-out). The size of `data`, or -1 with the error (kWsaTimedOut when the peer took
  /// nothing for the whole time-out; part of the data may have gone out).
  virtual int64_t Send(std::string_view data) = 0;
  /// As Send, for data that more follows at once (headers before a file): the transport may
  /// hold back a last partial segment until the rest is sent. Plain: MSG_MORE; TLS: Send.
  virtual int64_t SendAhead(std::string_view data) { return Send(data); }
  /// One receive into `buffer`: the count, 0 when the peer has closed, -1 with the error
  /// (kWsaWouldBlock when nothing is available yet).
  virtual int64_t Receive(std::span<char> buffer) = 0;
  /// Ends sending, discards what the peer still sends until it closes (bounded by the linger
  /// limits of StreamSocket), closes the socket. A TLS connection first sends its close
  /// notification. Nothing happens when already closed.
  virtual void CloseGracefully() = 0;
  /// Shuts both directions down and closes the socket.
  virtual void CloseAtOnce() = 0;
  /// Forgets the socket without closing it and hands it back (-1 when none was held).
  virtual int Detach() = 0;
  /// A socket is held.
  virtual bool IsOpen() const = 0;
  /// The error number of the last failed operation, 0 when none failed; kWsaNotConnected
  /// (10057) whenever the socket is closed or detached. Operations on a closed connection
  /// return -1.
  virtual int LastError() const = 0;
  /// Waits until data can be received or `timeout_ms` passes (negative counts as 0): >0
  /// readable (or closed by the peer), 0 time-out, -1 error.
  virtual int WaitReadable(int timeout_ms) = 0;
  /// The certificate server variables: none for plain; for TLS CERT_KEYSIZE, then either
  /// CERT_FLAGS "0" (no client certificate) or CERT_SUBJECT, CERT_ISSUER and CERT_FLAGS "1".
  virtual CertificateVariables GetCertificateVariables() const = 0;
  /// Sends `length` bytes from the current position of the open file `file` (the position
  /// moves on), in bounded pieces. Stops early at the end of the file. The count sent, or -1
  /// with the error (kWsaInvalidArgument when the file cannot be read or `length` < 0). The
  /// connection stays open.
  virtual int64_t SendFile(int file, int64_t length) = 0;
  /// Puts the connection in its serving mode when the request loop starts; false with the
  /// error when the socket refuses. Plain: TCP_NODELAY set to `on`. TLS: nothing.
  virtual bool SetServingMode(bool on) = 0;

  // --- What an event loop needs: nothing here waits. -----------------------------------------

  /// The socket the event loop watches; -1 once closed or detached.
  virtual int Descriptor() const = 0;
  /// One send without waiting: the count taken (possibly fewer than given), or -1 with the
  /// error (kWsaWouldBlock when the peer's window is full). With `more_follows` the transport
  /// may hold a last partial segment back until the rest is sent. After kWsaWouldBlock a TLS
  /// connection must be offered the same bytes again.
  virtual int64_t SendSome(std::string_view data, bool more_follows) = 0;
  /// Sends up to `length` bytes of the open file `file` from `offset` without waiting, moving
  /// `offset` on: the count (0 at the end of the file), or -1 with the error.
  virtual int64_t SendFileSome(int file, int64_t& offset, int64_t length) = 0;
  /// After an operation answered kWsaWouldBlock: true when it waits for room to write, false
  /// when it waits for bytes to read (TLS may need either direction for either operation).
  virtual bool BlockedOnWrite() const = 0;
  /// Bytes already received wait inside the transport (decrypted TLS records), so a readiness
  /// wait on the socket could miss them.
  virtual bool HasBufferedInput() const { return false; }
  /// The first step of a graceful close, without waiting: a TLS connection sends its close
  /// notification if it can, then sending is shut down. False when the socket is gone.
  virtual bool ShutdownSending() = 0;

  /// Thread-safe: wakes the owning thread out of a wait or receive by shutting the socket
  /// down in both directions; the owner still closes and destroys the connection.
  virtual void Interrupt() = 0;
  /// How long one wait of Send or SendFile may last (StreamSocket::kDefaultSendTimeout).
  virtual void SetSendTimeout(std::chrono::milliseconds timeout) = 0;
};
