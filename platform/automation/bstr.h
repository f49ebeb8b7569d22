#pragma once
// BSTR: a length-counted UTF-16 string allocated by the platform. A null BSTR equals the empty
// string everywhere. The length lives in a header before the characters, with the capacity,
// so that a string owned by one variable can grow in place (BstrAppend) at amortised cost.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

using OLECHAR = char16_t;
using BSTR = OLECHAR*;

/// The longest BSTR the platform allocates, in characters; longer requests fail (null).
inline constexpr uint32_t kMaxBstrLength = 0x3FFFFFF0u;

/// A new BSTR of `length` characters copied from `text` (zero-filled when `text` is null).
/// Null when `length` exceeds kMaxBstrLength or memory runs out.
BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length);
/// A new BSTR copied from a NUL-terminated text; null for a null text.
BSTR SysAllocString(const OLECHAR* text);
void SysFreeString(BSTR text);
/// Length in characters; 0 for null.
uint32_t SysStringLen(BSTR text);
/// Replaces *target with a copy of `text`; false (target unchanged) when allocation fails.
bool SysReAllocStringLen(BSTR* target, const OLECHAR* text, uint32_t length);
/// Appends in place, growing the capacity geometrically; false (target unchanged) when the
/// result would exceed kMaxBstrLength or memory runs out.
bool BstrAppend(BSTR* target, std::u16string_view text);

inline std::u16string_view BstrView(BSTR text) { return {text, SysStringLen(text)}; }

/// Owns one BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::u16string_view text);
  Bstr(const Bstr& other) : Bstr(other.view()) {}
  Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  Bstr& operator=(Bstr other) noexcept {
    std::swap(text_, other.text_);
    return *this;
  }
  ~Bstr() { SysFreeString(text_); }

  /// Takes ownership of a BSTR allocated by SysAllocString*.
  static Bstr Adopt(BSTR text) {
    Bstr result;
    result.text_ = text;
    return result;
  }
  /// Gives up ownership.
  BSTR Detach() { return std::exchange(text_, nullptr); }
  BSTR get() const { return text_; }
  std::u16string_view view() const { return BstrView(text_); }
  uint32_t size() const { return SysStringLen(text_); }
  bool empty() const { return size() == 0; }
  friend bool operator==(const Bstr& a, const Bstr& b) { return a.view() == b.view(); }

 private:
  BSTR text_ = nullptr;
};
