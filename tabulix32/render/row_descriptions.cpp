// The description cells that open a row: the key cell and one cell per description column of
// a detail row (renderRowDescriptions, renderStoredRowDescriptions), the header cells of a
// group (renderGroupRowDescriptions), and the group's description text used in its total row
// (rowsGroupDescriptions). Row drill-down links carry the row's clause, which these members
// complete in place (the row's keys, the group variable).
#include "platform/automation/arithmetic.h"
#include "platform/automation/compare.h"
#include "tabulix32/render/description_cells.h"
#include "tabulix32/render/report_render.h"
#include "tabulix32/utilities/utilities_text_internal.h"

namespace {

constexpr std::u16string_view kDescriptionSuffix = u"_descr";
constexpr std::u16string_view kDetailReport = u"detail";
constexpr std::u16string_view kListSeparator = u", ";
constexpr std::u16string_view kGroupKeySeparator = u" - ";

// a <> b by the value type's comparison; a Null side makes the test false.
Result<bool> Differs(const VARIANT& a, const VARIANT& b) {
  Comparison outcome = TRY(Compare(a, b));
  return outcome == Comparison::Less || outcome == Comparison::Greater;
}

// rows(column, row) of the page's fetched rows.
Result<Variant> RowCell(const VARIANT& rows, const VARIANT& column, const VARIANT& row) {
  const VARIANT indices[] = {column, row};
  return report_data::ItemAt(rows, indices);
}

// Step 1 of the detail-row members: the row's keys filled into linkClause; whether its
// descriptions may link.
template <const std::u16string_view& kParameters>
Result<bool> FillRowKeys(const DispatchArguments& arguments, RenderUtilities& uc,
                         InOutArgument& link_clause) {
  Variant row_key = TRY(RowCell(RENDER_ARGUMENT(rowsReport), RENDER_ARGUMENT(keyFieldSQLColumn),
                                RENDER_ARGUMENT(repRowCounter)));
  Variant enable_link = Variant::FromBool(true);
  Variant row_key_reference = Variant::RefTo(&row_key);
  Variant enable_link_reference = Variant::RefTo(&enable_link);
  TRY(uc.Call(UtilityMember::getEnableLink,
              {RENDER_ARGUMENT(isGrouped), RENDER_ARGUMENT(rowsReport),
               RENDER_ARGUMENT(keyFieldGroupbySQLColumn), RENDER_ARGUMENT(repRowCounter),
               link_clause.Reference(), RENDER_ARGUMENT(range_char), RENDER_ARGUMENT(escape_char),
               RENDER_ARGUMENT(hasKeyField), row_key_reference, enable_link_reference}));
  return render_values::IsTrue(enable_link);
}

// The description cell of one column of a detail row (step 3 of renderRowDescriptions): the
// first column clears the group variable of a grouped report and, in drill-down mode, links to
// `function` when `may_link` and the description is not blank; then the description or its
// placeholder and the external-link marker.
template <const std::u16string_view& kParameters>
Result<void> WriteColumnDescription(const DispatchArguments& arguments, DescriptionCells& cells,
                                    InOutArgument& link_clause, const VARIANT& column,
                                    const VARIANT& description, bool first, bool grouped,
                                    bool may_link, std::u16string_view function) {
  if (first && grouped) TRY(ClearGroupVariable(cells.uc, link_clause));
  bool link = first && cells.drill_down && may_link && !TRY(render_values::IsBlank(description));
  Variant link_template =
      TRY(LinkTemplate(column, RENDER_ARGUMENT(linkurl_key), RENDER_ARGUMENT(linkUrlDescr)));
  TRY(cells.Open(html::kRowDescriptionCellExport));
  if (link) TRY(cells.WriteAnchor(AnchorForm::ColouredHref, function, link_clause.value()));
  TRY(cells.WriteDescription(description, cells.drill_down));
  if (link) TRY(cells.out.Write(html::kAnchorEnd));
  Variant shown = Variant(PeekValue(description));
  Variant shown_reference = Variant::RefTo(&shown);
  TRY(cells.WriteMarker(link_template, shown_reference,
                        RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)));
  return cells.out.Write(html::kCellEnd);
}

}  // namespace

