#include "wendrel/server/request_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

size_t GrownCapacity(size_t capacity, size_t needed) {
  if (capacity == 0) capacity = RequestBuffer::kFirstCapacity;
  while (capacity - 1 < needed) {
    capacity = capacity <= RequestBuffer::kDoublingLimit ? capacity * 2
                                                        : capacity + RequestBuffer::kDoublingLimit;
  }
  return capacity;
}

}  // namespace

bool RequestBuffer::Reserve(size_t length) {
  if (capacity_ > 0 && capacity_ - 1 >= length) return true;
  size_t capacity = GrownCapacity(capacity_, length);
  std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
  if (!grown) return false;
  if (length_ > 0) std::memcpy(grown.get(), data_.get(), length_);
  grown[length_] = '\0';
  data_ = std::move(grown);
  capacity_ = capacity;
  return true;
}

bool RequestBuffer::Append(std::string_view bytes) {
  if (bytes.empty()) return true;
  if (length_ + bytes.size() < length_ || !Reserve(length_ + bytes.size())) return false;
  std::memcpy(data_.get() + length_, bytes.data(), bytes.size());
  length_ += bytes.size();
  data_[length_] = '\0';
  return true;
}

std::optional<std::string_view> RequestBuffer::HeaderBlock() {
  if (!header_end_) {
    std::string_view data = Data();
    size_t found = data.find(kHeaderEnd, searched_);
    // The blank line may straddle what was searched and what arrived since.
    searched_ = data.size() >= kHeaderEnd.size() - 1 ? data.size() - (kHeaderEnd.size() - 1) : 0;
    if (found == std::string_view::npos) return std::nullopt;
    header_end_ = found;
    body_start_ = found + kHeaderEnd.size();
  }
  return Data().substr(0, *header_end_);
}

std::string_view RequestBuffer::Body(size_t length) const {
  if (!header_end_) return {};
  return Data().substr(body_start_, std::min(length, BodyLength()));
}

void RequestBuffer::SkipLeadingBlanks() {
  size_t blanks = 0;
  while (blanks < length_ && static_cast<unsigned char>(data_[blanks]) < ' ') ++blanks;
  if (blanks == 0) return;
  std::memmove(data_.get(), data_.get() + blanks, length_ - blanks);
  length_ -= blanks;
  data_[length_] = '\0';
  if (header_end_) {
    *header_end_ -= std::min(*header_end_, blanks);
    body_start_ -= std::min(body_start_, blanks);
  }
  searched_ -= std::min(searched_, blanks);
}

void RequestBuffer::FinishRequest(size_t body_length) {
  size_t consumed = length_;
  if (header_end_ && body_length <= length_ - std::min(length_, body_start_)) {
    consumed = body_start_ + body_length;
  }
  size_t kept = length_ - consumed;
  header_end_.reset();
  body_start_ = 0;
  searched_ = 0;
  if (kept > 0) std::memmove(data_.get(), data_.get() + consumed, kept);
  length_ = kept;
  ShrinkIfLarge();
}

void RequestBuffer::Clear() {
  header_end_.reset();
  body_start_ = 0;
  searched_ = 0;
  length_ = 0;
  ShrinkIfLarge();
}

void RequestBuffer::ShrinkIfLarge() {
  if (capacity_ > kKeptCapacity && length_ < kKeptCapacity) {
    std::unique_ptr<char[]> smaller(new (std::nothrow) char[kKeptCapacity]);
    if (smaller) {
      std::memcpy(smaller.get(), data_.get(), length_);
      data_ = std::move(smaller);
      capacity_ = kKeptCapacity;
    }
  }
  if (data_) data_[length_] = '\0';
}
