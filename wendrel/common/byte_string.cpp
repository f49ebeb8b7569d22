#include "wendrel/common/byte_string.h"

#include <array>
#include <cstring>
#include <string>

namespace {

// Upper-case of each byte under Windows-1252: ASCII, the Latin-1 letters and š œ ž ÿ.
constexpr std::array<unsigned char, 256> MakeUpperTable() {
  std::array<unsigned char, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
  for (int c = 'a'; c <= 'z'; ++c) table[c] = static_cast<unsigned char>(c - 32);
  for (int c = 0xE0; c <= 0xFE; ++c) {
    if (c != 0xF7) table[c] = static_cast<unsigned char>(c - 32);
  }
  table[0x9A] = 0x8A;
  table[0x9C] = 0x8C;
  table[0x9E] = 0x8E;
  table[0xFF] = 0x9F;
  return table;
}

constexpr std::array<unsigned char, 256> kUpper = MakeUpperTable();

unsigned char Fold(char c, CaseSensitivity sensitivity) {
  auto byte = static_cast<unsigned char>(c);
  return sensitivity == CaseSensitivity::Insensitive ? kUpper[byte] : byte;
}

bool MatchesAt(std::string_view haystack, size_t position, std::string_view needle,
               CaseSensitivity sensitivity) {
  for (size_t i = needle.size(); i-- > 0;) {
    if (Fold(haystack[position + i], sensitivity) != Fold(needle[i], sensitivity)) return false;
  }
  return true;
}

}  // namespace

size_t FindBytes(std::string_view haystack, std::string_view needle, size_t from,
                 CaseSensitivity sensitivity) {
  if (from > haystack.size()) return ByteString::npos;
  if (needle.empty()) return from;
  if (needle.size() > haystack.size() - from) return ByteString::npos;
  // Horspool: on a mismatch, shift by how far the byte under the needle's last position is
  // from the needle's end (its last occurrence before the final byte).
  std::array<size_t, 256> skip;
  skip.fill(needle.size());
  for (size_t i = 0; i + 1 < needle.size(); ++i) {
    skip[Fold(needle[i], sensitivity)] = needle.size() - 1 - i;
  }
  size_t position = from;
  while (position + needle.size() <= haystack.size()) {
    if (MatchesAt(haystack, position, needle, sensitivity)) return position;
    position += skip[Fold(haystack[position + needle.size() - 1], sensitivity)];
  }
  return ByteString::npos;
}

char UpperCaseByte(char c) { return static_cast<char>(kUpper[static_cast<unsigned char>(c)]); }

bool BytesEqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i], CaseSensitivity::Insensitive) != Fold(b[i], CaseSensitivity::Insensitive)) {
      return false;
    }
  }
  return true;
}

ByteString::ByteString(ByteString&& other) noexcept
    : buffer_(std::move(other.buffer_)),
      capacity_(other.capacity_),
      length_(other.length_),
      length_known_(other.length_known_) {
  other.capacity_ = 0;
  other.length_ = 0;
  other.length_known_ = true;
}

ByteString& ByteString::operator=(const ByteString& other) {
  if (this != &other) Assign(other.view());
  return *this;
}

ByteString& ByteString::operator=(ByteString&& other) noexcept {
  if (this != &other) {
    buffer_ = std::move(other.buffer_);
    capacity_ = std::exchange(other.capacity_, 0);
    length_ = std::exchange(other.length_, 0);
    length_known_ = std::exchange(other.length_known_, true);
  }
  return *this;
}

size_t ByteString::size() const {
  if (!length_known_) {
    length_ = buffer_ ? std::strlen(buffer_.get()) : 0;
    length_known_ = true;
  }
  return length_;
}

void ByteString::Reserve(size_t length) {
  if (buffer_ && length <= capacity_) return;
  size_t grown = length < kDoublingLimit ? length * 2 : length + kLinearMargin;
  auto buffer = std::make_unique<char[]>(grown + 1);
  size_t kept = size();
  if (buffer_) std::memcpy(buffer.get(), buffer_.get(), kept);
  buffer[kept] = '\0';
  buffer_ = std::move(buffer);
  capacity_ = grown;
}

void ByteString::Assign(std::string_view text) {
  Reserve(text.size());
  std::memmove(buffer_.get(), text.data(), text.size());
  buffer_[text.size()] = '\0';
  length_ = text.size();
  length_known_ = true;
}

void ByteString::Append(std::string_view text) {
  size_t old_length = size();
  // `text` may lie inside this buffer; keep it readable across a reallocation.
  std::string copy;
  if (buffer_ && text.data() >= buffer_.get() && text.data() <= buffer_.get() + capacity_) {
    copy.assign(text);
    text = copy;
  }
  Reserve(old_length + text.size());
  std::memcpy(buffer_.get() + old_length, text.data(), text.size());
  length_ = old_length + text.size();
  buffer_[length_] = '\0';
  length_known_ = true;
}

void ByteString::Clear() {
  if (buffer_) buffer_[0] = '\0';
  length_ = 0;
  length_known_ = true;
}

char* ByteString::MutableData() {
  if (!buffer_) Reserve(0);
  return buffer_.get();
}

Bstr ByteString::ToBstr(uint32_t code_page) const {
  if (empty()) return Bstr();
  return Bstr(BytesToText(view(), code_page));
}

ByteString ByteString::FromText(std::u16string_view text, uint32_t code_page) {
  return ByteString(TextToBytes(text, code_page));
}