// renderRowDescriptions: the key cell (when the report shows a key column) and a cell per
// description column of suppDescriptionFields. Updates linkClause and key.
Result<Variant> ReportRender::renderRowDescriptions(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRenderRowDescriptionsParameters;
  DescriptionCells cells = TRY(OpenDescriptionCells<kParameters>(arguments));
  InOutArgument link_clause(arguments, RENDER_POSITION(linkClause));
  InOutArgument key(arguments, RENDER_POSITION(key));
  bool grouped = TRY(render_values::IsTrue(RENDER_ARGUMENT(isGrouped)));
  bool analysis = TRY(render_values::IsTrue(RENDER_ARGUMENT(config_analysis)));
  std::u16string function(html::kDrillDown);
  function.append(TRY(render_values::TextOf(RENDER_ARGUMENT(methodSuffix))));
  // 1.
  bool enable_link = TRY(FillRowKeys<kParameters>(arguments, cells.uc, link_clause));
  // 2. The key cell.
  if (TRY(render_values::IsTrue(RENDER_ARGUMENT(hasKeyField))) &&
      !render_values::IsEmptyValue(RENDER_ARGUMENT(keyDescription)) &&
      TRY(Differs(RENDER_ARGUMENT(descriptionField), RENDER_ARGUMENT(groupField)))) {
    TRY(cells.Open(html::kRowDescriptionCellExport));
    if (TRY(render_values::IsBlank(key.value()))) {
      TRY(cells.out.Write(html::kEmpty));
    } else {
      bool anchored = false;
      if (cells.drill_down) {
        if (grouped) TRY(ClearGroupVariable(cells.uc, link_clause));
        if (analysis) {
          TRY(cells.WriteAnchor(AnchorForm::ColouredSpacedHref, function, link_clause.value()));
          anchored = true;
        }
      }
      std::u16string text = TRY(render_values::TextOf(key.value()));
      if (cells.drill_down) {
        TRY(key.Set(Variant::FromString(u"<b>" + text + u"</b>")));
        TRY(cells.out.Write({html::kBoldOpen, html_safety::Text(text), html::kBoldClose}));
      } else {
        TRY(cells.out.Write(html_safety::Text(text)));
      }
      if (anchored) TRY(cells.out.Write(html::kAnchorEnd));
      TRY(cells.WriteMarker(RENDER_ARGUMENT(linkurl_key), key.Reference(),
                            RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)));
    }
    TRY(cells.out.Write(html::kCellEnd));
  }
  // 3. The description cells.
  Describer describe{cells.uc, RENDER_ARGUMENT(week_start_day), RENDER_ARGUMENT(year_start_month),
                     RENDER_ARGUMENT(year_offset)};
  std::vector<Variant> columns = TRY(report_data::KeysOf(RENDER_ARGUMENT(suppDescriptionFields)));
  std::u16string row_index = TRY(render_values::TextOf(RENDER_ARGUMENT(i_descr)));
  for (size_t position = 1; position <= columns.size(); ++position) {
    bool first = position == 1;
    Variant value;
    if (first) {
      value = TRY(report_data::ItemAt(RENDER_ARGUMENT(objDField_s), RENDER_ARGUMENT(i_descr)));
    } else {
      std::u16string index = row_index + std::u16string(TRY(render_values::TextOf(
                                             Variant::FromI4(static_cast<int32_t>(position)))));
      index.append(kDescriptionSuffix);
      value = TRY(report_data::ItemAt(RENDER_ARGUMENT(objDField_s), Variant::FromString(index)));
    }
    Variant description = TRY(describe(RENDER_ARGUMENT(reporttype1), value));
    TRY(WriteColumnDescription<kParameters>(arguments, cells, link_clause, columns[position - 1],
                                            description, first, grouped, enable_link && analysis,
                                            function));
  }
  return Variant();
}

