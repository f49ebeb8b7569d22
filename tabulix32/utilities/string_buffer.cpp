// StringBuffer: the report page's text collector (see string_buffer.h).
#include "tabulix32/utilities/string_buffer.h"

#include <algorithm>

#include "platform/automation/conversion.h"
#include "tabulix32/utilities/in_process_internal.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using utilities_internal::TrimSpaces;

char16_t* StringBuffer::ResizeCharacters(char16_t* block, size_t count) {
  if (count > SIZE_MAX / sizeof(char16_t)) return nullptr;
  return static_cast<char16_t*>(std::realloc(block, count * sizeof(char16_t)));
}

// Creation must not throw (the class factory runs it under new (std::nothrow)): when the first
// buffer cannot be had, the capacity is 0 and the first append grows it.
StringBuffer::StringBuffer(Allocator allocate) : allocate_(allocate) {
  buffer_.reset(allocate_(nullptr, kCapacityStep));
  if (buffer_) capacity_ = kCapacityStep;
}

std::span<const DispatchMember<StringBuffer>> StringBuffer::Members() {
  constexpr uint16_t kCallable = kMethod | kPropertyGet;
  static constexpr DispatchMember<StringBuffer> kMembers[] = {
      {u"toString", 1, kCallable, 0, 0, &StringBuffer::toString},
      {u"append", 2, kCallable, 1, 1, &StringBuffer::append, u"AddString"},
      {u"clear", 3, kCallable, 0, 0, &StringBuffer::clear},
  };
  return kMembers;
}

Result<int64_t> StringBuffer::CapacityFor(int64_t capacity, int64_t needed) {
  if (needed > kMaxContentLength) return ErrorNumber::Overflow;
  if (needed <= capacity) return capacity;
  int64_t steps = (needed - capacity + kCapacityStep - 1) / kCapacityStep;
  return capacity + steps * kCapacityStep;
}

Result<void> StringBuffer::Append(std::u16string_view text) {
  // Blank pieces never reach the report: the render methods append empty cells freely.
  if (TrimSpaces(text).empty()) return {};
  int64_t needed = int64_t{used_} + static_cast<int64_t>(text.size());
  int64_t capacity = TRY(CapacityFor(capacity_, needed));
  if (capacity > capacity_) {
    // toString must be able to hand the whole content out as one string.
    if (needed > int64_t{kMaxBstrLength}) return ErrorNumber::OutOfMemory;
    char16_t* grown = allocate_(buffer_.get(), static_cast<size_t>(capacity));
    if (!grown) return ErrorNumber::OutOfMemory;
    (void)buffer_.release();  // the block moved into `grown`
    buffer_.reset(grown);
    capacity_ = static_cast<int32_t>(capacity);
  }
  std::copy(text.begin(), text.end(), buffer_.get() + used_);
  used_ = static_cast<int32_t>(needed);
  return {};
}

// A fresh first-size buffer gives a grown capacity back; when it cannot be had, the old buffer
// is kept and only emptied, so clearing never fails.
void StringBuffer::Clear() {
  used_ = 0;
  Characters fresh(allocate_(nullptr, kCapacityStep));
  if (!fresh) return;
  buffer_ = std::move(fresh);
  capacity_ = kCapacityStep;
}

Result<Variant> StringBuffer::toString(const DispatchArguments&) {
  return Variant::FromString(Content());
}

Result<Variant> StringBuffer::append(const DispatchArguments& arguments) {
  VARIANT shallow = PeekValue(arguments[0]);
  if (shallow.vt == VT_BSTR) {
    TRY(Append(BstrView(shallow.bstrVal)));
    return Variant();
  }
  Bstr text = TRY(ToBstr(arguments[0]));
  TRY(Append(text.view()));
  return Variant();
}

Result<Variant> StringBuffer::clear(const DispatchArguments&) {
  Clear();
  return Variant();
}

void* StringBuffer::QueryOtherInterface(REFIID iid) {
  if (iid == IID_StringBufferInProcess) return static_cast<IDispatch*>(this);
  return nullptr;
}

StringBuffer* StringBuffer::InProcess(IUnknown* object) {
  return utilities_internal::InProcessObject<StringBuffer>(object, IID_StringBufferInProcess);
}

IUnknown* CreateStringBuffer() {
  return static_cast<IDispatch*>(new (std::nothrow) StringBuffer());
}
