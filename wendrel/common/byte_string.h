#pragma once
// The narrow text type of the web server: a NUL-terminated byte buffer with its capacity and a
// cached length. Growing to n bytes below 16384 reserves 2 × n, from 16384 on n + 10. Search is
// Boyer–Moore–Horspool, with or without case; conversion to and from BSTR uses a code page (the
// ANSI code page by default) and an empty string converts to a null BSTR.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/automation/bstr.h"
#include "platform/system/code_page.h"

enum class CaseSensitivity { Sensitive, Insensitive };

/// Position of `needle` in `haystack` at or after `from`, or npos; an empty needle is found at
/// `from` (when `from` is inside the haystack or at its end).
size_t FindBytes(std::string_view haystack, std::string_view needle, size_t from,
                 CaseSensitivity sensitivity);

/// Byte equality ignoring case under the ANSI code page's letters.
bool BytesEqualIgnoringCase(std::string_view a, std::string_view b);
/// The upper-case form of one byte under the ANSI code page's letters.
char UpperCaseByte(char c);

class ByteString {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);
  /// Requests below this double; from it on grow by a fixed margin.
  static constexpr size_t kDoublingLimit = 16384;
  static constexpr size_t kLinearMargin = 10;

  ByteString() = default;
  explicit ByteString(std::string_view text) { Assign(text); }
  ByteString(const ByteString& other) : ByteString(other.view()) {}
  ByteString(ByteString&& other) noexcept;
  ByteString& operator=(const ByteString& other);
  ByteString& operator=(ByteString&& other) noexcept;

  /// Never null: "" while nothing was stored.
  const char* c_str() const { return buffer_ ? buffer_.get() : ""; }
  /// The length, recomputed up to the first NUL when it is not known.
  size_t size() const;
  bool empty() const { return size() == 0; }
  size_t capacity() const { return capacity_; }
  std::string_view view() const { return {c_str(), size()}; }

  /// Makes room for at least `length` bytes plus the terminating NUL, by the growth rule.
  void Reserve(size_t length);
  void Assign(std::string_view text);
  void Append(std::string_view text);
  void Append(char c) { Append(std::string_view(&c, 1)); }
  void Clear();

  /// The buffer for writing in place (at least capacity() + 1 bytes after Reserve); call
  /// InvalidateLength afterwards so the length is found again at the first NUL.
  char* MutableData();
  void InvalidateLength() { length_known_ = false; }

  size_t Find(std::string_view needle, size_t from = 0,
              CaseSensitivity sensitivity = CaseSensitivity::Sensitive) const {
    return FindBytes(view(), needle, from, sensitivity);
  }
  bool EqualsIgnoringCase(std::string_view other) const {
    return BytesEqualIgnoringCase(view(), other);
  }

  /// The text as a BSTR; null for an empty string.
  Bstr ToBstr(uint32_t code_page = CP_ACP) const;
  static ByteString FromText(std::u16string_view text, uint32_t code_page = CP_ACP);

 private:
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;           // bytes available for text, not counting the NUL
  mutable size_t length_ = 0;
  mutable bool length_known_ = true;
};