// renderStoredRowDescriptions: as renderRowDescriptions, with the descriptions read from the
// stored description text report_descr (by column name) and plainer links.
Result<Variant> ReportRender::renderStoredRowDescriptions(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRenderStoredRowDescriptionsParameters;
  DescriptionCells cells = TRY(OpenDescriptionCells<kParameters>(arguments));
  InOutArgument link_clause(arguments, RENDER_POSITION(linkClause));
  InOutArgument stored(arguments, RENDER_POSITION(report_descr));
  bool grouped = TRY(render_values::IsTrue(RENDER_ARGUMENT(isGrouped)));
  bool analysis = TRY(render_values::IsTrue(RENDER_ARGUMENT(config_analysis)));
  Describer describe{cells.uc, RENDER_ARGUMENT(week_start_day), RENDER_ARGUMENT(year_start_month),
                     RENDER_ARGUMENT(year_offset)};
  // The description of a column read from the stored text (which getDescriptionField may cut).
  auto stored_description = [&](const VARIANT& column) -> Result<Variant> {
    Variant field =
        TRY(cells.uc.Call(UtilityMember::getDescriptionField, {stored.Reference(), column}));
    return describe(RENDER_ARGUMENT(reporttype1), field);
  };
  // 1.
  bool enable_link = TRY(FillRowKeys<kParameters>(arguments, cells.uc, link_clause));
  // 2. The key cell, linked only when the row has no first description.
  if (TRY(render_values::IsTrue(RENDER_ARGUMENT(hasKeyField))) &&
      TRY(render_values::IsTrue(RENDER_ARGUMENT(hasDistinctKeyField))) &&
      !render_values::IsEmptyValue(RENDER_ARGUMENT(keyDescription)) &&
      !TRY(render_values::Equals(RENDER_ARGUMENT(reporttype1), kDetailReport))) {
    TRY(cells.Open(html::kDescriptionCellExport));
    Variant first_column = TRY(cells.uc.Call(UtilityMember::getFirstCollectionKey,
                                             {RENDER_ARGUMENT(suppDescriptionFields)}));
    Variant first_description = TRY(stored_description(first_column));
    const VARIANT& key = RENDER_ARGUMENT(key);
    if (TRY(render_values::IsBlank(key))) {
      TRY(cells.out.Write(html::kEmpty));
    } else {
      bool anchored = false;
      if (cells.drill_down) {
        if (grouped) TRY(ClearGroupVariable(cells.uc, link_clause));
        Variant fixed = TRY(cells.uc.Call(UtilityMember::nullFix, {first_description}));
        if (render_values::IsEmptyValue(fixed)) {
          TRY(cells.WriteAnchor(AnchorForm::Plain, html::kDrillDown, link_clause.value()));
          anchored = true;
        }
      }
      TRY(cells.out.Write(html_safety::Text(TRY(render_values::TextOf(key)))));
      if (anchored) TRY(cells.out.Write(html::kAnchorEnd));
      TRY(cells.WriteMarker(RENDER_ARGUMENT(linkurl_key), key,
                            RENDER_ARGUMENT(enable_nondrilldown_hyperlinks)));
    }
    TRY(cells.out.Write(html::kCellEnd));
  }
  // 3. The description cells.
  std::vector<Variant> columns = TRY(report_data::KeysOf(RENDER_ARGUMENT(suppDescriptionFields)));
  for (size_t position = 1; position <= columns.size(); ++position) {
    bool first = position == 1;
    const VARIANT& column = columns[position - 1];
    Variant description = TRY(stored_description(column));
    TRY(WriteColumnDescription<kParameters>(arguments, cells, link_clause, column, description,
                                            first, grouped, enable_link && analysis,
                                            html::kDrillDown));
  }
  return Variant();
}

