// ReportRender's pivot members, called by name as a page calls them: the cells of one heading
// (renderPivotQuantities), a row's total and "other" columns, the "other" row, and the group
// and grand totals.
#include "tests/tabulix32/render_call.h"

namespace {

using namespace render_test;

Variant Element(const Variant& array, int32_t index) {
  return SafeArrayGetElement(array.parray, &index, 1).value();
}

// Row K1 of a pivot on region: units (12 of the column's 48, in blue, with its share) and
// margin (30 over 120); per-quantity settings in arrays indexed from 1.
class Pivot : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    Arg(u"numPivotQuantities") = I(2);
    Arg(u"pivotQuantities") = Array({Variant(), S(u"units"), S(u"margin")});
    Arg(u"pivotQuantitiesFormat") = Array({Variant(), S(u"number"), S(u"number")});
    Arg(u"pivotQuantitiesHasDenom") = Array({Variant(), B(false), B(true)});
    Arg(u"pivotQuantitiesFont") = Array({Variant(), S(u"color=#0000FF"), S(u"size=1")});
    Arg(u"pivotQuantities_sqlColumn") = Array({Variant(), I(1), I(2)});
    Arg(u"pivotQuantitiesDnm_sqlColumn") = Array({Variant(), Variant(), I(3)});
    Arg(u"smallFont") = S(u"class=s");
    Arg(u"pivotqty") = S(u"");
    Arg(u"rowsReport") = Rows({{S(u"K1"), I(12), I(30), I(120)}});
    Arg(u"repRowCounter") = I(0);
    Arg(u"keyFieldSQLColumn") = I(0);
    Arg(u"cache_schemaReportQuantities") = Dict({{S(u"units|numdigits"), I(0)},
                                                 {S(u"margin|numdigits"), I(1)},
                                                 {S(u"units|showPercentage"), S(u"Yes")}});
    Arg(u"enableLinkGrid") = B(true);
    Arg(u"linkClause") = S(u"%key%=K1");
    Arg(u"columnValue") = S(u"North");
    Arg(u"cv0") = S(u"North");
    Arg(u"columnTotal") = Array({Variant(), Dict({{S(u"north"), I(48)}, {S(u"other"), I(40)}}),
                                 Dict({{S(u"north"), I(90)}})});
    Arg(u"columnTotalDenom") = Array({Variant(), Dict(), Dict({{S(u"North"), I(300)}})});
    Arg(u"rowTotal") = Array({Variant(), I(0), I(0)});
    Arg(u"rowTotalDenom") = Array({Variant(), I(0), I(0)});
    Arg(u"grandTotal") = Array({Variant(), I(100), I(200)});
    Arg(u"grandTotalDenom") = Array({Variant(), I(0), I(0)});
    Arg(u"showOtherRow") = B(false);
    Arg(u"newGroup") = B(false);
  }
  void SingleQuantity() {
    Arg(u"numPivotQuantities") = I(1);
    Arg(u"pivotQuantities") = Array({Variant(), S(u"units")});
  }
};

TEST_F(Pivot, StackedQuantitiesShareOneCellAndTheFirstCarriesTheLink) {
  Render(u"renderPivotQuantities");
  EXPECT_EQ(Html(),
            u"<td class=br align=right><a style=\"color:#0000FF;\" "
            u"href=\"javascript:drlGrid('%key%=K1', '', '')\"><font color=#0000FF class=s>12"
            u"</font></a><br><font color=#0000FF class=s>25.0%</font>"
            u"<br><font size=1 class=s>0.3</font></td>");
}

TEST_F(Pivot, SideBySideQuantitiesHaveACellAndALinkEach) {
  Arg(u"pivotqty") = S(u"allh");
  Render(u"renderPivotQuantities");
  EXPECT_EQ(Html(),
            u"<td class=br align=right><a style=\"color:#0000FF;\" "
            u"href=\"javascript:drlGrid('%key%=K1', '', '')\"><font color=#0000FF class=s>12"
            u"</font></a><br><font color=#0000FF class=s>25.0%</font></td>"
            u"<td class=br align=right><a style=\"color:#000000;\" "
            u"href=\"javascript:drlGrid('%key%=K1', '', '')\"><font size=1 class=s>0.3</font>"
            u"</a></td>");
}

TEST_F(Pivot, SingleQuantityHasNoFontElement) {
  SingleQuantity();
  Render(u"renderPivotQuantities");
  EXPECT_EQ(Html(),
            u"<td class=br align=right><a style=\"color:#000000;\" "
            u"href=\"javascript:drlGrid('%key%=K1', '', '')\">12</a><br>25.0%</td>");
}

TEST_F(Pivot, ExportCellsAreUnlinkedWithThePreCellStyle) {
  SingleQuantity();
  Arg(u"enable_drilldown_hyperlinks") = B(false);
  Render(u"renderPivotQuantities");
  EXPECT_EQ(Html(),
            u"<td class=br_pivot align=right" + std::u16string(kStyle) + u">12<br>25.0%</td>");
}

