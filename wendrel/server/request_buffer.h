#pragma once
// RequestBuffer: the raw bytes of the request a worker is reading, kept NUL-terminated. It
// finds the blank line that ends the header block and knows where the body starts; bytes read
// past the end of one request (a pipelined next request) are kept for the next one. Capacity
// doubles up to 1 MiB and then grows by 1 MiB; after a large request it shrinks back to 64 KiB.

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

class RequestBuffer {
 public:
  static constexpr size_t kFirstCapacity = 16384;
  static constexpr size_t kDoublingLimit = 1 << 20;
  static constexpr size_t kKeptCapacity = 65536;

  /// Appends bytes; false (nothing appended) when memory runs out.
  bool Append(std::string_view bytes);
  /// The text before the first "\r\n\r\n" once it has arrived; the body starts after it.
  std::optional<std::string_view> HeaderBlock();
  /// Bytes received so far.
  std::string_view Data() const { return {data_.get() ? data_.get() : "", length_}; }
  size_t size() const { return length_; }
  /// Bytes after the header block (0 before the header block is complete).
  size_t BodyLength() const { return header_end_ ? length_ - body_start_ : 0; }
  /// The first `length` body bytes (fewer when fewer arrived).
  std::string_view Body(size_t length) const;
  /// Skips leading bytes below a space (blank lines between requests).
  void SkipLeadingBlanks();
  /// Ends the current request, whose body had `body_length` bytes: what followed it stays as
  /// the start of the next request; the capacity shrinks back when it grew large.
  void FinishRequest(size_t body_length);
  /// Drops everything.
  void Clear();
  size_t capacity() const { return capacity_; }

 private:
  bool Reserve(size_t length);
  void ShrinkIfLarge();

  std::unique_ptr<char[]> data_;
  size_t capacity_ = 0;
  size_t length_ = 0;
  std::optional<size_t> header_end_;  // position of "\r\n\r\n"
  size_t body_start_ = 0;
  size_t searched_ = 0;               // where the next search for the blank line begins
};
