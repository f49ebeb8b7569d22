#pragma once
// IStream, and a stream kept in memory that grows as it is written, seeks, reports its size and
// hands out its memory (what marshalled interfaces and captured images travel in).

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/com/com_ptr.h"

inline constexpr IID IID_ISequentialStream = {0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
inline constexpr IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;
inline constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHresult(0x80030001u);
inline constexpr HRESULT STG_E_MEDIUMFULL = MakeHresult(0x80030070u);

/// The largest memory stream; writes past it fail with STG_E_MEDIUMFULL.
inline constexpr uint64_t kMaxMemoryStreamBytes = uint64_t{1} << 30;

struct STATSTG {
  uint64_t cbSize;
};

class ISequentialStream : public IUnknown {
 public:
  /// Reads up to `count` bytes; fewer at the end of the stream (S_OK with *read < count).
  virtual HRESULT Read(void* buffer, ULONG count, ULONG* read) = 0;
  virtual HRESULT Write(const void* buffer, ULONG count, ULONG* written) = 0;

 protected:
  ~ISequentialStream() = default;
};

class IStream : public ISequentialStream {
 public:
  /// Moves the position; STG_E_INVALIDFUNCTION for an unknown origin or a position before 0.
  virtual HRESULT Seek(int64_t move, DWORD origin, uint64_t* position) = 0;
  virtual HRESULT SetSize(uint64_t size) = 0;
  virtual HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT Stat(STATSTG* statistics, DWORD flags) = 0;
  virtual HRESULT Clone(IStream** copy) = 0;

 protected:
  ~IStream() = default;
};

/// A new, empty memory stream (CreateStreamOnHGlobal).
ComPtr<IStream> CreateMemoryStream();
/// The bytes of a memory stream (GetHGlobalFromStream); empty for any other stream. Valid
/// until the stream is written again or released.
std::span<const std::byte> MemoryStreamContents(IStream* stream);