TEST_F(Pivot, RowWithoutAKeyOrGridLinksIsUnlinked) {
  SingleQuantity();
  Arg(u"rowsReport") = Rows({{Variant::Null(), I(12), I(30), I(120)}});
  Render(u"renderPivotQuantities");
  EXPECT_EQ(Html(), u"<td class=br align=right>12<br>25.0%</td>");
}

TEST_F(Pivot, ValuesJoinTheRowAndGrandTotalsAlsoWhenRowsAreNotWritten) {
  Arg(u"report_rows") = S(u"No");
  Render(u"renderPivotQuantities");
  EXPECT_EQ(Html(), u"");
  EXPECT_EQ(ToDouble(Element(Arg(u"rowTotal"), 1)).value(), 12);
  EXPECT_EQ(ToDouble(Element(Arg(u"rowTotal"), 2)).value(), 30);
  EXPECT_EQ(ToDouble(Element(Arg(u"rowTotalDenom"), 2)).value(), 120);
  EXPECT_EQ(ToDouble(Element(Arg(u"grandTotal"), 1)).value(), 112);
}

TEST_F(Pivot, DateQuantityEmptiesItsTotals) {
  SetItem(Arg(u"cache_schemaReportQuantities"), u"units|showPercentage", S(u""));
  Arg(u"pivotQuantitiesFormat") = Array({Variant(), S(u"date"), S(u"number")});
  Render(u"renderPivotQuantities");
  EXPECT_EQ(Element(Arg(u"rowTotal"), 1).StringView(), u"");
  EXPECT_EQ(Element(Arg(u"grandTotal"), 1).StringView(), u"");
}

TEST_F(Pivot, NewGroupRestartsTheGroupTotals) {
  Arg(u"isGrouped") = B(true);
  Arg(u"newGroup") = B(true);
  Arg(u"columnDesc") = Dict({{S(u"North"), S(u"")}, {S(u"South"), S(u"")}});
  Arg(u"groupTotal") =
      Array({Variant(), Dict({{S(u"North"), I(5)}, {S(u"South"), I(7)}, {S(u"other_K9"), I(3)}}),
             Dict()});
  Arg(u"groupTotalDenom") = Array({Variant(), Dict(), Dict()});
  Arg(u"groupGrandTotal") = Array({Variant(), I(50), I(60)});
  Arg(u"groupGrandTotalDenom") = Array({Variant(), I(0), I(9)});
  Render(u"renderPivotQuantities");
  Variant units = Element(Arg(u"groupTotal"), 1);
  EXPECT_EQ(ToDouble(ItemOf(units, u"North")).value(), 12);
  EXPECT_EQ(ToDouble(ItemOf(units, u"South")).value(), 0);
  EXPECT_EQ(ToDouble(ItemOf(units, u"other_K9")).value(), 0);
  EXPECT_EQ(ToDouble(Element(Arg(u"groupGrandTotal"), 1)).value(), 12);
  EXPECT_EQ(ToDouble(Element(Arg(u"groupGrandTotalDenom"), 2)).value(), 120);
  EXPECT_FALSE(ToBool(Arg(u"newGroup")).value());
}

TEST_F(Pivot, PercentageFormatIsShownAsAPercentWithoutShare) {
  SingleQuantity();
  Arg(u"pivotQuantitiesFormat") = Array({Variant(), S(u"percentage")});
  Arg(u"rowsReport") = Rows({{S(u"K1"), D(0.25)}});
  Render(u"renderPivotQuantities");
  EXPECT_EQ(Html(),
            u"<td class=br align=right><a style=\"color:#000000;\" "
            u"href=\"javascript:drlGrid('%key%=K1', '', '')\">25%</a></td>");
}

TEST_F(Pivot, ShareCountsTheOtherRowsOfTheColumn) {
  SingleQuantity();
  Arg(u"showOtherRow") = B(true);
  Arg(u"otherPivotRow") = Dict({{S(u"key_North|units"), I(12)}});
  Render(u"renderPivotQuantities");
  EXPECT_NE(Html().find(u"<br>20.0%</td>"), std::u16string::npos) << Narrow(Html());
}

TEST_F(Pivot, TotalColumnKeepsLinesLevelAndEndsTheRow) {
  Arg(u"rowTotal") = Array({Variant(), I(12), I(30)});
  Arg(u"rowTotalDenom") = Array({Variant(), Variant(), I(120)});
  Render(u"analysis_pivot_nonfirstrow");
  EXPECT_EQ(Html(),
            u"<td class=br align=right><font color=#0000FF  class=s>12</font><br><br>"
            u"<font size=1  class=s>0.3</font></td></tr>");
}

TEST_F(Pivot, OtherColumnLinksToTheRowsOtherColumns) {
  Arg(u"lkey") = S(u"K1");
  Arg(u"otherPivotCol") = Dict({{S(u"other_K1|units"), I(4)}, {S(u"other_K1|margin"), I(6)}});
  Arg(u"otherPivotCol_dnm") = Dict({{S(u"other_K1|margin"), I(20)}});
  Render(u"pivot_OtherCol");
  EXPECT_EQ(Html(),
            u"<td class=br align=right><a style=\"color:#0000FF;\" href=\"javascript:drlGrid("
            u"'%otherrow%=1&%key%=K1&%drl_val%=2', '', '')\"><font color=#0000FF  class=s>4"
            u"</font></a><br><font color=#0000FF  class=s>10.0%</font>"
            u"<br><font size=1  class=s>0.3</font></td>");
  EXPECT_EQ(ToDouble(Element(Arg(u"rowTotal"), 1)).value(), 4);
  EXPECT_EQ(ToDouble(Element(Arg(u"rowTotalDenom"), 2)).value(), 20);
}

