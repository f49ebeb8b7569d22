#pragma once
// What the pivot members share: the pivot quantities (addressed 1 to numPivotQuantities), the
// cell procedure that writes one heading's quantities side by side ("allh") or stacked in one
// cell, the running totals held per quantity (and per heading), and the pivot links.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "tabulix32/render/cell_context.h"
#include "tabulix32/render/render_cells.h"
#include "tabulix32/render/render_output.h"
#include "tabulix32/render/render_signatures.h"
#include "tabulix32/render/utilities_calls.h"
#include "tabulix32/utilities/report_data_internal.h"

namespace pivot {

/// One pivot quantity, as the settings of the call describe it.
struct Quantity {
  int32_t index = 0;             // 1-based
  Variant name;                  // pivotQuantities(i)
  std::u16string text;           // its text, for settings keys and other-keys
  Variant format;                // pivotQuantitiesFormat(i)
  Variant shown_format;          // the format given to myFormatValue ("percentage" as "percent")
  bool is_date = false;          // "date": shown, never totalled
  bool has_denominator = false;  // pivotQuantitiesHasDenom(i)
  std::u16string font;           // pivotQuantitiesFont(i)
  bool shows_share = false;      // "|showPercentage" is "Yes" and the format is not "percentage"
};

/// What a quantity's percent line holds.
enum class ShareLine { None, BreakOnly, Share };

/// One quantity's content in a cell.
struct Entry {
  bool present = true;  // false: nothing is written for this quantity
  Variant numerator;
  Variant denominator;
  std::optional<std::u16string> anchor;  // written before the value, closed after it
  bool empty_colour = false;             // formatted without a colour, so that the anchor's applies
  ShareLine share = ShareLine::None;
  Variant part;  // for ShareLine::Share: uc.myFormatPercentNoColor(part, whole, 1, ...)
  Variant whole;
};

/// The spacing before smallFont in a quantity's font element.
enum class FontSpacing { One, Two };
/// The cell class: value cells ("br_pivot" in export mode, "br") or total cells ("tf").
enum class CellKind { Value, Total };

/// The pivot quantities and cell settings of one call; the cells' form follows
/// enable_drilldown_hyperlinks.
class Layout : public CellContext {
 public:
  struct Arguments {
    CellContext::Arguments cell;
    const VARIANT& count;  // numPivotQuantities
    const VARIANT& names;
    const VARIANT& formats;
    const VARIANT& has_denominators;
    const VARIANT& fonts;
    const VARIANT& small_font;
    const VARIANT& arrangement;  // pivotqty
  };

  explicit Layout(const Arguments& arguments);

  /// Reads the quantities and the settings of the cells.
  Result<void> Open();

  const std::vector<Quantity>& quantities() const { return quantities_; }
  bool drill_down() const { return drill_down_; }
  const std::u16string& colour() const { return colour_; }

  /// The colour of a quantity's link: default_font_color, or with several quantities the
  /// quantity's font text without "color=" when it holds one.
  std::u16string LinkColour(const Quantity& quantity) const;

  /// The cell procedure for one heading: `entries` holds one Entry per quantity.
  Result<void> WriteCells(CellKind kind, const std::vector<Entry>& entries, FontSpacing spacing);

 private:
  Result<void> OpenPivotCell(CellKind kind);
  Result<void> WriteEntry(const Quantity& quantity, const Entry& entry, FontSpacing spacing);

