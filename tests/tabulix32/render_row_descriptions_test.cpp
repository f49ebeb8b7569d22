// ReportRender's description cells: renderRowDescriptions, renderStoredRowDescriptions,
// renderGroupRowDescriptions and rowsGroupDescriptions, called by name as a page calls them.
#include "tests/tabulix32/render_call.h"

namespace {

using namespace render_test;

constexpr std::u16string_view kLinkOpen =
    u"<a style=\"color:#000000;\" onMouseOver=\"mOver(this,'#FF0000');\" "
    u"onMouseOut=\"mOut(this,1);\"";
constexpr std::u16string_view kIcon =
    u"<IMG title=\"Direct to External Link\" src=\"images/arrows_blue_060.gif\" border=\"0\" "
    u"width=\"9\" height=\"10\"></a>";

// Row 0 of a customer report: key K1 in column 0, group G1 in column 1, name Smith and city
// Leeds in columns 2 and 3; the link clause names the key.
class RowDescriptions : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    Arg(u"rowsReport") = Rows({{S(u"K1"), S(u"G1"), S(u"Smith"), S(u"Leeds")}});
    Arg(u"repRowCounter") = I(0);
    Arg(u"keyFieldSQLColumn") = I(0);
    Arg(u"keyFieldGroupbySQLColumn") = I(1);
    Arg(u"linkClause") = S(u"%key%=&groupby=region");
    Arg(u"hasKeyField") = B(true);
    Arg(u"hasDistinctKeyField") = B(true);
    Arg(u"keyDescription") = S(u"Customer");
    Arg(u"descriptionField") = S(u"name");
    Arg(u"groupField") = S(u"region");
    Arg(u"key") = S(u"K1");
    Arg(u"methodSuffix") = S(u"");
    Arg(u"linkurl_key") = S(u"");
    Arg(u"suppDescriptionFields") = Dict({{S(u"name"), S(u"")}, {S(u"city"), S(u"")}});
    Arg(u"objDField_s") = Dict({{S(u"17"), S(u"Smith")}, {S(u"172_descr"), S(u"Leeds")}});
    Arg(u"i_descr") = S(u"17");
    Arg(u"linkUrlDescr") = Dict();
  }
  // The key cell and two description cells, linked to `clause`, as drill-down mode writes them.
  std::u16string LinkedRow(std::u16string_view clause) {
    std::u16string call = Join({u"javascript:drl('", clause, u"', '', '')\">"});
    return Join({u"<td class=br>", kLinkOpen, u" href=\"", call, u"<b>K1</b></a></td>",
                 u"<td class=br>", kLinkOpen, u"href=\"", call, u"<b>Smith</b></a></td>",
                 u"<td class=br><b>Leeds</b></td>"});
  }
};

TEST_F(RowDescriptions, DrillDownRowLinksTheKeyAndTheFirstDescription) {
  Render(u"renderRowDescriptions");
  EXPECT_EQ(Html(), LinkedRow(u"%key%=K1&groupby=region"));
  EXPECT_EQ(TextOf(u"linkClause"), u"%key%=K1&groupby=region");
}

TEST_F(RowDescriptions, MethodSuffixNamesTheScriptFunction) {
  Arg(u"methodSuffix") = S(u"Detail");
  Render(u"renderRowDescriptions");
  EXPECT_NE(Html().find(u"href=\"javascript:drlDetail('"), std::u16string::npos);
  EXPECT_EQ(Html().find(u"javascript:drl('"), std::u16string::npos);
}

TEST_F(RowDescriptions, WithoutDrillDownTextsArePlainAndUnlinked) {
  Arg(u"enable_drilldown_hyperlinks") = B(false);
  Render(u"renderRowDescriptions");
  EXPECT_EQ(Html(), u"<td class=br>K1</td><td class=br>Smith</td><td class=br>Leeds</td>");
}

