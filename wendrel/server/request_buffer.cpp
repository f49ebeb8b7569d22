#include "wendrel/server/request_buffer.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Buffers given back by idle connections, kept per thread (an event loop's connections stay on
// its thread) for the next connection that reads: a kept-alive client going idle between
// requests costs no allocation, and a crowd of idle clients holds at most this many.
class SpareBuffers {
 public:
  ~SpareBuffers() {
    for (size_t i = 0; i < count_; ++i) std::free(buffers_[i]);
  }
  bool Give(char* buffer) {
    if (count_ == buffers_.size()) return false;
    buffers_[count_++] = buffer;
    return true;
  }
  char* Take() { return count_ == 0 ? nullptr : buffers_[--count_]; }

 private:
  std::array<char*, 64> buffers_{};
  size_t count_ = 0;
};

thread_local SpareBuffers spare_buffers;

size_t GrownCapacity(size_t capacity, size_t needed) {
  if (capacity == 0) capacity = RequestBuffer::kFirstCapacity;
  while (capacity - 1 < needed) {
    capacity = capacity <= RequestBuffer::kDoublingLimit ? capacity * 2
                                                        : capacity + RequestBuffer::kDoublingLimit;
  }
  return capacity;
}

}  // namespace

// The block is resized in place where the allocator can (large blocks are remapped, not
// copied), so a large upload does not cost a copy per megabyte.
bool RequestBuffer::Reserve(size_t length) {
  if (capacity_ > 0 && capacity_ - 1 >= length) return true;
  if (capacity_ == 0) {
    if (char* spare = spare_buffers.Take()) {
      data_.reset(spare);
      capacity_ = kFirstCapacity;
      data_.get()[length_] = '\0';
      if (capacity_ - 1 >= length) return true;
    }
  }
  size_t capacity = GrownCapacity(capacity_, length);
  char* grown = static_cast<char*>(std::realloc(data_.get(), capacity));
  if (grown == nullptr) return false;
  (void)data_.release();
  data_.reset(grown);
  capacity_ = capacity;
  data_.get()[length_] = '\0';
  return true;
}

bool RequestBuffer::ReserveMore(size_t more) {
  return length_ + more >= length_ && Reserve(length_ + more);
}

void RequestBuffer::Commit(size_t count) {
  length_ += std::min(count, FreeBytes());
  data_.get()[length_] = '\0';
}

bool RequestBuffer::Append(std::string_view bytes) {
  if (bytes.empty()) return true;
  if (!ReserveMore(bytes.size())) return false;
  std::memcpy(data_.get() + length_, bytes.data(), bytes.size());
  Commit(bytes.size());
  return true;
}

void RequestBuffer::Consume(size_t count) {
  count = std::min(count, length_);
  size_t kept = length_ - count;
  if (kept > 0 && count > 0) std::memmove(data_.get(), data_.get() + count, kept);
  length_ = kept;
  ShrinkIfLarge();
}

void RequestBuffer::ReleaseIfEmpty() {
  if (length_ != 0 || !data_) return;
  if (capacity_ == kFirstCapacity && spare_buffers.Give(data_.get())) {
    (void)data_.release();
  } else {
    data_.reset();
  }
  capacity_ = 0;
}

void RequestBuffer::ShrinkIfLarge() {
  if (capacity_ > kKeptCapacity && length_ < kKeptCapacity) {
    if (char* smaller = static_cast<char*>(std::realloc(data_.get(), kKeptCapacity))) {
      (void)data_.release();
      data_.reset(smaller);
      capacity_ = kKeptCapacity;
    }
  }
  if (data_) data_.get()[length_] = '\0';
}
