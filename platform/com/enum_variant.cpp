#include "platform/com/enum_variant.h"

#include <memory>

#include "platform/com/com_object.h"

namespace {

class ValueEnumerator final : public ComObject<ValueEnumerator, IEnumVARIANT> {
 public:
  static constexpr IID kInterfaces[] = {IID_IEnumVARIANT};

  explicit ValueEnumerator(std::shared_ptr<const std::vector<Variant>> values, size_t position = 0)
      : values_(std::move(values)), position_(position) {}

  HRESULT Next(ULONG count, VARIANT* values, ULONG* fetched) override {
    if (values == nullptr && count > 0) return E_POINTER;
    ULONG copied = 0;
    while (copied < count && position_ < values_->size()) {
      VariantInit(&values[copied]);
      HRESULT hr = VariantCopy(&values[copied], &(*values_)[position_]);
      if (FAILED(hr)) return hr;
      ++copied;
      ++position_;
    }
    if (fetched != nullptr) *fetched = copied;
    return copied == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    size_t left = values_->size() - position_;
    position_ += std::min<size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumVARIANT** copy) override {
    if (copy == nullptr) return E_POINTER;
    return ComEntry([&] {
      *copy = new ValueEnumerator(values_, position_);
      return S_OK;
    });
  }

 private:
  std::shared_ptr<const std::vector<Variant>> values_;
  size_t position_;
};

}  // namespace

ComPtr<IEnumVARIANT> CreateValueEnumerator(std::vector<Variant> values) {
  auto shared = std::make_shared<const std::vector<Variant>>(std::move(values));
  return ComPtr<IEnumVARIANT>::Adopt(new ValueEnumerator(std::move(shared)));
}

Variant EnumeratorVariant(std::vector<Variant> values) {
  ComPtr<IEnumVARIANT> enumerator = CreateValueEnumerator(std::move(values));
  Variant result;
  result.vt = VT_UNKNOWN;
  result.punkVal = enumerator.Detach();
  return result;
}