TEST_F(Pivot, OtherColumnWritesNothingForAbsentValues) {
  SingleQuantity();
  Arg(u"lkey") = S(u"K1");
  Arg(u"otherPivotCol") = Dict();
  Render(u"pivot_OtherCol");
  EXPECT_EQ(Html(), u"<td class=br align=right></td>");
}

TEST_F(Pivot, OtherRowLinksEachHeadingsOtherRowsAndAddsToTheColumn) {
  SingleQuantity();
  Arg(u"Class") = S(u"po");
  Arg(u"rowTitle") = S(u"Other");
  Arg(u"descriptionColspan") = I(2);
  Arg(u"arHeadings") = Array({S(u"key_North"), S(u"key_South")});
  Arg(u"otherPivotRow") = Dict({{S(u"key_North|units"), I(5)}});
  Arg(u"columnTotal") = Array({Variant(), Dict({{S(u"key_North"), I(45)}})});
  Arg(u"showOtherCol") = B(false);
  Arg(u"pivot_column") = S(u"No");
  Render(u"pivot_OtherRow");
  EXPECT_EQ(Html(),
            u"<tr class=po groupId=\"otherrow\"><td class=br align=\"right\" colspan=2>"
            u"<a style=\"color:#000000;\"" +
                std::u16string(kHandlers) +
                u"href=\"javascript:drlRow('%otherrow%=1', '', '')\"><b>Other</b></a></td>"
                u"<td class=br align=right><a style=\"color:#000000;\" href=\"javascript:drlGrid("
                u"'%otherrow%=1&%key2%=North&%drl_val%=1', '', '')\">5</a><br>10.0%</td>"
                u"<td class=br align=right></td></tr>");
  EXPECT_EQ(ToDouble(ItemOf(Element(Arg(u"columnTotal"), 1), u"key_North")).value(), 50);
  EXPECT_EQ(ToDouble(Element(Arg(u"rowTotal"), 1)).value(), 5);
}

TEST_F(Pivot, GroupTotalsShowHeadingsOtherColumnAndTotal) {
  SingleQuantity();
  Arg(u"isGrouped") = B(true);
  Arg(u"group_print_style") = S(u"");
  Arg(u"totalTitle") = S(u"Total ");
  Arg(u"groupdescr") = S(u"G1");
  Arg(u"descriptionColspan") = I(2);
  Arg(u"arHeadings") = Array({S(u"key_North")});
  Arg(u"groupTotal") = Array({Variant(), Dict({{S(u"key_North"), I(12)}, {S(u"other_K1"), I(4)}})});
  Arg(u"columnTotal") = Array({Variant(), Dict({{S(u"key_North"), I(48)}, {S(u"other"), I(40)}})});
  Arg(u"showOtherCol") = B(true);
  Arg(u"pivot_column") = S(u"Yes");
  Arg(u"groupGrandTotal") = Array({Variant(), I(16)});
  Render(u"renderPivotGroupedTotals");
  EXPECT_EQ(Html(),
            u"<tr class=gt  groupId=\"grouptotal\"><td class=br align=right colspan=2>"
            u"<b><i>Total (G1)</i></b></td><td class=tf align=right>12<br>25.0%</td>"
            u"<td class=tf align=right>4<br>10.0%</td><td class=tf align=right>16<br></td>"
            u"</tr>");
}

TEST_F(Pivot, GrandTotalsShowColumnTotalsWithoutShares) {
  SingleQuantity();
  Arg(u"totalTitle") = S(u"Grand ");
  Arg(u"descriptionColspan") = I(2);
  Arg(u"arHeadings") = Array({S(u"north")});
  Arg(u"showOtherCol") = B(true);
  Arg(u"pivot_column") = S(u"Yes");
  Arg(u"showLastRowTotal") = B(true);
  Render(u"utilities_showPivotGrandTotals");
  EXPECT_EQ(Html(),
            u"<tr class=tot groupId=\"grandtotal\"><td class=tf align=left colspan=2>"
            u"<b>Grand </b></td><td class=tf align=right>48</td>"
            u"<td class=tf align=right>40</td><td class=tf align=right>100</td></tr>");
  Clear();
  Arg(u"enable_drilldown_hyperlinks") = B(false);
  Arg(u"showLastRowTotal") = B(false);
  Render(u"utilities_showPivotGrandTotals");
  std::u16string style(kStyle);
  EXPECT_EQ(Html(), u"<tr class=tot groupId=\"grandtotal\"><td class=tf align=left colspan=2" +
                        style + u"><b>Grand </b></td><td class=tf align=right" + style +
                        u">48</td><td class=tf align=right" + style + u">40</td></tr>");
}

}  // namespace
