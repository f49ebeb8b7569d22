#pragma once
// StreamSocket: an accepted TCP socket with the operations that both connection kinds share —
// sending with a bounded wait, single receives, waiting, the two ways of closing, detaching,
// and file transmission. The descriptor is switched to non-blocking mode when it is taken, so
// a receive without data answers at once with kWsaWouldBlock instead of holding the worker.
//
// A socket belongs to one worker thread; only Interrupt may be called from another thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string_view>

class StreamSocket {
 public:
  /// How long a send waits for the peer to take data before it gives up (kWsaTimedOut). A peer
  /// that stops reading cannot hold a worker longer than this per wait.
  static constexpr std::chrono::milliseconds kDefaultSendTimeout{60000};
  /// A graceful close discards what the peer still sends for at most this long...
  static constexpr std::chrono::milliseconds kLingerTimeLimit{2000};
  /// ...and at most this many bytes, then closes anyway.
  static constexpr size_t kLingerByteLimit = 1024 * 1024;
  /// Files are copied in pieces of this size when they cannot go straight from the file
  /// system to the socket.
  static constexpr size_t kFilePieceBytes = 65536;

  enum class Mode { MakeNonBlocking, AlreadyNonBlocking };
  /// Takes ownership of `descriptor` (-1 for none) and makes it non-blocking, unless it was
  /// accepted that way already (accept4 with SOCK_NONBLOCK saves two system calls).
  explicit StreamSocket(int descriptor, Mode mode = Mode::MakeNonBlocking);
  /// Closes the descriptor if it is still held (without shutting the connection down).
  ~StreamSocket();
  StreamSocket(const StreamSocket&) = delete;
  StreamSocket& operator=(const StreamSocket&) = delete;

  /// The descriptor, -1 once closed or detached.
  int descriptor() const { return descriptor_; }
  /// A descriptor is held (0 is a valid descriptor here).
  bool IsOpen() const { return descriptor_ >= 0; }
  /// The error number of the last failed operation (socket_errors.h), 0 when none failed;
  /// kWsaNotConnected whenever no descriptor is held. Every operation fails (-1, false) when
  /// no descriptor is held.
  int LastError() const;
  /// Remembers an error number, or the counterpart of an errno value, as the last error.
  void RecordError(int socket_error) { last_error_ = socket_error; }
  void RecordErrno(int error);

  void SetSendTimeout(std::chrono::milliseconds timeout) { send_timeout_ = timeout; }
  std::chrono::milliseconds send_timeout() const { return send_timeout_; }

  /// One send of at most `data.size()` bytes without waiting: the count taken, or -1 with the
  /// error (kWsaWouldBlock when the socket buffer is full). Never raises SIGPIPE.
  int64_t SendOnce(std::string_view data, int flags = 0);
  /// Sends all of `data`, waiting for the socket to become writable in between; the size, or
  /// -1 with the error (kWsaTimedOut when one wait exceeds the send time-out). After a failure
  /// part of the data may have gone out.
  int64_t SendAll(std::string_view data, int flags = 0);
  /// One receive: the count, 0 when the peer has closed, or -1 with the error (kWsaWouldBlock
  /// when nothing is waiting).
  int64_t ReceiveOnce(std::span<char> buffer);

  /// Waits for `events` (poll flags) for at most `timeout_ms` (a negative value counts as 0):
  /// 1 when ready (or the peer hung up), 0 on time-out, -1 with the error.
  int WaitFor(short events, int timeout_ms);

  /// Sends `length` bytes from the current position of `file`, moving the position on; stops
  /// early at the end of the file. The count sent, or -1 with the error (kWsaInvalidArgument
  /// for a file that cannot be read or a negative length).
  int64_t SendFile(int file, int64_t length);

  /// One sendfile of at most `length` bytes from `offset` (moved on), without waiting: the
  /// count (0 at the end of the file), or -1 with the error (kWsaWouldBlock when the socket is
  /// full). A file sendfile refuses is read and sent with one send instead. The calling thread
  /// must have SIGPIPE blocked (sendfile takes no MSG_NOSIGNAL); the event loops do.
  int64_t SendFileOnce(int file, int64_t& offset, int64_t length);
  /// Shuts sending down; false when the socket is gone or not connected.
  bool ShutdownSending();
  /// Ends sending, discards what the peer still sends until it closes, an error, or the linger
  /// limits, then closes the descriptor. Nothing happens when no descriptor is held.
  void CloseGracefully();
  /// Shuts both directions down and closes the descriptor.
  void CloseAtOnce();
  /// Forgets the descriptor without closing it and returns it (-1 when none was held).
  int Detach();
  /// Thread-safe: shuts both directions down without closing, so that a wait or receive of
  /// the owning thread returns at once; the owner still closes.
  void Interrupt();

  /// Sets TCP_NODELAY (Nagle's algorithm off when `on`); false with the error when refused.
  bool SetNoDelay(bool on);

 private:
  /// Waits until a send can go on; false with kWsaTimedOut after the send time-out, or with
  /// the error of the wait.
  bool WaitUntilWritable();
  /// SendFileOnce for files that sendfile refuses: one piece read and sent.
  int64_t SendFilePieceOnce(int file, int64_t& offset, int64_t length);
  /// SendFile for files that sendfile refuses: read and send in pieces.
  int64_t CopyFile(int file, int64_t length);
  void RecordSendFileError(int error);
  /// Closes (and forgets) the descriptor under the lock that Interrupt takes.
  void Release(bool close_descriptor);

  // Guards changes of descriptor_ against Interrupt from other threads; the owning thread
  // reads it without the lock because only the owner changes it.
  mutable std::mutex descriptor_mutex_;
  int descriptor_;
  int last_error_ = 0;
  std::chrono::milliseconds send_timeout_ = kDefaultSendTimeout;
};

/// A time-out as poll(2) takes it: clamped to 0 .. INT_MAX milliseconds.
int PollTimeout(std::chrono::milliseconds timeout);
/// The milliseconds left until `deadline`, as poll(2) takes them; 0 once it has passed.
int PollTimeoutUntil(std::chrono::steady_clock::time_point deadline);

/// Copies `length` bytes from the current position of `file` through `write` in pieces of at
/// most StreamSocket::kFilePieceBytes, held in one buffer for the whole copy. `write` returns
/// false to stop. The count copied (less at the end of the file), -1 when the file cannot be
/// read or `write` failed; `read_failed` tells which.
int64_t CopyFileInPieces(int file, int64_t length,
                         const std::function<bool(std::string_view piece)>& write,
                         bool* read_failed);
