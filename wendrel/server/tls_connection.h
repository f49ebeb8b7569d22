#pragma once
// TlsConnection: a connection that runs TLS over an accepted socket. CSSL makes it and runs
// its handshake; afterwards it behaves like a plain connection whose bytes are encrypted.
// Sends and receives never block on the socket: a TLS record that is still incomplete gives
// kWsaWouldBlock to the caller, as a plain socket without data would.

#include <chrono>
#include <string>

#include "wendrel/server/connection.h"
#include "wendrel/server/stream_socket.h"

struct SslLibrary;
struct ssl_st;

class TlsConnection final : public Connection {
 public:
  /// Takes ownership of `session` (from SSL_new) and of the accepted socket `descriptor`, and
  /// attaches them to each other. Nothing is exchanged before Handshake.
  TlsConnection(const SslLibrary& library, ssl_st* session, int descriptor,
                StreamSocket::Mode mode = StreamSocket::Mode::MakeNonBlocking);
  /// Closes gracefully when still open (sending the close notification), then releases the
  /// session.
  ~TlsConnection() override;

  /// Runs the server side of the handshake, for at most `time_limit` in total, however slowly
  /// the client sends. True when the connection is ready. Otherwise `failure` holds the text
  /// for the event log — empty when the handshake ended without a cipher, which is not
  /// logged — and the socket is still held (Detach gives it back for the refusal).
  bool Handshake(std::chrono::milliseconds time_limit, std::string* failure);
  /// One step of the handshake without waiting, for an event loop: Done when the connection
  /// is ready, WantRead / WantWrite when it must wait for the socket, Failed with `failure` as
  /// Handshake gives it (the socket is still held for the refusal).
  enum class HandshakeProgress { Done, WantRead, WantWrite, Failed };
  HandshakeProgress HandshakeStep(std::string* failure);

  int64_t Send(std::string_view data) override;
  int64_t Receive(std::span<char> buffer) override;
  void CloseGracefully() override;
  void CloseAtOnce() override { socket_.CloseAtOnce(); }
  int Detach() override { return socket_.Detach(); }
  bool IsOpen() const override { return socket_.IsOpen(); }
  int LastError() const override { return socket_.LastError(); }
  /// Readable at once while decrypted data is waiting inside the session.
  int WaitReadable(int timeout_ms) override;
  CertificateVariables GetCertificateVariables() const override;
  /// Reads the file in pieces of StreamSocket::kFilePieceBytes and sends each through TLS.
  int64_t SendFile(int file, int64_t length) override;
  /// Nothing to switch for TLS; true.
  bool SetServingMode(bool on) override { return true; }
  int Descriptor() const override { return socket_.descriptor(); }
  int64_t SendSome(std::string_view data, bool more_follows) override;
  /// Reads one piece at the offset and sends it; a piece the socket did not take is kept and
  /// offered again (TLS wants the same bytes once more).
  int64_t SendFileSome(int file, int64_t& offset, int64_t length) override;
  bool BlockedOnWrite() const override { return blocked_on_write_; }
  bool HasBufferedInput() const override;
  bool ShutdownSending() override;
  void Interrupt() override { socket_.Interrupt(); }
  void SetSendTimeout(std::chrono::milliseconds timeout) override {
    socket_.SetSendTimeout(timeout);
  }

  /// Secret bits of the negotiated cipher (0 before the handshake).
  int key_bits() const { return key_bits_; }

 private:
  /// After a TLS call asked to be retried: waits in the direction it asked for, for at most
  /// `timeout_ms`. False with the error when it failed for another reason or the wait ended
  /// without the socket becoming ready (kWsaTimedOut).
  bool AwaitRetry(int ssl_error, int timeout_ms);
  /// Sets the would-block error and its direction after a TLS call asked to be retried; false
  /// (with the failure recorded) for any other error.
  bool NoteRetry(int ssl_error);
  /// Finishes a successful handshake: cipher bits and client certificate.
  bool CompleteHandshake();
  /// Records the socket error for a failed TLS call.
  void RecordFailure(int ssl_error);
  std::string AcceptFailureText(int result) const;
  void ReadClientCertificate();
  /// Sends the close notification, waiting briefly when the socket is full.
  void SendCloseNotify();

  const SslLibrary& library_;
  // Declared before session_: the session's BIO points at it, so it is destroyed last.
  StreamSocket socket_;
  ssl_st* session_;
  bool attached_ = false;
  bool handshake_complete_ = false;
  int key_bits_ = 0;
  bool has_client_certificate_ = false;
  bool blocked_on_write_ = false;
  std::string file_piece_;  // a file piece the socket did not take yet
  int64_t file_piece_offset_ = -1;
  std::string client_subject_;
  std::string client_issuer_;
};
