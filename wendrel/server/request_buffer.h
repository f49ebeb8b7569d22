#pragma once
// RequestBuffer: the raw bytes a connection has received and not yet answered, kept
// NUL-terminated: the request being read and whatever a client pipelined after it. Capacity
// doubles up to 1 MiB and then grows by 1 MiB; once a large request is answered it shrinks
// back to 64 KiB.

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string_view>

class RequestBuffer {
 public:
  static constexpr size_t kFirstCapacity = 16384;
  static constexpr size_t kDoublingLimit = 1 << 20;
  static constexpr size_t kKeptCapacity = 65536;

  /// Appends bytes; false (nothing appended) when memory runs out.
  bool Append(std::string_view bytes);
  /// Room for at least `more` bytes after the data, for a receive straight into the buffer;
  /// false when memory runs out.
  bool ReserveMore(size_t more);
  /// The free room after the data (valid until the next change).
  char* FreeSpace() { return data_.get() + length_; }
  size_t FreeBytes() const { return capacity_ == 0 ? 0 : capacity_ - 1 - length_; }
  /// Counts `count` bytes written into FreeSpace as data.
  void Commit(size_t count);
  /// Bytes received so far.
  std::string_view Data() const { return {data_ ? data_.get() : "", length_}; }
  size_t size() const { return length_; }
  /// Drops the first `count` bytes (an answered request); what follows moves to the front and
  /// the capacity shrinks back when it grew large.
  void Consume(size_t count);
  /// Drops everything.
  void Clear() { Consume(length_); }
  /// Gives the memory back when nothing is held: an idle kept-alive connection costs no
  /// buffer (the next bytes get a new one).
  void ReleaseIfEmpty();
  size_t capacity() const { return capacity_; }

 private:
  struct FreeBytesOf {
    void operator()(char* bytes) const { std::free(bytes); }
  };
  bool Reserve(size_t length);
  void ShrinkIfLarge();

  std::unique_ptr<char, FreeBytesOf> data_;
  size_t capacity_ = 0;
  size_t length_ = 0;
};