TEST_F(RowDescriptions, ExportCellsCarryTheTextHintAndStyle) {
  Arg(u"enable_nondrilldown_hyperlinks") = B(false);
  Arg(u"enable_drilldown_hyperlinks") = B(false);
  Render(u"renderRowDescriptions");
  std::u16string open = Join({u"<td style=\"mso-number-format:\\@\" class=br ", kStyle, u">"});
  EXPECT_EQ(Html(), open + u"K1</td>" + open + u"Smith</td>" + open + u"Leeds</td>");
}

TEST_F(RowDescriptions, GroupedRowFillsTheGroupKeyAndClearsTheGroupVariable) {
  Arg(u"isGrouped") = B(true);
  Arg(u"linkClause") = S(u"groupby=region&%keygroupby%=&%key%=");
  Render(u"renderRowDescriptions");
  EXPECT_EQ(Html(), LinkedRow(u"groupby=&%keygroupby%=G1&%key%=K1"));
  EXPECT_EQ(TextOf(u"linkClause"), u"groupby=&%keygroupby%=G1&%key%=K1");
}

TEST_F(RowDescriptions, KeyCellOnlyWhenTheKeyColumnIsShown) {
  Arg(u"groupField") = S(u"name");  // the key column is the group column
  Render(u"renderRowDescriptions");
  EXPECT_TRUE(Html().starts_with(Join({u"<td class=br>", kLinkOpen, u"href="}))) << Narrow(Html());
  Clear();
  Arg(u"groupField") = S(u"region");
  Arg(u"keyDescription") = S(u"");
  Render(u"renderRowDescriptions");
  EXPECT_EQ(Html().find(u"<b>K1</b>"), std::u16string::npos);
}

TEST_F(RowDescriptions, BlankKeyIsAnEmptyCell) {
  Arg(u"key") = S(u"   ");
  Render(u"renderRowDescriptions");
  EXPECT_TRUE(Html().starts_with(u"<td class=br>&nbsp;</td>")) << Narrow(Html());
}

TEST_F(RowDescriptions, MissingDescriptionIsAPlaceholder) {
  SetItem(Arg(u"objDField_s"), u"17", Variant::Null());
  SetItem(Arg(u"objDField_s"), u"172_descr", S(u"<NULL>"));
  Render(u"renderRowDescriptions");
  EXPECT_TRUE(Html().ends_with(u"<td class=br><b>.</b></td><td class=br><b>.</b></td>"))
      << Narrow(Html());
  Clear();
  Arg(u"enable_drilldown_hyperlinks") = B(false);
  Render(u"renderRowDescriptions");
  EXPECT_TRUE(Html().ends_with(u"<td class=br>.</td><td class=br>.</td>")) << Narrow(Html());
}

TEST_F(RowDescriptions, DescriptionsOfDatePeriodsAreTheirLabels) {
  Arg(u"reporttype1") = S(u"orderdate_month");
  SetItem(Arg(u"objDField_s"), u"17", I(24134));
  Render(u"renderRowDescriptions");
  EXPECT_NE(Html().find(u"<b>Mar 2011</b></a></td>"), std::u16string::npos) << Narrow(Html());
}

TEST_F(RowDescriptions, LinkTemplatesAddTheExternalLinkIcon) {
  Arg(u"linkUrlDescr") = Dict({{S(u"city"), S(u"+map.asp?c=%city%")}});
  Render(u"renderRowDescriptions");
  EXPECT_TRUE(
      Html().ends_with(Join({u"<td class=br><b>Leeds</b>&nbsp;&nbsp;<a "
                             u"href=\"map.asp?c=Leeds\" target=_blank>",
                             kIcon, u"</td>"})))
      << Narrow(Html());
}

TEST_F(RowDescriptions, KeyAndDescriptionsCannotOpenMarkup) {
  Arg(u"key") = S(u"<img src=x>");
  SetItem(Arg(u"objDField_s"), u"17", S(u"<script>alert(1)</script>"));
  Render(u"renderRowDescriptions");
  EXPECT_EQ(Html().find(u"<img"), std::u16string::npos) << Narrow(Html());
  EXPECT_EQ(Html().find(u"<script"), std::u16string::npos) << Narrow(Html());
  EXPECT_NE(Html().find(u"<b>&lt;script>alert(1)&lt;/script></b>"), std::u16string::npos);
}

