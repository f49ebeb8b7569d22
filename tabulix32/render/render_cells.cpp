// The cell pieces the render methods share (see render_cells.h).
#include "tabulix32/render/render_cells.h"

#include "platform/automation/conversion.h"
#include "tabulix32/render/html_safety.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/render_values.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using report_data::KeyedItems;

namespace {

constexpr std::u16string_view kFontSetting = u"|all_format";
constexpr std::u16string_view kPercentageSetting = u"|showPercentage";
constexpr std::u16string_view kDigitsSetting = u"|numdigits";

constexpr std::u16string_view kSumType = u"sum";
constexpr std::u16string_view kAverageType = u"average";
constexpr std::u16string_view kPercentageType = u"percentage";

Result<Variant> ReadSetting(KeyedItems& settings, std::u16string_view quantity,
                            std::u16string_view suffix) {
  return settings.Read(report_data::KeyText{quantity, suffix});
}

}  // namespace

Result<std::u16string_view> CellStyle::PreCell(RenderUtilities& uc) {
  if (!pre_cell_) {
    Variant style = TRY(uc.Call(UtilityMember::getPreCellHtml, {*size_, *family_, *colour_}));
    pre_cell_ = TRY(render_values::TextOf(style));
  }
  return std::u16string_view(*pre_cell_);
}

Result<std::u16string_view> CellStyle::QuantityCellOpening(RenderUtilities& uc) {
  if (interactive_) return html::kQuantityCell;
  if (quantity_cell_.empty()) {
    std::u16string_view pre_cell = TRY(PreCell(uc));
    quantity_cell_.append(html::kQuantityCellExport).append(pre_cell).append(html::kTagEnd);
  }
  return std::u16string_view(quantity_cell_);
}

Result<void> CellStyle::OpenQuantityCell(RenderOutput& out, RenderUtilities& uc) {
  return out.Write(TRY(QuantityCellOpening(uc)));
}

Result<std::u16string> ResultText(const Variant& value) {
  if (value.Type() == VT_BSTR) return std::u16string(value.StringView());
  return render_values::TextOf(value);
}

Result<Variant> ValueResult(RenderUtilities& uc, const VARIANT& quantity, const VARIANT& n,
                            const VARIANT& d, const VARIANT& format, bool has_denominator,
                            const FormatterTail& tail, KeyedItems* settings) {
  if (render_values::IsUnreadableNumber(n)) {
    return Variant::FromString(html_safety::Text(TRY(render_values::TextOf(n))));
  }
  Variant zero_denominator;
  bool counts_as_zero = has_denominator && render_values::IsUnreadableDenominator(d);
  if (counts_as_zero) zero_denominator = Variant::FromI2(0);
  Variant flag = Variant::FromBool(has_denominator);
  const VARIANT arguments[] = {quantity,
                               n,
                               counts_as_zero ? zero_denominator : d,
                               format,
                               flag,
                               tail.settings,
                               tail.currency_symbol,
                               tail.system_currency_symbol,
                               tail.colour,
                               tail.negative_num_format,
                               tail.report_type};
  if (settings != nullptr) return uc.FormatValue(arguments, *settings);
  return uc.Call(UtilityMember::myFormatValue, arguments);
}

Result<std::u16string> ValueText(RenderUtilities& uc, const VARIANT& quantity, const VARIANT& n,
                                 const VARIANT& d, const VARIANT& format, bool has_denominator,
                                 const FormatterTail& tail) {
  return ResultText(TRY(ValueResult(uc, quantity, n, d, format, has_denominator, tail)));
}

Result<Variant> PercentResult(RenderUtilities& uc, const VARIANT& part, const VARIANT& whole,
                              const VARIANT& digits, const VARIANT& negative_num_format) {
  if (render_values::IsUnreadableNumber(part)) return Variant::FromString(html::kEmpty);
  return uc.Call(UtilityMember::myFormatPercentNoColor, {part, whole, digits, negative_num_format});
}

Result<std::u16string> PercentText(RenderUtilities& uc, const VARIANT& part, const VARIANT& whole,
                                   const VARIANT& digits, const VARIANT& negative_num_format) {
  return ResultText(TRY(PercentResult(uc, part, whole, digits, negative_num_format)));
}

Result<void> WriteResult(RenderOutput& out, const Variant& value) {
  if (value.Type() == VT_BSTR) return out.Write(value.StringView());
  return out.Write(TRY(render_values::TextOf(value)));
}

