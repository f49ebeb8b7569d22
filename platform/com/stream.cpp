#include "platform/com/stream.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/com/com_object.h"

namespace {

// Identifies the memory stream among IStreams, so that its bytes can be handed out.
constexpr IID IID_MemoryStream = {0x7A2F1C40, 0x5E3B, 0x4D21, {0x9B, 0x8E, 0x31, 0x6C, 0x0D, 0x44, 0xA1, 0x57}};

class MemoryStream final : public ComObject<MemoryStream, IStream> {
 public:
  static constexpr IID kInterfaces[] = {IID_ISequentialStream, IID_IStream, IID_MemoryStream};

  explicit MemoryStream(std::shared_ptr<std::vector<std::byte>> bytes) : bytes_(std::move(bytes)) {}

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    if (buffer == nullptr && count > 0) return E_POINTER;
    uint64_t available = position_ < bytes_->size() ? bytes_->size() - position_ : 0;
    auto copied = static_cast<ULONG>(std::min<uint64_t>(count, available));
    if (copied > 0) std::memcpy(buffer, bytes_->data() + position_, copied);
    position_ += copied;
    if (read != nullptr) *read = copied;
    return S_OK;
  }
  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    if (written != nullptr) *written = 0;
    if (buffer == nullptr && count > 0) return E_POINTER;
    if (position_ + count > kMaxMemoryStreamBytes) return STG_E_MEDIUMFULL;
    return ComEntry([&] {
      if (position_ + count > bytes_->size()) bytes_->resize(position_ + count);
      if (count > 0) std::memcpy(bytes_->data() + position_, buffer, count);
      position_ += count;
      if (written != nullptr) *written = count;
      return S_OK;
    });
  }
  HRESULT Seek(int64_t move, DWORD origin, uint64_t* position) override {
    int64_t base = 0;
    if (origin == STREAM_SEEK_CUR) {
      base = static_cast<int64_t>(position_);
    } else if (origin == STREAM_SEEK_END) {
      base = static_cast<int64_t>(bytes_->size());
    } else if (origin != STREAM_SEEK_SET) {
      return STG_E_INVALIDFUNCTION;
    }
    int64_t target = 0;
    if (__builtin_add_overflow(base, move, &target) || target < 0) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<uint64_t>(target);
    if (position != nullptr) *position = position_;
    return S_OK;
  }
  HRESULT SetSize(uint64_t size) override {
    if (size > kMaxMemoryStreamBytes) return STG_E_MEDIUMFULL;
    return ComEntry([&] {
      bytes_->resize(size);
      return S_OK;
    });
  }
  HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) override {
    if (target == nullptr) return E_POINTER;
    uint64_t available = position_ < bytes_->size() ? bytes_->size() - position_ : 0;
    auto copied = static_cast<ULONG>(std::min<uint64_t>({count, available, uint64_t{0xFFFFFFFF}}));
    ULONG done = 0;
    HRESULT hr = target->Write(bytes_->data() + position_, copied, &done);
    position_ += copied;
    if (read != nullptr) *read = copied;
    if (written != nullptr) *written = done;
    return hr;
  }
  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT Stat(STATSTG* statistics, DWORD) override {
    if (statistics == nullptr) return E_POINTER;
    statistics->cbSize = bytes_->size();
    return S_OK;
  }
  HRESULT Clone(IStream** copy) override {
    if (copy == nullptr) return E_POINTER;
    return ComEntry([&] {
      auto* clone = new MemoryStream(bytes_);  // shares the bytes, has its own position
      clone->position_ = position_;
      *copy = clone;
      return S_OK;
    });
  }

  std::span<const std::byte> Contents() const { return *bytes_; }

 private:
  std::shared_ptr<std::vector<std::byte>> bytes_;
  uint64_t position_ = 0;
};

}  // namespace

ComPtr<IStream> CreateMemoryStream() {
  return ComPtr<IStream>::Adopt(new MemoryStream(std::make_shared<std::vector<std::byte>>()));
}

std::span<const std::byte> MemoryStreamContents(IStream* stream) {
  if (stream == nullptr) return {};
  ComPtr<IStream> memory;
  if (FAILED(stream->QueryInterface(IID_MemoryStream, reinterpret_cast<void**>(memory.Receive())))) {
    return {};
  }
  return static_cast<MemoryStream*>(memory.get())->Contents();
}
