#pragma once
// What every cell-writing render member holds for the length of one call: where its HTML goes (the
// page's sb), the page's utilities (uc), the form of its cells, the formatter settings it passes to
// myFormatValue, and the quantity settings it reads.

#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/com/dispatch_object.h"
#include "tabulix32/render/render_cells.h"
#include "tabulix32/render/render_output.h"
#include "tabulix32/render/render_signatures.h"
#include "tabulix32/render/utilities_calls.h"
#include "tabulix32/utilities/report_data_internal.h"

class CellContext {
 public:
  /// The member's arguments behind it. `interactive` is the flag that chooses the form of the cells
  /// (enable_nondrilldown_hyperlinks; enable_drilldown_hyperlinks in pivots); `report_type` is null
  /// for members that format without one.
  struct Arguments {
    const VARIANT& sb;
    const VARIANT& uc;
    const VARIANT& interactive;
    const VARIANT& font_size;
    const VARIANT& font_family;
    const VARIANT& settings;  // cache_schemaReportQuantities
    const VARIANT& currency_symbol;
    const VARIANT& system_currency_symbol;
    const VARIANT& colour;  // default_font_color
    const VARIANT& negative_num_format;
    const VARIANT* report_type;  // reporttype1
  };

  /// The arguments of a member whose parameter list is kParameters.
  template <const std::u16string_view& kParameters>
  static Arguments ArgumentsOf(const DispatchArguments& arguments, const VARIANT& interactive) {
    const VARIANT* report_type = nullptr;
    if constexpr (render_signatures::HasParameter(kParameters, u"reporttype1")) {
      report_type = &RENDER_ARGUMENT(reporttype1);
    }
    return Arguments{RENDER_ARGUMENT(sb),
                     RENDER_ARGUMENT(uc),
                     interactive,
                     RENDER_ARGUMENT(default_font_size),
                     RENDER_ARGUMENT(default_font_family),
                     RENDER_ARGUMENT(cache_schemaReportQuantities),
                     RENDER_ARGUMENT(currency_symbol),
                     RENDER_ARGUMENT(system_currency_symbol),
                     RENDER_ARGUMENT(default_font_color),
                     RENDER_ARGUMENT(negative_num_format),
                     report_type};
  }

  explicit CellContext(const Arguments& arguments);
  CellContext(const CellContext&) = delete;
  CellContext& operator=(const CellContext&) = delete;

  /// Reads the flag that chooses the form of the cells (13 for a flag that is no number).
  Result<void> Open();

  RenderOutput& out() { return out_; }
  RenderUtilities& uc() { return uc_; }
  CellStyle& cells() { return cells_; }
  const FormatterTail& tail() const { return tail_; }
  report_data::KeyedItems& settings() { return settings_; }

  /// Opens a cell: `interactive_open` in interactive mode, else `export_open` + the pre-cell style
  /// + ">".
  Result<void> OpenCell(std::u16string_view export_open, std::u16string_view interactive_open);

  /// OpenCell, then the quantity's font wrapper (QuantityFont), which it returns.
  Result<std::optional<std::u16string>> OpenFontCell(std::u16string_view export_open,
                                                     std::u16string_view interactive_open,
                                                     std::u16string_view quantity);

  /// Closes the font wrapper, when there is one, and the cell.
  Result<void> CloseFontCell(const std::optional<std::u16string>& font);

  /// The content of a quantity's total cell by its total type, from the figures `source` holds
  /// under `key`; the quantity's decimals are read only for a percentage.
  template <class Key>
  Result<std::u16string> TotalOf(TotalSource& source, TotalType type, const VARIANT& quantity,
                                 std::u16string_view name, const Key& key) {
    Variant digits;
    if (type == TotalType::Percentage) digits = TRY(TotalDigits(uc_, settings_, name));
    return source.Text(uc_, type, quantity, key, digits, tail_);
  }

 private:
  const VARIANT& interactive_;
  RenderOutput out_;
  RenderUtilities uc_;
  Variant no_report_type_ = Variant::FromString(u"");
  FormatterTail tail_;
  CellStyle cells_;
  report_data::KeyedItems settings_;
};
