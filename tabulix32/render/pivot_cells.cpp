// The pivot cell procedure, the pivot quantities, running totals and links (see
// pivot_cells.h).
#include "tabulix32/render/pivot_cells.h"

#include "platform/automation/conversion.h"
#include "tabulix32/render/html_vocabulary.h"
#include "tabulix32/render/render_links.h"
#include "tabulix32/render/render_values.h"
#include "tabulix32/utilities/analysis_keys.h"
#include "tabulix32/utilities/link_utilities_internal.h"
#include "tabulix32/utilities/report_data_internal.h"
#include "tabulix32/utilities/utilities_text_internal.h"

namespace pivot {

namespace {

constexpr std::u16string_view kSideBySide = u"allh";
constexpr std::u16string_view kDateFormat = u"date";
constexpr std::u16string_view kPercentageFormat = u"percentage";
// The format name myFormatValue knows for a percentage.
constexpr std::u16string_view kPercentFormat = u"percent";
constexpr std::u16string_view kColourAttribute = u"color=";
constexpr std::u16string_view kDrillValueLead = u"&%drl_val%=";
constexpr std::u16string_view kKeySeparator = u"|";

}  // namespace

Layout::Layout(const Arguments& arguments) : CellContext(arguments.cell), arguments_(arguments) {}

Result<void> Layout::Open() {
  TRY(CellContext::Open());
  drill_down_ = cells().interactive();
  side_by_side_ = TRY(render_values::Equals(arguments_.arrangement, kSideBySide));
  small_font_ = TRY(render_values::TextOf(arguments_.small_font));
  colour_ = TRY(render_values::TextOf(tail().colour));
  int32_t count = TRY(report_data::LoopCount(arguments_.count));
  for (int32_t index = 1; index <= count; ++index) {
    Quantity quantity;
    quantity.index = index;
    quantity.name = TRY(report_data::ItemAt(arguments_.names, index));
    quantity.text = TRY(render_values::TextOf(quantity.name));
    quantity.format = TRY(report_data::ItemAt(arguments_.formats, index));
    bool percentage = TRY(render_values::Equals(quantity.format, kPercentageFormat));
    // myFormatValue knows a percentage as "percent": "percentage" would give empty cells.
    quantity.shown_format = percentage ? Variant::FromString(kPercentFormat) : quantity.format;
    quantity.is_date = TRY(render_values::Equals(quantity.format, kDateFormat));
    quantity.has_denominator =
        TRY(render_values::IsTrue(TRY(report_data::ItemAt(arguments_.has_denominators, index))));
    quantity.font = TRY(render_values::TextOf(TRY(report_data::ItemAt(arguments_.fonts, index))));
    quantity.shows_share = !percentage && TRY(ShowsPercentage(settings(), quantity.text));
    quantities_.push_back(std::move(quantity));
  }
  return {};
}

std::u16string Layout::LinkColour(const Quantity& quantity) const {
  if (quantities_.size() <= 1 || quantity.font.find(kColourAttribute) == std::u16string::npos) {
    return colour_;
  }
  std::u16string colour = quantity.font;
  for (size_t at = colour.find(kColourAttribute); at != std::u16string::npos;
       at = colour.find(kColourAttribute, at)) {
    colour.erase(at, kColourAttribute.size());
  }
  return colour;
}

Result<void> Layout::OpenPivotCell(CellKind kind) {
  if (cells().interactive()) {
    return out().Write(kind == CellKind::Total ? html::kTotalCell : html::kQuantityCell);
  }
  std::u16string_view pre_cell = TRY(cells().PreCell(uc()));
  std::u16string_view open =
      kind == CellKind::Total ? html::kTotalCellExport : html::kPivotCellExport;
  return out().Write({open, pre_cell, html::kTagEnd});
}

Result<void> Layout::WriteEntry(const Quantity& quantity, const Entry& entry, FontSpacing spacing) {
  std::u16string font_open;
  if (quantities_.size() > 1) {
    font_open.append(html::kFontOpen).append(quantity.font);
    font_open.append(spacing == FontSpacing::Two ? u"  " : u" ").append(small_font_);
    font_open.append(html::kTagEnd);
  }
  if (entry.anchor) TRY(out().Write(*entry.anchor));
  if (!font_open.empty()) TRY(out().Write(font_open));
  const FormatterTail& shared = tail();
  FormatterTail tail{shared.settings,
                     shared.currency_symbol,
                     shared.system_currency_symbol,
                     entry.empty_colour ? empty_colour_ : shared.colour,
                     shared.negative_num_format,
                     shared.report_type};
  TRY(out().Write(TRY(ValueText(uc(), quantity.name, entry.numerator, entry.denominator,
                                quantity.shown_format, quantity.has_denominator, tail))));
  if (!font_open.empty()) TRY(out().Write(html::kFontClose));
  if (entry.anchor) TRY(out().Write(html::kAnchorEnd));
  if (!quantity.shows_share || entry.share == ShareLine::None) return {};
  TRY(out().Write(html::kLineBreak));
  if (entry.share == ShareLine::BreakOnly) return {};
  if (!font_open.empty()) TRY(out().Write(font_open));
  Variant one_decimal = Variant::FromI2(1);
  TRY(out().Write(
      TRY(PercentText(uc(), entry.part, entry.whole, one_decimal, shared.negative_num_format))));
  if (!font_open.empty()) TRY(out().Write(html::kFontClose));
  return {};
}

Result<void> Layout::WriteCells(CellKind kind, const std::vector<Entry>& entries,
                                FontSpacing spacing) {
  if (!side_by_side_) TRY(OpenPivotCell(kind));
  for (size_t i = 0; i < quantities_.size() && i < entries.size(); ++i) {
    const Quantity& quantity = quantities_[i];
    if (side_by_side_) TRY(OpenPivotCell(kind));
    if (quantity.index > 1 && !side_by_side_) TRY(out().Write(html::kLineBreak));
    if (entries[i].present) TRY(WriteEntry(quantity, entries[i], spacing));
    if (side_by_side_) TRY(out().Write(html::kCellEnd));
  }
  if (!side_by_side_) TRY(out().Write(html::kCellEnd));
  return {};
}

Variant Text(std::u16string_view text) { return Variant::FromString(text); }

Result<Variant> TotalOf(const VARIANT& totals, int32_t index) {
  return report_data::ItemAt(totals, index);
}

Result<void> SetTotal(const VARIANT& totals, int32_t index, const VARIANT& value) {
  return report_data::AssignItemAt(totals, Variant::FromI4(index), value);
}

Result<Variant> HeadingTotalOf(const VARIANT& totals, int32_t index, const VARIANT& heading) {
  Variant per_heading = TRY(report_data::ItemAt(totals, index));
  return report_data::ItemAt(per_heading, heading);
}

Result<void> SetHeadingTotal(const VARIANT& totals, int32_t index, const VARIANT& heading,
                             const VARIANT& value) {
  Variant per_heading = TRY(report_data::ItemAt(totals, index));
  return report_data::AssignItemAt(per_heading, heading, value);
}

Result<void> AddToTotal(const VARIANT& totals, int32_t index, const VARIANT* heading,
                        const VARIANT& addend) {
  Variant total =
      heading ? TRY(HeadingTotalOf(totals, index, *heading)) : TRY(TotalOf(totals, index));
  std::optional<Variant> sum =
      TRY(render_values::Accumulate(total, addend, render_values::Accumulation::Values));
  if (!sum) return {};
  if (heading) return SetHeadingTotal(totals, index, *heading, *sum);
  return SetTotal(totals, index, *sum);
}

Result<std::u16string> OtherCellClause(RenderUtilities& uc, std::u16string_view other_clause,
                                       std::u16string_view placeholder, const VARIANT& key,
                                       const VARIANT& range_char, const VARIANT& escape_char,
                                       std::u16string_view drill_value) {
  std::u16string clause(other_clause);
  if (!placeholder.empty()) {
    Variant escaped = TRY(uc.Call(UtilityMember::myescape2, {key, range_char, escape_char}));
    std::u16string encoded =
        TRY(utilities_internal::UrlEncode(TRY(render_values::TextOf(escaped))));
    Variant clause_value = Variant::FromString(clause);
    Variant name = Variant::FromString(placeholder);
    Variant value = Variant::FromString(encoded);
    Variant changed = TRY(uc.Call(UtilityMember::setQSVariable, {clause_value, name, value}));
    clause = TRY(render_values::TextOf(changed));
  }
  if (clause.find(html::kDrillValueToken) == std::u16string::npos) {
    clause.append(kDrillValueLead).append(drill_value);
  }
  return clause;
}

// Step 3 of renderPivotQuantities for one quantity and one kind (numerators or
// denominators): a date quantity, or a numerator that is no number, empties the totals; other
// values are added (a denominator that is no number counts as 0).
Result<void> AddToTotals(const pivot::Quantity& quantity, const TotalTargets& targets,
                         const VARIANT& heading, const VARIANT& value, bool numerator) {
  bool empties = numerator && (quantity.is_date || !IsNumeric(value));
  Variant empty_text = Text(u"");
  int32_t i = quantity.index;
  auto apply = [&](const VARIANT* totals, const VARIANT* per_heading) -> Result<void> {
    if (totals == nullptr) return {};
    if (!empties) return pivot::AddToTotal(*totals, i, per_heading, value);
    if (per_heading) return pivot::SetHeadingTotal(*totals, i, *per_heading, empty_text);
    return pivot::SetTotal(*totals, i, empty_text);
  };
  // A date quantity's denominators are left as they are.
  if (!numerator && quantity.is_date) return {};
  TRY(apply(targets.row, nullptr));
  TRY(apply(targets.grand, nullptr));
  TRY(apply(targets.column, &heading));
  TRY(apply(targets.group, targets.group_heading ? targets.group_heading : &heading));
  return apply(targets.group_grand, nullptr);
}

Result<void> OtherRowValues::AddInto(std::u16string_view key, bool with_denominator, Variant& whole,
                                     Variant& whole_denominator) {
  if (!TRY(values.Exists(key))) return {};
  std::optional<Variant> sum = TRY(
      render_values::Accumulate(whole, TRY(values.Read(key)), render_values::Accumulation::Values));
  if (sum) whole = std::move(*sum);
  if (!with_denominator) return {};
  std::optional<Variant> denominator = TRY(render_values::Accumulate(
      whole_denominator, TRY(denominators.Read(key)), render_values::Accumulation::Values));
  if (denominator) whole_denominator = std::move(*denominator);
  return {};
}

// The keys of the "other" values of a column within the groups groupId to numOfGroups:
// prefix + "|grouprow_" + arrGroup(g - 1) + "|" + quantity.
std::u16string OtherValueKey(std::u16string_view prefix, bool grouped, std::u16string_view group,
                             std::u16string_view quantity) {
  std::u16string key(prefix);
  if (grouped) key.append(analysis_keys::kGroupRowPrefix).append(group);
  key.append(kKeySeparator).append(quantity);
  return key;
}

Result<std::vector<std::u16string>> GroupOtherKeys(std::u16string_view prefix,
                                                   std::u16string_view quantity,
                                                   const VARIANT& first_group,
                                                   const VARIANT& group_count,
                                                   const VARIANT& groups) {
  std::vector<std::u16string> keys;
  int32_t first = TRY(ToInt32(first_group));
  int32_t last = TRY(report_data::LoopCount(group_count));
  for (int64_t g = first; g <= last; ++g) {
    Variant group = TRY(report_data::ItemAt(groups, static_cast<int32_t>(g - 1)));
    keys.push_back(OtherValueKey(prefix, true, TRY(render_values::TextOf(group)), quantity));
  }
  return keys;
}

// The share of a value in its column: a ratio of ratios when the quantity has a denominator.
Result<void> SetShare(RenderUtilities& uc, Entry& entry, bool with_denominator,
                      const VARIANT& whole, const VARIANT& whole_denominator) {
  entry.share = ShareLine::Share;
  if (!with_denominator) {
    entry.part = entry.numerator;
    entry.whole = Variant(PeekValue(whole));
    return {};
  }
  entry.part = TRY(Ratio(uc, entry.numerator, entry.denominator));
  entry.whole = TRY(Ratio(uc, whole, whole_denominator));
  return {};
}

std::u16string GridAnchor(std::u16string_view colour, std::u16string_view clause) {
  std::u16string anchor;
  AppendAnchor(anchor, AnchorForm::ColouredPlain, colour, html::kDrillDownGrid, clause);
  return anchor;
}

}  // namespace pivot