TEST_F(RowDescriptions, ClauseCannotBreakOutOfTheScriptStringOrTheAttribute) {
  Arg(u"linkClause") = S(u"%key%=&q=a'b\"c%27d&#39;e&amp;f");
  Render(u"renderRowDescriptions");
  EXPECT_NE(Html().find(u"drl('%key%=K1&q=a*$*b%22c%2A%24%2Ad&amp;#39;e&amp;amp;f', '', '')"),
            std::u16string::npos)
      << Narrow(Html());
}

TEST_F(RowDescriptions, ApostropheInTheRowKeyReachesTheLinkSubstituted) {
  Arg(u"rowsReport") = Rows({{S(u"O'Neil"), S(u"G1"), S(u"Smith"), S(u"Leeds")}});
  Render(u"renderRowDescriptions");
  EXPECT_EQ(TextOf(u"linkClause"), u"%key%=O%2A%24%2ANeil&groupby=region");
}

// --- renderStoredRowDescriptions --------------------------------------------------------------

TEST_F(RowDescriptions, StoredDescriptionsComeFromTheDescriptionText) {
  Arg(u"report_descr") = S(u"`name`Smith``city`Leeds`");
  Render(u"renderStoredRowDescriptions");
  EXPECT_EQ(Html(), Join({u"<td class=br>K1</td><td class=br>", kLinkOpen,
                          u"href=\"javascript:drl('%key%=K1&groupby=region', '', '')\">"
                          u"<b>Smith</b></a></td><td class=br><b>Leeds</b></td>"}));
}

TEST_F(RowDescriptions, StoredKeyLinksWhenTheRowHasNoFirstDescription) {
  Arg(u"report_descr") = S(u"`name``city`Leeds`");
  Render(u"renderStoredRowDescriptions");
  EXPECT_EQ(Html(),
            u"<td class=br><a href=\"javascript:drl('%key%=K1&groupby=region', '', "
            u"'')\">K1</a></td><td class=br><b>.</b></td><td class=br><b>Leeds</b></td>");
}

TEST_F(RowDescriptions, StoredKeyCellNeedsADistinctKeyAndNoDetailReport) {
  Arg(u"report_descr") = S(u"`name`Smith``city`Leeds`");
  Arg(u"reporttype1") = S(u"detail");
  Render(u"renderStoredRowDescriptions");
  EXPECT_FALSE(Html().starts_with(u"<td class=br>K1</td>"));
  Clear();
  Arg(u"reporttype1") = S(u"");
  Arg(u"hasDistinctKeyField") = B(false);
  Render(u"renderStoredRowDescriptions");
  EXPECT_FALSE(Html().starts_with(u"<td class=br>K1</td>"));
}

TEST_F(RowDescriptions, StoredExportCellsHaveNoClass) {
  Arg(u"report_descr") = S(u"`name`Smith``city`Leeds`");
  Arg(u"enable_nondrilldown_hyperlinks") = B(false);
  Arg(u"enable_drilldown_hyperlinks") = B(false);
  Render(u"renderStoredRowDescriptions");
  std::u16string key_open = Join({u"<td style=\"mso-number-format:\\@\"", kStyle, u">"});
  EXPECT_TRUE(Html().starts_with(key_open + u"K1</td>")) << Narrow(Html());
}

// --- renderGroupRowDescriptions ---------------------------------------------------------------

class GroupDescriptions : public RowDescriptions {
 protected:
  void SetUp() override {
    RowDescriptions::SetUp();
    Arg(u"isCompare") = B(false);
    Arg(u"groupkey") = S(u"24134");
    Arg(u"groupby") = S(u"orderdate_month");
    Arg(u"keyFieldGroupby_col") = I(1);
    Arg(u"keyField") = S(u"K1");
    Arg(u"linkClause") = S(u"groupby=region&%keygroupby%=&%key%=");
    Arg(u"groupviewDescriptions") = Dict();
    Arg(u"suppDescriptionFieldsGroupby_sqlCols") = Dict({{I(1), I(2)}});
  }
};