Result<Variant> Ratio(RenderUtilities& uc, const VARIANT& n, const VARIANT& d) {
  VARIANT numerator = PeekValue(n);
  VARIANT denominator = PeekValue(d);
  bool unreadable_numerator = numerator.vt == VT_BSTR && !IsNumeric(numerator);
  bool unreadable_denominator = denominator.vt == VT_BSTR && !IsNumeric(denominator);
  if (unreadable_numerator || unreadable_denominator) return Variant::FromR8(0.0);
  return uc.Call(UtilityMember::myDivision, {n, d});
}

Result<std::optional<std::u16string>> QuantityFont(KeyedItems& settings,
                                                   std::u16string_view quantity) {
  return settings.Peek(report_data::KeyText{quantity, kFontSetting},
                       [](const VARIANT& font) -> Result<std::optional<std::u16string>> {
                         if (TRY(render_values::IsBlank(font))) {
                           return std::optional<std::u16string>();
                         }
                         return std::optional<std::u16string>(TRY(render_values::TextOf(font)));
                       });
}

void AppendInFont(std::u16string& out, const std::optional<std::u16string>& font,
                  std::u16string_view content) {
  if (!font) {
    out.append(content);
    return;
  }
  out.append(html::kFontOpen).append(*font).append(html::kTagEnd);
  out.append(content).append(html::kFontClose);
}

Result<bool> ShowsPercentage(KeyedItems& settings, std::u16string_view quantity) {
  return settings.Peek(report_data::KeyText{quantity, kPercentageSetting}, render_values::IsYes);
}

Result<Variant> TotalDigits(RenderUtilities& uc, KeyedItems& settings,
                            std::u16string_view quantity) {
  Variant digits = TRY(ReadSetting(settings, quantity, kDigitsSetting));
  return uc.Call(UtilityMember::fixZero, {digits});
}

Result<std::u16string> SpanningCellOpening(RenderUtilities& uc, CellStyle& cells,
                                           std::u16string_view interactive_open,
                                           std::u16string_view export_open,
                                           const VARIANT& columns) {
  std::u16string cell(cells.interactive() ? interactive_open : export_open);
  html_safety::AppendAttributeValue(cell, TRY(render_values::TextOf(columns)));
  if (!cells.interactive()) cell.append(TRY(cells.PreCell(uc)));
  return cell;
}

Result<std::u16string> TotalTitleCell(RenderUtilities& uc, CellStyle& cells,
                                      std::u16string_view interactive_open,
                                      std::u16string_view export_open, const VARIANT& columns,
                                      const VARIANT& title, const VARIANT& rows,
                                      const VARIANT* group) {
  std::u16string cell = TRY(SpanningCellOpening(uc, cells, interactive_open, export_open, columns));
  cell.append(html::kTagEnd).append(html::kBoldOpen);
  html_safety::AppendText(cell, TRY(render_values::TextOf(title)));
  cell.append(u"(");
  html_safety::AppendText(cell, TRY(render_values::TextOf(rows)));
  cell.append(u")");
  if (group) {
    cell.append(u" ").append(html::kItalicOpen);
    html_safety::AppendText(cell, TRY(render_values::TextOf(*group)));
    cell.append(html::kItalicClose);
  }
  cell.append(html::kBoldClose).append(html::kCellEnd);
  return cell;
}

Result<TotalType> TotalTypeOf(const VARIANT& type) {
  if (TRY(render_values::Equals(type, kSumType))) return TotalType::Sum;
  if (TRY(render_values::Equals(type, kAverageType))) return TotalType::Average;
  if (TRY(render_values::Equals(type, kPercentageType))) return TotalType::Percentage;
  if (PeekValue(type).vt != VT_NULL && TRY(render_values::IsBlank(type))) return TotalType::Blank;
  return TotalType::Other;
}

Result<std::u16string> TotalText(RenderUtilities& uc, TotalType type, const TotalFigures& figures,
                                 const VARIANT& digits, const FormatterTail& tail,
                                 const VARIANT& row_keys) {
  switch (type) {
    case TotalType::Sum: {
      Variant zero = Variant::FromI2(0);
      return ValueText(uc, figures.quantity, figures.total, zero, figures.format, false, tail);
    }
    case TotalType::Average: {
      if (!render_values::IsEmptyValue(figures.quantity_denominator)) {
        return ValueText(uc, figures.quantity, figures.total, figures.denominator_total,
                         figures.format, true, tail);
      }
      KeyedItems rows = TRY(KeyedItems::Of(row_keys));
      Variant count = Variant::FromI4(TRY(rows.Count()));
      return ValueText(uc, figures.quantity, figures.total, count, figures.format, true, tail);
    }
    case TotalType::Percentage:
      return PercentText(uc, figures.total, figures.denominator_total, digits,
                         tail.negative_num_format);
    case TotalType::Blank:
    case TotalType::Other:
      break;
  }
  return std::u16string(html::kEmpty);
}
