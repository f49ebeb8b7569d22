// The render methods' reading of page values (see render_values.h).
#include "tabulix32/render/render_values.h"

#include "platform/automation/arithmetic.h"
#include "platform/automation/conversion.h"
#include "tabulix32/utilities/utilities_text_internal.h"

namespace render_values {

namespace {

constexpr std::u16string_view kNullMarker = u"<NULL>";

}  // namespace

Result<bool> IsTrue(const VARIANT& value) { return utilities_internal::IsTrue(value); }

Result<bool> Equals(const VARIANT& value, std::u16string_view text) {
  return utilities_internal::EqualsText(value, text);
}

Result<bool> IsYes(const VARIANT& value) { return Equals(value, u"Yes"); }

Result<std::u16string> TextOf(const VARIANT& value) {
  return utilities_internal::ConcatenatedText(value);
}

bool IsEmptyValue(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_EMPTY || shallow.vt == VT_NULL) return true;
  return shallow.vt == VT_BSTR && SysStringLen(shallow.bstrVal) == 0;
}

Result<bool> IsBlank(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_BSTR)
    return utilities_internal::TrimSpaces(BstrView(shallow.bstrVal)).empty();
  std::u16string text = TRY(TextOf(value));
  return utilities_internal::TrimSpaces(text).empty();
}

Result<bool> IsMissingDescription(const VARIANT& value) {
  if (PeekValue(value).vt == VT_NULL) return true;
  if (TRY(IsBlank(value))) return true;
  return Equals(value, kNullMarker);
}

bool IsUnreadableNumber(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  return shallow.vt == VT_BSTR && SysStringLen(shallow.bstrVal) > 0 && !IsNumeric(shallow);
}

bool IsUnreadableDenominator(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  return shallow.vt == VT_NULL || (shallow.vt == VT_BSTR && !IsNumeric(shallow));
}

Variant DenominatorOrZero(const VARIANT& value) {
  if (IsUnreadableDenominator(value)) return Variant::FromI2(0);
  return Variant(PeekValue(value));
}

double NumberOrZero(const VARIANT& value) {
  if (!IsNumeric(value)) return 0;
  Result<double> number = ToDouble(value);
  return number.ok() ? number.value() : 0;
}

Result<std::optional<Variant>> Accumulate(const VARIANT& total, const VARIANT& addend,
                                          Accumulation mode) {
  if (!IsNumeric(total)) return std::optional<Variant>();
  Variant zero = Variant::FromI2(0);
  const VARIANT& part = IsNumeric(addend) ? addend : static_cast<const VARIANT&>(zero);
  if (mode == Accumulation::Values) return std::optional<Variant>(TRY(Add(total, part)));
  Variant left = Variant::FromR8(TRY(ToDouble(total)));
  Variant right = Variant::FromR8(TRY(ToDouble(part)));
  return std::optional<Variant>(TRY(Add(left, right)));
}

}  // namespace render_values
