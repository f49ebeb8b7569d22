// The shared pieces of the comparison members (see comparison_cells.h).
#include "tabulix32/render/comparison_cells.h"

#include <cmath>

#include "platform/automation/compare.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/render_values.h"
#include "tabulix32/utilities/report_data_internal.h"

namespace comparison {

namespace {

constexpr std::u16string_view kStandardView = u"standard";
constexpr std::u16string_view kFlippedView = u"flipped";
// Variance ratios over denominators this small count as 0; a percent change needs more.
constexpr double kVarianceLimit = 0.00001;
constexpr double kPercentChangeLimit = 0.0001;

}  // namespace

Result<bool> IsStandardView(const VARIANT& view) {
  return render_values::Equals(view, kStandardView);
}

Result<std::vector<SelectedQuantity>> SelectedQuantities(const VARIANT& quantities,
                                                         const VARIANT& view,
                                                         const VARIANT& line_quantity) {
  bool standard = TRY(IsStandardView(view));
  bool flipped = TRY(render_values::Equals(view, kFlippedView));
  std::vector<Variant> all = TRY(report_data::KeysOf(quantities));
  std::vector<SelectedQuantity> selected;
  bool reached = false;
  for (size_t i = 0; i < all.size(); ++i) {
    if (TRY(Compare(all[i], line_quantity)) == Comparison::Equal) reached = true;
    if (!standard && !(flipped && reached)) continue;
    if (flipped) reached = false;
    selected.push_back({static_cast<int32_t>(i + 1), std::move(all[i])});
  }
  return selected;
}

bool IsNegligibleDenominator(const VARIANT& d) {
  return std::fabs(render_values::NumberOrZero(d)) <= kVarianceLimit;
}

double VarianceRatio(const VARIANT& n, const VARIANT& d) {
  if (IsNegligibleDenominator(d)) return 0;
  return render_values::NumberOrZero(n) / render_values::NumberOrZero(d);
}

Result<std::u16string> VarianceText(RenderUtilities& uc, const Variance& variance,
                                    const VARIANT& quantity, bool percent_change,
                                    const VARIANT& digits, const VARIANT& format,
                                    const FormatterTail& tail) {
  if (render_values::IsEmptyValue(variance.value)) return std::u16string(html::kEmpty);
  if (!percent_change) {
    return ValueText(uc, quantity, variance.value, variance.denominator, format, false, tail);
  }
  if (!variance.comparison_denominator) {
    return PercentText(uc, variance.value, variance.denominator, digits, tail.negative_num_format);
  }
  if (std::fabs(*variance.comparison_denominator) > kPercentChangeLimit) {
    Variant ratio = Variant::FromR8(variance.comparison_ratio.value_or(0));
    return PercentText(uc, variance.value, ratio, digits, tail.negative_num_format);
  }
  // The number 0 as a percentage with the quantity's decimals.
  Variant zero = Variant::FromI2(0);
  Variant one = Variant::FromI2(1);
  return PercentText(uc, zero, one, digits, tail.negative_num_format);
}

}  // namespace comparison
