// StreamSocket: the socket operations shared by the plain and the TLS connection.
#include "wendrel/server/stream_socket.h"

#include <fcntl.h>
#include <signal.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

#include "wendrel/server/socket_errors.h"

using namespace socket_errors;

namespace {

using Clock = std::chrono::steady_clock;

/// The most one sendfile call is asked to move, so that the loop stays responsive.
constexpr size_t kSendFileStep = 1024 * 1024;
/// Read size while discarding during a graceful close.
constexpr size_t kLingerReadBytes = 4096;

bool IsWouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

int PollTimeout(std::chrono::milliseconds timeout) {
  return static_cast<int>(std::clamp<int64_t>(timeout.count(), 0, INT_MAX));
}

int PollTimeoutUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return PollTimeout(left);
}

StreamSocket::StreamSocket(int descriptor, Mode mode)
    : descriptor_(descriptor < 0 ? -1 : descriptor) {
  if (descriptor_ < 0 || mode == Mode::AlreadyNonBlocking) return;
  int flags = fcntl(descriptor_, F_GETFL);
  if (flags >= 0) fcntl(descriptor_, F_SETFL, flags | O_NONBLOCK);
}

StreamSocket::~StreamSocket() { Release(true); }

int StreamSocket::LastError() const { return IsOpen() ? last_error_ : kWsaNotConnected; }

void StreamSocket::RecordErrno(int error) { last_error_ = SocketErrorFromErrno(error); }

int64_t StreamSocket::SendOnce(std::string_view data, int flags) {
  if (!IsOpen()) return -1;  // LastError reports kWsaNotConnected
  for (;;) {
    ssize_t sent = send(descriptor_, data.data(), data.size(), MSG_NOSIGNAL | flags);
    if (sent >= 0) return sent;
    if (errno == EINTR) continue;
    RecordErrno(errno);
    return -1;
  }
}

int64_t StreamSocket::SendAll(std::string_view data, int flags) {
  size_t done = 0;
  while (done < data.size()) {
    int64_t sent = SendOnce(data.substr(done), flags);
    if (sent >= 0) {
      done += static_cast<size_t>(sent);
      continue;
    }
    if (last_error_ != kWsaWouldBlock || !WaitUntilWritable()) return -1;
  }
  return static_cast<int64_t>(done);
}

bool StreamSocket::WaitUntilWritable() {
  int ready = WaitFor(POLLOUT, PollTimeout(send_timeout_));
  if (ready == 0) RecordError(kWsaTimedOut);
  return ready > 0;
}

int64_t StreamSocket::ReceiveOnce(std::span<char> buffer) {
  if (!IsOpen()) return -1;  // LastError reports kWsaNotConnected
  for (;;) {
    ssize_t received = recv(descriptor_, buffer.data(), buffer.size(), 0);
    if (received >= 0) return received;
    if (errno == EINTR) continue;
    RecordErrno(errno);
    return -1;
  }
}

int StreamSocket::WaitFor(short events, int timeout_ms) {
  if (!IsOpen()) return -1;  // LastError reports kWsaNotConnected
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  for (;;) {
    pollfd entry{descriptor_, events, 0};
    int ready = poll(&entry, 1, PollTimeoutUntil(deadline));
    if (ready > 0 && (entry.revents & POLLNVAL) != 0) {
      RecordError(kWsaNotSocket);
      return -1;
    }
    if (ready >= 0) return ready > 0 ? 1 : 0;
    if (errno == EINTR) continue;
    RecordErrno(errno);
    return -1;
  }
}

namespace {

// sendfile has no MSG_NOSIGNAL: a write to a peer that reset would raise SIGPIPE and end the
// host process. The signal is blocked in this thread for the call, a SIGPIPE it left pending
// is taken back, and the thread's mask is restored.
class SigpipeBlock {
 public:
  SigpipeBlock() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
  }
  ~SigpipeBlock() {
    if (raised_) {
      timespec no_wait{};
      while (sigtimedwait(&pipe_, nullptr, &no_wait) == SIGPIPE) {
      }
    }
    if (!sigismember(&previous_, SIGPIPE)) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SigpipeBlock(const SigpipeBlock&) = delete;
  SigpipeBlock& operator=(const SigpipeBlock&) = delete;
  void NoteError(int error) { raised_ = raised_ || error == EPIPE; }

 private:
  sigset_t pipe_;
  sigset_t previous_;
  bool raised_ = false;
};

}  // namespace

int64_t StreamSocket::SendFile(int file, int64_t length) {
  if (!IsOpen()) return -1;  // LastError reports kWsaNotConnected
  SigpipeBlock no_sigpipe;
  if (length < 0) {
    RecordError(kWsaInvalidArgument);
    return -1;
  }
  int64_t sent = 0;
  while (sent < length) {
    size_t step = static_cast<size_t>(std::min<int64_t>(length - sent, kSendFileStep));
    ssize_t moved = sendfile(descriptor_, file, nullptr, step);
    if (moved > 0) {
      sent += moved;
      continue;
    }
    if (moved == 0) break;  // end of the file
    int error = errno;
    no_sigpipe.NoteError(error);
    if (error == EINTR) continue;
    if (IsWouldBlock(error)) {
      if (!WaitUntilWritable()) return -1;
      continue;
    }
    // The file system cannot hand this file to the socket directly (a pipe, some special
    // files): copy it instead.
    if ((error == EINVAL || error == ENOSYS) && sent == 0) return CopyFile(file, length);
    RecordSendFileError(error);
    return -1;
  }
  return sent;
}