// renderGroupRowDescriptions: the group header cells: the group key's description and one
// cell per group description column. Updates linkClause (and keyField, as getEnableLink does).
Result<Variant> ReportRender::renderGroupRowDescriptions(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRenderGroupRowDescriptionsParameters;
  DescriptionCells cells = TRY(OpenDescriptionCells<kParameters>(arguments));
  InOutArgument link_clause(arguments, RENDER_POSITION(linkClause));
  InOutArgument key_field(arguments, RENDER_POSITION(keyField));
  bool comparison = TRY(render_values::IsTrue(RENDER_ARGUMENT(isCompare)));
  std::u16string function(html::kDrillDown);
  function.append(TRY(render_values::TextOf(RENDER_ARGUMENT(methodSuffix))));
  // 1. The group's key goes into the clause: from the group key itself in a comparison
  // report, else from the row.
  Variant enable_link = Variant::FromBool(true);
  Variant enable_link_reference = Variant::RefTo(&enable_link);
  Variant grouped = Variant::FromBool(true);
  Variant empty_text = Variant::FromString(u"");
  const VARIANT& rows = comparison ? empty_text : RENDER_ARGUMENT(rowsReport);
  const VARIANT& group_key =
      comparison ? RENDER_ARGUMENT(groupkey) : RENDER_ARGUMENT(keyFieldGroupby_col);
  const VARIANT& row = comparison ? empty_text : RENDER_ARGUMENT(repRowCounter);
  TRY(cells.uc.Call(UtilityMember::getEnableLink,
                    {grouped, rows, group_key, row, link_clause.Reference(),
                     RENDER_ARGUMENT(range_char), RENDER_ARGUMENT(escape_char),
                     RENDER_ARGUMENT(hasKeyField), key_field.Reference(), enable_link_reference}));
  bool linkable = TRY(render_values::IsTrue(enable_link));
  // 2.
  TRY(ClearGroupVariable(cells.uc, link_clause));
  // 3. The group key cell, linked (and bold) when the group has no description columns.
  Describer describe{cells.uc, RENDER_ARGUMENT(week_start_day), RENDER_ARGUMENT(year_start_month),
                     RENDER_ARGUMENT(year_offset)};
  report_data::KeyedItems views(RENDER_ARGUMENT(groupviewDescriptions));
  TRY(cells.Open(html::kDescriptionCellExport));
  Variant description = TRY(describe(RENDER_ARGUMENT(groupby), RENDER_ARGUMENT(groupkey)));
  if (TRY(render_values::IsBlank(description))) {
    TRY(cells.out.Write(html::kEmpty));
  } else if (linkable && cells.drill_down && TRY(views.Count()) == 0) {
    TRY(cells.WriteAnchor(AnchorForm::ColouredHref, function, link_clause.value()));
    std::u16string text = html_safety::Text(TRY(render_values::TextOf(description)));
    TRY(cells.out.Write({html::kBoldOpen, text, html::kBoldClose}));
    TRY(cells.out.Write(html::kAnchorEnd));
  } else {
    TRY(cells.out.Write(html_safety::Text(TRY(render_values::TextOf(description)))));
  }
  TRY(cells.out.Write(html::kCellEnd));
  // 4. The group's description columns; the first may link.
  std::vector<Variant> columns = TRY(views.Keys());
  for (size_t position = 1; position <= columns.size(); ++position) {
    TRY(cells.Open(html::kDescriptionCellExport));
    Variant value;
    if (comparison) {
      value = TRY(report_data::ItemAt(RENDER_ARGUMENT(objGroupbyDescrs1), RENDER_ARGUMENT(val)));
    } else {
      Variant column = TRY(report_data::ItemAt(
          RENDER_ARGUMENT(suppDescriptionFieldsGroupby_sqlCols), static_cast<int32_t>(position)));
      value = TRY(RowCell(RENDER_ARGUMENT(rowsReport), column, RENDER_ARGUMENT(repRowCounter)));
    }
    Variant text = TRY(describe(RENDER_ARGUMENT(groupby), value));
    bool first = position == 1;
    bool link = first && cells.drill_down && linkable && !TRY(render_values::IsBlank(text));
    if (link) TRY(cells.WriteAnchor(AnchorForm::ColouredHref, function, link_clause.value()));
    TRY(cells.WriteDescription(text, first && cells.drill_down));
    if (link) TRY(cells.out.Write(html::kAnchorEnd));
    TRY(cells.out.Write(html::kCellEnd));
  }
  return Variant();
}

// rowsGroupDescriptions: appends the group's descriptions to groupdescr, ", " between them,
// and " - " + groupkey when the group is no date period and shows another field first.
Result<Variant> ReportRender::rowsGroupDescriptions(const DispatchArguments& arguments) {
  static constexpr const std::u16string_view& kParameters =
      render_signatures::kRowsGroupDescriptionsParameters;
  RenderUtilities uc(RENDER_ARGUMENT(uc));
  InOutArgument text(arguments, RENDER_POSITION(groupdescr));
  Describer describe{uc, RENDER_ARGUMENT(week_start_day), RENDER_ARGUMENT(year_start_month),
                     RENDER_ARGUMENT(year_offset)};
  auto append = [&](const VARIANT& piece) -> Result<void> {
    return text.Set(TRY(Concatenate(text.value(), piece)));
  };
  std::vector<Variant> columns =
      TRY(report_data::KeysOf(RENDER_ARGUMENT(suppDescriptionFieldsGroupby)));
  for (size_t position = 1; position <= columns.size(); ++position) {
    if (position > 1) TRY(append(Variant::FromString(kListSeparator)));
    Variant column = TRY(report_data::ItemAt(RENDER_ARGUMENT(suppDescriptionFieldsGroupby_sqlCols),
                                             static_cast<int32_t>(position)));
    Variant value =
        TRY(RowCell(RENDER_ARGUMENT(rowsReport), column, RENDER_ARGUMENT(repRowCounter)));
    TRY(append(TRY(describe(RENDER_ARGUMENT(groupby), value))));
  }
  Variant date_report = TRY(uc.Call(UtilityMember::isDateReport, {RENDER_ARGUMENT(groupby)}));
  if (!TRY(render_values::IsTrue(date_report)) &&
      TRY(Differs(RENDER_ARGUMENT(firstDescriptionFieldGroupby),
                  RENDER_ARGUMENT(groupFieldGroupby)))) {
    TRY(append(Variant::FromString(kGroupKeySeparator)));
    TRY(append(RENDER_ARGUMENT(groupkey)));
  }
  return Variant();
}
