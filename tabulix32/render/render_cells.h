#pragma once
// What the render methods share when they write a cell: the form of the cells of a call
// (interactive or export), the quantity font wrapper, a value, ratio or percentage through the
// page's utilities, and a total by its total type.

#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "tabulix32/render/render_output.h"
#include "tabulix32/render/render_values.h"
#include "tabulix32/render/utilities_calls.h"
#include "tabulix32/utilities/report_data_internal.h"

/// The form of a call's cells. Interactive cells carry CSS classes; export cells carry the
/// pre-cell style, uc.getPreCellHtml(size, family, colour), asked once at first use.
class CellStyle {
 public:
  CellStyle(bool interactive, const VARIANT& size, const VARIANT& family, const VARIANT& colour)
      : interactive_(interactive), size_(&size), family_(&family), colour_(&colour) {}

  bool interactive() const { return interactive_; }
  const VARIANT* size() const { return size_; }
  const VARIANT* family() const { return family_; }
  const VARIANT* colour() const { return colour_; }
  Result<std::u16string_view> PreCell(RenderUtilities& uc);

  /// "<td class=br align=right>" or "<td align=right" + pre-cell style + ">".
  Result<std::u16string_view> QuantityCellOpening(RenderUtilities& uc);
  Result<void> OpenQuantityCell(RenderOutput& out, RenderUtilities& uc);

 private:
  bool interactive_;
  const VARIANT* size_;
  const VARIANT* family_;
  const VARIANT* colour_;
  std::optional<std::u16string> pre_cell_;
  std::u16string quantity_cell_;  // the export opening, built once
};

/// The arguments every myFormatValue call of a method passes after the hasdenom flag.
struct FormatterTail {
  const VARIANT& settings;  // cache_schemaReportQuantities
  const VARIANT& currency_symbol;
  const VARIANT& system_currency_symbol;
  const VARIANT& colour;  // default_font_color, or "" inside a link
  const VARIANT& negative_num_format;
  const VARIANT& report_type;
};

/// uc.myFormatValue(quantity, n, d, format, hasdenom, tail...) as cell HTML: a text as it is
/// (it may hold markup), a date or number in its display form. A value the formatters cannot
/// read as a number ("n/a") is shown as its own text rather than failing the report, and a
/// denominator that is no number counts as 0.
Result<std::u16string> ValueText(RenderUtilities& uc, const VARIANT& quantity, const VARIANT& n,
                                 const VARIANT& d, const VARIANT& format, bool has_denominator,
                                 const FormatterTail& tail);

/// ValueText as the value itself: the formatter's result, or the text shown in its place.
/// `settings`, when given, is the collection tail.settings holds, already opened.
Result<Variant> ValueResult(RenderUtilities& uc, const VARIANT& quantity, const VARIANT& n,
                            const VARIANT& d, const VARIANT& format, bool has_denominator,
                            const FormatterTail& tail, report_data::KeyedItems* settings = nullptr);

/// PercentText as the value itself.
Result<Variant> PercentResult(RenderUtilities& uc, const VARIANT& part, const VARIANT& whole,
                              const VARIANT& digits, const VARIANT& negative_num_format);

/// Writes a value the utilities returned: a string as it is, another value in its display
/// form.
Result<void> WriteResult(RenderOutput& out, const Variant& value);

/// uc.myFormatPercentNoColor(part, whole, digits, negative_num_format); "&nbsp;" when the part
/// is a text that is no number (its share cannot be computed).
Result<std::u16string> PercentText(RenderUtilities& uc, const VARIANT& part, const VARIANT& whole,
                                   const VARIANT& digits, const VARIANT& negative_num_format);

/// The text to write for a value the utilities returned (a string, a date, a number; "" for
/// Empty).
Result<std::u16string> ResultText(const Variant& value);

/// uc.myDivision(n, d); a numerator or denominator that is a text but no number counts as 0
/// (a column total emptied by such a value has no share).
Result<Variant> Ratio(RenderUtilities& uc, const VARIANT& n, const VARIANT& d);

/// The quantity font wrapper: the settings' quantity & "|all_format" text when it is not blank
/// (written untrimmed), nothing otherwise.
Result<std::optional<std::u16string>> QuantityFont(report_data::KeyedItems& settings,
                                                   std::u16string_view quantity);

