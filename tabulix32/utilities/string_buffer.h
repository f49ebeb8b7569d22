#pragma once
// StringBuffer: collects the HTML a report page builds through the render methods. The text
// lives in a preallocated UTF-16 array whose length is the capacity; its first `used length`
// characters are the content. The capacity starts at 65,536 characters and grows only in whole
// steps of 65,536. Growth resizes the block in place where the heap can (large blocks are moved
// by remapping their pages), so a long report does not pay a full copy per step.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>

#include "platform/com/dispatch_object.h"

/// The identifier under which a StringBuffer of this library answers with itself, so that the
/// renderer can append without dispatch.
inline constexpr IID IID_StringBufferInProcess = {
    0x900F5AB3, 0xD1F5, 0x430F, {0x9E, 0xF8, 0x54, 0xB0, 0xCA, 0x6E, 0x0C, 0x04}};

class StringBuffer : public DispatchObject<StringBuffer> {
 public:
  /// The StringBuffer of this library behind `object`, borrowed; null for any other object.
  static StringBuffer* InProcess(IUnknown* object);

  /// Characters of the first allocation and of every growth step.
  static constexpr int32_t kCapacityStep = 65536;
  /// The longest content: the used length is a 32-bit signed count.
  static constexpr int64_t kMaxContentLength = INT32_MAX;

  /// Resizes `block` (null for a new one) to `count` characters, keeping the characters both
  /// sizes share, as realloc does; null when memory runs out, and `block` stays valid. The
  /// characters past the content are never read, so they are not cleared. Tests substitute one
  /// that fails; the default uses the heap.
  using Allocator = char16_t* (*)(char16_t* block, size_t count);
  static char16_t* ResizeCharacters(char16_t* block, size_t count);

  explicit StringBuffer(Allocator allocate = &ResizeCharacters);

  static std::span<const DispatchMember<StringBuffer>> Members();
  std::u16string_view TypeName() override { return u"StringBuffer"; }

  /// toString(): the content as a new string; the buffer is unchanged.
  Result<Variant> toString(const DispatchArguments& arguments);
  /// append(AddString): AddString is a string passed by value. A text that is empty or made
  /// of spaces (U+0020) only is not appended. Fails with overflow (6) when the content would
  /// pass kMaxContentLength characters, and with out of memory (7) when the buffer cannot
  /// grow (also past the longest string the platform allocates); the content stays as it was.
  /// Null fails with invalid use of Null (94).
  Result<Variant> append(const DispatchArguments& arguments);
  /// clear(): empty content and a fresh buffer of kCapacityStep characters (a grown capacity is
  /// given back).
  Result<Variant> clear(const DispatchArguments& arguments);

  /// The same operations for C++ callers.
  Result<void> Append(std::u16string_view text);
  void Clear();
  std::u16string_view Content() const { return {buffer_.get(), static_cast<size_t>(used_)}; }
  int32_t Capacity() const { return capacity_; }

  /// The capacity that holds `needed` characters: `capacity` itself when it suffices, else
  /// capacity + k × kCapacityStep for the smallest k ≥ 1. Overflow (6) when `needed` passes
  /// kMaxContentLength.
  static Result<int64_t> CapacityFor(int64_t capacity, int64_t needed);

 protected:
  void* QueryOtherInterface(REFIID iid) override;

 private:
  struct FreeCharacters {
    void operator()(char16_t* characters) const { std::free(characters); }
  };
  using Characters = std::unique_ptr<char16_t[], FreeCharacters>;

  Allocator allocate_;
  Characters buffer_;
  int32_t capacity_ = 0;
  int32_t used_ = 0;
};

/// A new StringBuffer for the module's class factory; null when memory runs out.
IUnknown* CreateStringBuffer();