int64_t StreamSocket::SendFileOnce(int file, int64_t& offset, int64_t length) {
  if (!IsOpen()) return -1;  // LastError reports kWsaNotConnected
  if (length <= 0) return 0;
  size_t step = static_cast<size_t>(std::min<int64_t>(length, kSendFileStep));
  for (;;) {
    off_t position = static_cast<off_t>(offset);
    ssize_t moved = sendfile(descriptor_, file, &position, step);
    if (moved >= 0) {
      offset = position;
      return moved;
    }
    int error = errno;
    if (error == EINTR) continue;
    if (error == EINVAL || error == ENOSYS) return SendFilePieceOnce(file, offset, length);
    if (IsWouldBlock(error)) {
      RecordError(kWsaWouldBlock);
      return -1;
    }
    RecordSendFileError(error);
    return -1;
  }
}

// One piece read at the offset and offered to the socket; what the socket did not take is
// read again next time.
int64_t StreamSocket::SendFilePieceOnce(int file, int64_t& offset, int64_t length) {
  auto piece = std::make_unique<char[]>(kFilePieceBytes);
  size_t want = static_cast<size_t>(std::min<int64_t>(length, kFilePieceBytes));
  ssize_t got = pread(file, piece.get(), want, static_cast<off_t>(offset));
  if (got < 0) {
    RecordError(kWsaInvalidArgument);
    return -1;
  }
  if (got == 0) return 0;
  int64_t sent = SendOnce(std::string_view(piece.get(), static_cast<size_t>(got)));
  if (sent > 0) offset += sent;
  return sent;
}

bool StreamSocket::ShutdownSending() {
  if (!IsOpen()) return false;
  if (shutdown(descriptor_, SHUT_WR) == 0) return true;
  RecordErrno(errno);
  return false;
}

int64_t StreamSocket::CopyFile(int file, int64_t length) {
  bool read_failed = false;
  int64_t copied = CopyFileInPieces(
      file, length, [this](std::string_view piece) { return SendAll(piece) >= 0; },
      &read_failed);
  if (read_failed) RecordError(kWsaInvalidArgument);
  return copied;
}

void StreamSocket::RecordSendFileError(int error) {
  // Faults of the file's side (bad handle, read error) are reported as an invalid argument;
  // a bad socket descriptor was excluded before the transfer started.
  bool file_fault = error == EBADF || error == EIO || error == EOVERFLOW || error == EINVAL;
  if (file_fault) {
    RecordError(kWsaInvalidArgument);
    return;
  }
  RecordErrno(error);
}

int64_t CopyFileInPieces(int file, int64_t length,
                         const std::function<bool(std::string_view piece)>& write,
                         bool* read_failed) {
  *read_failed = false;
  if (length < 0) {
    *read_failed = true;
    return -1;
  }
  auto buffer = std::make_unique<char[]>(StreamSocket::kFilePieceBytes);
  int64_t copied = 0;
  while (copied < length) {
    size_t want = static_cast<size_t>(
        std::min<int64_t>(length - copied, StreamSocket::kFilePieceBytes));
    ssize_t got = read(file, buffer.get(), want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *read_failed = true;
      return -1;
    }
    if (got == 0) break;  // end of the file
    if (!write(std::string_view(buffer.get(), static_cast<size_t>(got)))) return -1;
    copied += got;
  }
  return copied;
}

void StreamSocket::CloseGracefully() {
  if (!IsOpen()) return;
  if (shutdown(descriptor_, SHUT_WR) != 0) {
    // Not connected any more (or no socket at all): nothing can arrive to discard.
    Release(true);
    return;
  }
  // Reading until the peer closes keeps the kernel from answering data that is still on its
  // way with a reset, which could destroy the end of the response at the client. A peer that
  // keeps sending is cut off by the linger limits.
  Clock::time_point deadline = Clock::now() + kLingerTimeLimit;
  char discard[kLingerReadBytes];
  size_t discarded = 0;
  while (discarded < kLingerByteLimit) {
    int left = PollTimeoutUntil(deadline);
    if (left == 0 || WaitFor(POLLIN, left) <= 0) break;
    int64_t received = ReceiveOnce(discard);
    if (received == 0) break;
    if (received < 0 && last_error_ != kWsaWouldBlock) break;
    if (received > 0) discarded += static_cast<size_t>(received);
  }
  Release(true);
}

void StreamSocket::CloseAtOnce() {
  if (!IsOpen()) return;
  shutdown(descriptor_, SHUT_RDWR);
  Release(true);
}

int StreamSocket::Detach() {
  int descriptor = descriptor_;
  Release(false);
  return descriptor;
}

void StreamSocket::Interrupt() {
  std::lock_guard lock(descriptor_mutex_);
  if (descriptor_ >= 0) shutdown(descriptor_, SHUT_RDWR);
}

bool StreamSocket::SetNoDelay(bool on) {
  if (!IsOpen()) return false;
  int value = on ? 1 : 0;
  if (setsockopt(descriptor_, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0) return true;
  RecordErrno(errno);
  return false;
}

void StreamSocket::Release(bool close_descriptor) {
  std::lock_guard lock(descriptor_mutex_);
  if (descriptor_ < 0) return;
  if (close_descriptor) close(descriptor_);
  descriptor_ = -1;
}