/// A cell's content inside the quantity font wrapper, when there is one.
void AppendInFont(std::u16string& out, const std::optional<std::u16string>& font,
                  std::u16string_view content);

/// quantity & "|showPercentage" = "Yes".
Result<bool> ShowsPercentage(report_data::KeyedItems& settings, std::u16string_view quantity);

/// uc.fixZero(settings(quantity & "|numdigits")).
Result<Variant> TotalDigits(RenderUtilities& uc, report_data::KeyedItems& settings,
                            std::u16string_view quantity);

/// The opening of a cell that spans the description columns, without its ">": `interactive_open` or
/// `export_open`, numDescriptionColumns as an attribute value, then in export mode the pre-cell
/// style.
Result<std::u16string> SpanningCellOpening(RenderUtilities& uc, CellStyle& cells,
                                           std::u16string_view interactive_open,
                                           std::u16string_view export_open, const VARIANT& columns);

/// A total row's title cell: the spanning opening + "><b>" + title + "(" + rows + ")", with a group
/// " <i>" + group + "</i>", then "</b></td>"; the texts HTML-encoded.
Result<std::u16string> TotalTitleCell(RenderUtilities& uc, CellStyle& cells,
                                      std::u16string_view interactive_open,
                                      std::u16string_view export_open, const VARIANT& columns,
                                      const VARIANT& title, const VARIANT& rows,
                                      const VARIANT* group);

/// The total types of repTotalTypes.
enum class TotalType { Sum, Average, Percentage, Blank, Other };
Result<TotalType> TotalTypeOf(const VARIANT& type);

/// One total cell's figures, as the total-type rule reads them.
struct TotalFigures {
  const VARIANT& quantity;
  const VARIANT& total;                 // the accumulated numerator
  const VARIANT& denominator_total;     // the accumulated denominator
  const VARIANT& quantity_denominator;  // repQtyDenoms(quantity): not empty for a ratio
  const VARIANT& format;                // repQtyFormats(quantity)
};

/// The content of a total cell by its total type: "sum" the total; "average" the total over
/// the denominator total for a ratio, else over the number of rows (`row_keys`.Count, read
/// only then); "percentage" the total as a share of the denominator total with `digits`
/// decimals; any other type "&nbsp;".
Result<std::u16string> TotalText(RenderUtilities& uc, TotalType type, const TotalFigures& figures,
                                 const VARIANT& digits, const FormatterTail& tail,
                                 const VARIANT& row_keys);

/// Where a quantity's total cell reads its figures: the format and denominator flag by quantity,
/// the running totals by `key` (the quantity, or a quantity and range).
struct TotalSource {
  report_data::KeyedItems& formats;                // repQtyFormats
  report_data::KeyedItems& quantity_denominators;  // repQtyDenoms
  report_data::KeyedItems& totals;
  report_data::KeyedItems& denominator_totals;
  const VARIANT& row_keys;  // reportKeys

  /// TotalText of the quantity's figures.
  template <class Key>
  Result<std::u16string> Text(RenderUtilities& uc, TotalType type, const VARIANT& quantity,
                              const Key& key, const VARIANT& digits, const FormatterTail& tail) {
    Variant total = TRY(totals.Read(key));
    Variant denominator_total = TRY(denominator_totals.Read(key));
    Variant quantity_denominator = TRY(quantity_denominators.Read(quantity));
    Variant format = TRY(formats.Read(quantity));
    TotalFigures figures{quantity, total, denominator_total, quantity_denominator, format};
    return TotalText(uc, type, figures, digits, tail, row_keys);
  }
};

/// totals(key) = totals(key) + addend by the running total rule (render_values::Accumulate): a
/// total that takes no further values is left as it is.
template <class Key>
Result<void> AddToRunningTotal(report_data::KeyedItems& totals, const Key& key,
                               const VARIANT& addend, render_values::Accumulation mode) {
  Variant total = TRY(totals.Read(key));
  std::optional<Variant> sum = TRY(render_values::Accumulate(total, addend, mode));
  if (sum) TRY(totals.Write(key, *sum));
  return {};
}
