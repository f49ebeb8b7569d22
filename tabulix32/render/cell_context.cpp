// What a cell-writing render member holds for one call (see cell_context.h).
#include "tabulix32/render/cell_context.h"

#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/render_values.h"

CellContext::CellContext(const Arguments& arguments)
    : interactive_(arguments.interactive),
      out_(arguments.sb),
      uc_(arguments.uc),
      tail_{arguments.settings,
            arguments.currency_symbol,
            arguments.system_currency_symbol,
            arguments.colour,
            arguments.negative_num_format,
            arguments.report_type ? *arguments.report_type : no_report_type_},
      cells_(false, arguments.font_size, arguments.font_family, arguments.colour),
      settings_(arguments.settings) {}

Result<void> CellContext::Open() {
  cells_ = CellStyle(TRY(render_values::IsTrue(interactive_)), *cells_.size(), *cells_.family(),
                     *cells_.colour());
  return {};
}

Result<void> CellContext::OpenCell(std::u16string_view export_open,
                                   std::u16string_view interactive_open) {
  if (cells_.interactive()) return out_.Write(interactive_open);
  std::u16string_view pre_cell = TRY(cells_.PreCell(uc_));
  return out_.Write({export_open, pre_cell, html::kTagEnd});
}

Result<std::optional<std::u16string>> CellContext::OpenFontCell(
    std::u16string_view export_open, std::u16string_view interactive_open,
    std::u16string_view quantity) {
  TRY(OpenCell(export_open, interactive_open));
  std::optional<std::u16string> font = TRY(QuantityFont(settings_, quantity));
  if (font) TRY(out_.Write({html::kFontOpen, *font, html::kTagEnd}));
  return font;
}

Result<void> CellContext::CloseFontCell(const std::optional<std::u16string>& font) {
  if (font) TRY(out_.Write(html::kFontClose));
  return out_.Write(html::kCellEnd);
}