TEST_F(GroupDescriptions, GroupWithoutDescriptionColumnsLinksItsKey) {
  Render(u"renderGroupRowDescriptions");
  EXPECT_EQ(Html(), Join({u"<td class=br>", kLinkOpen,
                          u"href=\"javascript:drl('groupby=&%keygroupby%=G1&%key%=K1', '', '')\">"
                          u"<b>Mar 2011</b></a></td>"}));
  EXPECT_EQ(TextOf(u"linkClause"), u"groupby=&%keygroupby%=G1&%key%=K1");
}

TEST_F(GroupDescriptions, FirstDescriptionColumnTakesTheLink) {
  Arg(u"groupviewDescriptions") = Dict({{S(u"name"), S(u"")}});
  Render(u"renderGroupRowDescriptions");
  EXPECT_EQ(Html(), Join({u"<td class=br>Mar 2011</td><td class=br>", kLinkOpen,
                          u"href=\"javascript:drl('groupby=&%keygroupby%=G1&%key%=K1', '', '')\">"
                          u"<b>Smith</b></a></td>"}));
}

TEST_F(GroupDescriptions, ComparisonGroupTakesItsKeyAndStoredDescription) {
  Arg(u"isCompare") = B(true);
  Arg(u"groupviewDescriptions") = Dict({{S(u"name"), S(u"")}});
  Arg(u"objGroupbyDescrs1") = Dict({{S(u"g7"), S(u"North")}});
  Arg(u"val") = S(u"g7");
  Render(u"renderGroupRowDescriptions");
  EXPECT_NE(Html().find(u"drl('groupby=&%keygroupby%=24134&%key%=K1', '', '')\"><b>North</b>"),
            std::u16string::npos)
      << Narrow(Html());
}

TEST_F(GroupDescriptions, BlankGroupDescriptionIsAnEmptyCell) {
  Arg(u"groupby") = S(u"region");
  Arg(u"groupkey") = S(u" ");
  Render(u"renderGroupRowDescriptions");
  EXPECT_EQ(Html(), u"<td class=br>&nbsp;</td>");
}

TEST_F(GroupDescriptions, WithoutAKeyFieldNothingLinks) {
  Arg(u"hasKeyField") = B(false);
  Arg(u"groupviewDescriptions") = Dict({{S(u"name"), S(u"")}});
  Render(u"renderGroupRowDescriptions");
  EXPECT_EQ(Html(), u"<td class=br>Mar 2011</td><td class=br><b>Smith</b></td>");
}

// --- rowsGroupDescriptions --------------------------------------------------------------------

TEST_F(GroupDescriptions, GroupDescriptionTextJoinsTheColumnsAndTheGroupKey) {
  Arg(u"groupdescr") = S(u"Region: ");
  Arg(u"groupby") = S(u"region");
  Arg(u"groupkey") = S(u"G1");
  Arg(u"suppDescriptionFieldsGroupby") = Dict({{S(u"name"), S(u"")}, {S(u"city"), S(u"")}});
  Arg(u"suppDescriptionFieldsGroupby_sqlCols") = Dict({{I(1), I(2)}, {I(2), I(3)}});
  Arg(u"firstDescriptionFieldGroupby") = S(u"name");
  Arg(u"groupFieldGroupby") = S(u"region");
  Render(u"rowsGroupDescriptions");
  EXPECT_EQ(TextOf(u"groupdescr"), u"Region: Smith, Leeds - G1");
  EXPECT_EQ(Html(), u"");
  Arg(u"groupdescr") = S(u"");
  Arg(u"groupby") = S(u"orderdate_month");
  Render(u"rowsGroupDescriptions");
  EXPECT_EQ(TextOf(u"groupdescr"), u"Smith, Leeds");
}

}  // namespace