  Arguments arguments_;
  std::vector<Quantity> quantities_;
  bool drill_down_ = false;
  bool side_by_side_ = false;
  std::u16string small_font_;
  std::u16string colour_;
  Variant empty_colour_ = Variant::FromString(u"");
};

/// The Layout arguments of a pivot member whose parameter list is kParameters.
template <const std::u16string_view& kParameters>
inline Layout::Arguments LayoutArguments(const DispatchArguments& arguments) {
  return Layout::Arguments{CellContext::ArgumentsOf<kParameters>(
                               arguments, RENDER_ARGUMENT(enable_drilldown_hyperlinks)),
                           RENDER_ARGUMENT(numPivotQuantities),
                           RENDER_ARGUMENT(pivotQuantities),
                           RENDER_ARGUMENT(pivotQuantitiesFormat),
                           RENDER_ARGUMENT(pivotQuantitiesHasDenom),
                           RENDER_ARGUMENT(pivotQuantitiesFont),
                           RENDER_ARGUMENT(smallFont),
                           RENDER_ARGUMENT(pivotqty)};
}

/// totals(i): the running total of a quantity (a dictionary or array indexed by quantity).
Result<Variant> TotalOf(const VARIANT& totals, int32_t index);
Result<void> SetTotal(const VARIANT& totals, int32_t index, const VARIANT& value);
/// totals(i)(key): the running total of a quantity under a heading.
Result<Variant> HeadingTotalOf(const VARIANT& totals, int32_t index, const VARIANT& heading);
Result<void> SetHeadingTotal(const VARIANT& totals, int32_t index, const VARIANT& heading,
                             const VARIANT& value);

/// Adds `addend` to totals(i) (or totals(i)(heading) when `heading` is given) by the running
/// total rule (render_values::Accumulate).
Result<void> AddToTotal(const VARIANT& totals, int32_t index, const VARIANT* heading,
                        const VARIANT& addend);

/// The link clause of an "other" cell: the other-row clause, then `placeholder` set to the
/// URL-encoded uc.myescape2(key) when a placeholder is given, then "&%drl_val%=" + `value`
/// when the clause has no "%drl_val%".
Result<std::u16string> OtherCellClause(RenderUtilities& uc, std::u16string_view other_clause,
                                       std::u16string_view placeholder, const VARIANT& key,
                                       const VARIANT& range_char, const VARIANT& escape_char,
                                       std::u16string_view drill_value);

Variant Text(std::u16string_view text);

/// The running totals one value joins, each optional.
struct TotalTargets {
  const VARIANT* row = nullptr;
  const VARIANT* grand = nullptr;
  const VARIANT* column = nullptr;  // per heading
  const VARIANT* group = nullptr;   // per heading
  const VARIANT* group_grand = nullptr;
  const VARIANT* group_heading = nullptr;  // the group's heading, when not the column's
};

/// Adds one quantity's value to the running totals: a date quantity, or a numerator that is no
/// number, empties them instead (as a column total is emptied); a denominator that is no number
/// counts as 0, and a date quantity's denominators are left as they are.
Result<void> AddToTotals(const Quantity& quantity, const TotalTargets& targets,
                         const VARIANT& heading, const VARIANT& value, bool numerator);

/// The page's "other" values of a column (and their denominators).
struct OtherRowValues {
  report_data::KeyedItems values;
  report_data::KeyedItems denominators;

  /// Adds the value under `key`, when it exists, to `whole` (and its denominator to
  /// `whole_denominator`).
  Result<void> AddInto(std::u16string_view key, bool with_denominator, Variant& whole,
                       Variant& whole_denominator);
};

/// The key of a page's "other" value: prefix + ("|grouprow_" + group when grouped) + "|" +
/// quantity.
std::u16string OtherValueKey(std::u16string_view prefix, bool grouped, std::u16string_view group,
                             std::u16string_view quantity);

/// prefix + "|grouprow_" + arrGroup(g - 1) + "|" + quantity for the groups g from groupId to
/// numOfGroups.
Result<std::vector<std::u16string>> GroupOtherKeys(std::u16string_view prefix,
                                                   std::u16string_view quantity,
                                                   const VARIANT& first_group,
                                                   const VARIANT& group_count,
                                                   const VARIANT& groups);

/// The entry's percent line: its share of the whole, a ratio of ratios when the quantity has a
/// denominator.
Result<void> SetShare(RenderUtilities& uc, Entry& entry, bool with_denominator,
                      const VARIANT& whole, const VARIANT& whole_denominator);

/// A pivot anchor: "<a style="color:C;" href="javascript:drlGrid('CLAUSE', '', '')">".
std::u16string GridAnchor(std::u16string_view colour, std::u16string_view clause);

}  // namespace pivot
