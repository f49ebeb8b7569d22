#include "wendrel/server/connections/output_queue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "wendrel/server/socket_errors.h"

namespace {

// One sendfile asks for at most this much, so a large file does not hold the loop.
constexpr int64_t kFileStep = 1 << 20;
// A sent byte piece up to this size keeps its storage for the next response.
constexpr size_t kKeptBytes = 65536;

}  // namespace

void OutputQueue::AppendBytes(std::string_view bytes) {
  if (bytes.empty()) return;
  // Bytes that follow bytes join them: a response's headers and body leave in one send.
  if (!pieces_.empty() && pieces_.back().file < 0) {
    pieces_.back().bytes.append(bytes);
    return;
  }
  Piece piece;
  piece.bytes = std::move(spare_);
  piece.bytes.assign(bytes);
  pieces_.push_back(std::move(piece));
}

void OutputQueue::AppendFile(int file, int64_t offset, int64_t length) {
  if (length <= 0) {
    close(file);
    return;
  }
  Piece piece;
  piece.file = file;
  piece.offset = offset;
  piece.left = length;
  pieces_.push_back(std::move(piece));
}

void OutputQueue::Clear() {
  while (!pieces_.empty()) PopFront();
}

void OutputQueue::PopFront() {
  Piece& front = pieces_.front();
  if (front.file >= 0) close(front.file);
  if (front.bytes.capacity() > spare_.capacity() && front.bytes.capacity() <= kKeptBytes) {
    spare_ = std::move(front.bytes);
    spare_.clear();
  }
  pieces_.pop_front();
}

OutputQueue::Drained OutputQueue::DrainInto(Connection& connection) {
  while (!pieces_.empty()) {
    Piece& piece = pieces_.front();
    Drained drained = piece.file < 0 ? DrainBytes(connection, piece, pieces_.size() > 1)
                                     : DrainFile(connection, piece);
    if (drained != Drained::All) return drained;
    PopFront();
  }
  return Drained::All;
}

OutputQueue::Drained OutputQueue::DrainBytes(Connection& connection, Piece& piece,
                                             bool more_follows) {
  while (piece.sent < piece.bytes.size()) {
    int64_t sent = connection.SendSome(std::string_view(piece.bytes).substr(piece.sent),
                                       more_follows);
    if (sent > 0) {
      piece.sent += static_cast<size_t>(sent);
      continue;
    }
    if (sent < 0 && connection.LastError() == socket_errors::kWsaWouldBlock) {
      return Drained::WouldBlock;
    }
    return Drained::Failed;
  }
  return Drained::All;
}

OutputQueue::Drained OutputQueue::DrainFile(Connection& connection, Piece& piece) {
  while (piece.left > 0) {
    int64_t sent = connection.SendFileSome(piece.file, piece.offset, std::min(piece.left, kFileStep));
    if (sent > 0) {
      piece.left -= sent;
      continue;
    }
    if (sent == 0) return Drained::FileShort;  // the file shrank while it was sent
    if (connection.LastError() == socket_errors::kWsaWouldBlock) return Drained::WouldBlock;
    return Drained::Failed;
  }
  return Drained::All;
}

int64_t QueuedOutput::Send(std::string_view data) {
  queue_.AppendBytes(data);
  return static_cast<int64_t>(data.size());
}

int64_t QueuedOutput::SendFile(int file, int64_t length) {
  off_t position = lseek(file, 0, SEEK_CUR);
  if (position < 0 || length < 0) return -1;
  int copy = fcntl(file, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return -1;
  queue_.AppendFile(copy, position, length);
  lseek(file, position + length, SEEK_SET);
  return length;
}

int64_t QueuedOutput::SendFileSome(int file, int64_t& offset, int64_t length) {
  int copy = fcntl(file, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return -1;
  queue_.AppendFile(copy, offset, length);
  offset += length;
  return length;
}
