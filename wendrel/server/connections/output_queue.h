#pragma once
// OutputQueue: what a response sends when it is composed on an event loop — bytes and file
// ranges in order — drained into the connection without ever waiting. QueuedOutput is the
// Connection a Response is bound to there: its sends append to the queue and its file sends
// record the range (on a duplicate of the file's descriptor), so the Response code is the same
// on a loop and on a worker.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "wendrel/server/connection.h"

class OutputQueue {
 public:
  OutputQueue() = default;
  ~OutputQueue() { Clear(); }
  OutputQueue(const OutputQueue&) = delete;
  OutputQueue& operator=(const OutputQueue&) = delete;

  void AppendBytes(std::string_view bytes);
  /// Takes ownership of `file` (closed once sent or dropped).
  void AppendFile(int file, int64_t offset, int64_t length);
  bool Empty() const { return pieces_.empty(); }
  /// Drops everything still queued.
  void Clear();
  /// Gives back the storage kept for the next byte piece (a connection going idle).
  void ReleaseSpare() { std::string().swap(spare_); }

  enum class Drained {
    All,         // everything went out
    WouldBlock,  // the connection takes no more now (see Connection::BlockedOnWrite)
    Failed,      // the connection failed; the rest is lost
    FileShort,   // a file ended before its announced length: the response is cut short
  };
  /// Sends as much as the connection takes now.
  Drained DrainInto(Connection& connection);

 private:
  struct Piece {
    std::string bytes;  // a byte piece when file < 0
    size_t sent = 0;
    int file = -1;
    int64_t offset = 0;
    int64_t left = 0;
  };
  Drained DrainBytes(Connection& connection, Piece& piece, bool more_follows);
  Drained DrainFile(Connection& connection, Piece& piece);
  void PopFront();

  std::deque<Piece> pieces_;
  std::string spare_;  // the storage of a sent byte piece, kept for the next one
};

/// The Connection a Response is bound to on an event loop.
class QueuedOutput final : public Connection {
 public:
  explicit QueuedOutput(OutputQueue& queue) : queue_(queue) {}

  /// Starts a request over `transport` (asked for certificate variables and its descriptor).
  void Begin(Connection& transport) {
    transport_ = &transport;
    close_requested_ = false;
  }
  /// Response.End or a failure asked for the connection to close once the queue is sent.
  bool CloseRequested() const { return close_requested_; }

  int64_t Send(std::string_view data) override;
  int64_t Receive(std::span<char>) override { return 0; }
  void CloseGracefully() override { close_requested_ = true; }
  void CloseAtOnce() override { close_requested_ = true; }
  int Detach() override { return -1; }
  bool IsOpen() const override { return transport_->IsOpen() && !close_requested_; }
  int LastError() const override { return 0; }
  int WaitReadable(int) override { return 0; }
  CertificateVariables GetCertificateVariables() const override {
    return transport_->GetCertificateVariables();
  }
  /// Records the range from the file's current position; the file stays the caller's.
  int64_t SendFile(int file, int64_t length) override;
  bool SetServingMode(bool) override { return true; }
  int Descriptor() const override { return transport_->Descriptor(); }
  int64_t SendSome(std::string_view data, bool) override { return Send(data); }
  int64_t SendFileSome(int file, int64_t& offset, int64_t length) override;
  bool BlockedOnWrite() const override { return false; }
  bool ShutdownSending() override {
    close_requested_ = true;
    return true;
  }
  void Interrupt() override { transport_->Interrupt(); }
  void SetSendTimeout(std::chrono::milliseconds) override {}

 private:
  OutputQueue& queue_;
  Connection* transport_ = nullptr;
  bool close_requested_ = false;
};
