#pragma once
// What the comparison members share: which quantities a line writes (every one in the
// standard view, the line's own quantity in the flipped view), the value cells' totals, and
// the variance between a base and a comparison value.

#include <optional>
#include <string>
#include <vector>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "tabulix32/render/render_cells.h"

namespace comparison {

/// A quantity a line writes, with its 1-based position among the quantities.
struct SelectedQuantity {
  int32_t position;
  Variant quantity;
};

/// The quantities of `quantities` (a collection's keys) a line writes: all of them when
/// tb_view is "standard"; when it is "flipped", the quantity equal to qty_row (the flag set on
/// reaching it is cleared once it is written); none for any other view.
Result<std::vector<SelectedQuantity>> SelectedQuantities(const VARIANT& quantities,
                                                         const VARIANT& view,
                                                         const VARIANT& line_quantity);

/// Whether the view is "standard".
Result<bool> IsStandardView(const VARIANT& view);

/// A variance between a base and a comparison value, each a numerator over an optional
/// denominator.
struct Variance {
  Variant value;        // Empty when it cannot be given
  Variant denominator;  // the variance denominator ("" once recomputed from ratios)
  std::optional<double> comparison_ratio;  // set when the comparison has a denominator
  std::optional<double> comparison_denominator;
};

/// The ratio n / d of a variance, 0 when |d| is at most 0.00001 (values that are no number
/// count as 0).
double VarianceRatio(const VARIANT& n, const VARIANT& d);

/// Whether |d| is at most 0.00001, the limit under which a variance ratio counts as 0.
bool IsNegligibleDenominator(const VARIANT& d);

/// The cell content of a variance: "&nbsp;" when it is empty; a percent change for
/// "pctchange" (over the comparison ratio, 0% when the comparison denominator is at most
/// 0.0001, or over the variance denominator without one); otherwise the variance formatted by
/// the quantity's total format.
Result<std::u16string> VarianceText(RenderUtilities& uc, const Variance& variance,
                                    const VARIANT& quantity, bool percent_change,
                                    const VARIANT& digits, const VARIANT& format,
                                    const FormatterTail& tail);

}  // namespace comparison
