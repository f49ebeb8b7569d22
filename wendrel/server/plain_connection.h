#pragma once
#include <sys/socket.h>
// PlainConnection: a connection over a bare TCP socket.

#include "wendrel/server/connection.h"
#include "wendrel/server/stream_socket.h"

class PlainConnection final : public Connection {
 public:
  /// Takes ownership of the accepted socket `descriptor` and makes it non-blocking (unless
  /// `mode` says it is already).
  explicit PlainConnection(int descriptor,
                           StreamSocket::Mode mode = StreamSocket::Mode::MakeNonBlocking)
      : socket_(descriptor, mode) {}
  /// Closes gracefully when still open.
  ~PlainConnection() override;

  int64_t Send(std::string_view data) override { return socket_.SendAll(data); }
  int64_t SendAhead(std::string_view data) override { return socket_.SendAll(data, MSG_MORE); }
  int64_t Receive(std::span<char> buffer) override {
    blocked_on_write_ = false;
    return socket_.ReceiveOnce(buffer);
  }
  void CloseGracefully() override { socket_.CloseGracefully(); }
  void CloseAtOnce() override { socket_.CloseAtOnce(); }
  int Detach() override { return socket_.Detach(); }
  bool IsOpen() const override { return socket_.IsOpen(); }
  int LastError() const override { return socket_.LastError(); }
  int WaitReadable(int timeout_ms) override;
  /// None: a plain connection has no certificate.
  CertificateVariables GetCertificateVariables() const override { return {}; }
  /// The kernel moves the file to the socket (sendfile); files it refuses are copied in
  /// pieces of StreamSocket::kFilePieceBytes.
  int64_t SendFile(int file, int64_t length) override { return socket_.SendFile(file, length); }
  /// Nagle's algorithm off while serving, so that the last small piece of a response goes out
  /// without waiting for the client's acknowledgement.
  bool SetServingMode(bool on) override { return socket_.SetNoDelay(on); }
  int Descriptor() const override { return socket_.descriptor(); }
  int64_t SendSome(std::string_view data, bool more_follows) override {
    blocked_on_write_ = true;
    return socket_.SendOnce(data, more_follows ? MSG_MORE : 0);
  }
  int64_t SendFileSome(int file, int64_t& offset, int64_t length) override {
    blocked_on_write_ = true;
    return socket_.SendFileOnce(file, offset, length);
  }
  /// A send waits for room, a receive for bytes.
  bool BlockedOnWrite() const override { return blocked_on_write_; }
  bool ShutdownSending() override { return socket_.ShutdownSending(); }
  void Interrupt() override { socket_.Interrupt(); }
  void SetSendTimeout(std::chrono::milliseconds timeout) override {
    socket_.SetSendTimeout(timeout);
  }

 private:
  StreamSocket socket_;
  bool blocked_on_write_ = false;
};
