// ReportRender's total rows of an ordinary report: renderGroupedTotals (and _fliped),
// analysis_ShowOtherRow (and _flipped), analysis_ShowGrandTotals (and _flipped) and
// rowsAllZeroes, called by name as a page calls them.
#include "tests/tabulix32/render_call.h"

namespace {

using namespace render_test;

// A group of two rows with sales 1334.5 (a sum, of a report total of 5000, shown with its
// share) and margin 40 over 200 (an average of a ratio, of 300 over 1000 in the report).
class Totals : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    Arg(u"reportVisibleQtys") = Dict({{S(u"sales"), S(u"")}, {S(u"margin"), S(u"")}});
    Arg(u"reportKeys") = Dict({{S(u"K1"), S(u"K1")}, {S(u"K2"), S(u"K2")}});
    Arg(u"repTotalTypes") = Dict({{S(u"sales"), S(u"sum")}, {S(u"margin"), S(u"average")}});
    Arg(u"repQtyFormats") = Dict({{S(u"sales"), S(u"number")}, {S(u"margin"), S(u"percent")}});
    Arg(u"repQtyDenoms") = Dict({{S(u"sales"), S(u"")}, {S(u"margin"), S(u"cost")}});
    Arg(u"colTotals") = Dict({{S(u"sales"), D(1334.5)}, {S(u"margin"), I(40)}});
    Arg(u"colTotalDenoms") = Dict({{S(u"margin"), I(200)}});
    Arg(u"grandTotals") = Dict({{S(u"sales"), I(5000)}, {S(u"margin"), I(300)}});
    Arg(u"grandTotalDenoms") = Dict({{S(u"margin"), I(1000)}});
    Arg(u"cache_schemaReportQuantities") = Dict({{S(u"sales|numdigits"), I(2)},
                                                 {S(u"margin|numdigits"), I(1)},
                                                 {S(u"sales|showPercentage"), S(u"Yes")},
                                                 {S(u"margin|quantity_formula_dnm"), S(u"cost")}});
    Arg(u"group_print_style") = S(u"style=\"page-break-after:auto\"");
    Arg(u"numDescriptionColumns") = I(2);
    Arg(u"totalTitle") = S(u"Total ");
    Arg(u"numGroupRows") = I(2);
    Arg(u"groupdescr") = S(u"North");
  }
  Variant& Settings() { return Arg(u"cache_schemaReportQuantities"); }
};

// --- renderGroupedTotals ----------------------------------------------------------------------

TEST_F(Totals, GroupRowHasTitleTotalsAndTheShareOfASum) {
  Render(u"renderGroupedTotals");
  EXPECT_EQ(Html(),
            u"<tr class=gt style=\"page-break-after:auto\" groupId=\"grouptotal\">"
            u"<td class=br colspan=2><b>Total (2) <i>North</i></b></td>"
            u"<td class=br>1,334.50</td><td class=br>26.7%</td>"
            u"<td class=br>20.0%</td></tr>");
}

TEST_F(Totals, ExportGroupRowCarriesTheStyleOnEveryCell) {
  Arg(u"enable_nondrilldown_hyperlinks") = B(false);
  Render(u"renderGroupedTotals");
  EXPECT_EQ(Html(), Join({u"<tr class=gt style=\"page-break-after:auto\" groupId=\"grouptotal\">",
                          u"<td colspan=2", kStyle, u"><b>Total (2) <i>North</i></b></td>", u"<td ",
                          kStyle, u">1,334.50</td><td ", kStyle, u">26.7%</td>", u"<td ", kStyle,
                          u">20.0%</td></tr>"}));
}

TEST_F(Totals, PlainAverageDividesByTheRowCount) {
  SetItem(Arg(u"repTotalTypes"), u"sales", S(u"average"));
  Render(u"renderGroupedTotals");
  // 1334.5 / 2 rows; its share is a ratio of ratios, both 0 without denominators.
  EXPECT_NE(Html().find(u"<td class=br>667.25</td><td class=br>0.0%</td>"), std::u16string::npos)
      << Narrow(Html());
}

TEST_F(Totals, AverageShareIsTheGroupRatioOverTheReportRatio) {
  SetItem(Settings(), u"margin|showPercentage", S(u"Yes"));
  Render(u"renderGroupedTotals");
  // 40/200 = 0.2 of 300/1000 = 0.3.
  EXPECT_NE(Html().find(u"<td class=br>20.0%</td><td class=br>66.7%</td></tr>"),
            std::u16string::npos)
      << Narrow(Html());
}

TEST_F(Totals, PercentageTotalIsAShareWithTheQuantitysDigitsAndNoShareCell) {
  SetItem(Arg(u"repTotalTypes"), u"sales", S(u"percentage"));
  SetItem(Arg(u"colTotalDenoms"), u"sales", I(5338));
  Render(u"renderGroupedTotals");
  EXPECT_NE(Html().find(u"<td class=br>25.00%</td><td class=br>20.0%</td>"), std::u16string::npos)
      << Narrow(Html());
}

TEST_F(Totals, BlankTypeHasEmptyTotalAndEmptyShareOtherTypesNoShare) {
  SetItem(Arg(u"repTotalTypes"), u"sales", S(u" "));
  Render(u"renderGroupedTotals");
  EXPECT_NE(Html().find(u"<td class=br>&nbsp;</td><td class=br>&nbsp;</td><td class=br>20.0%"),
            std::u16string::npos)
      << Narrow(Html());
  Clear();
  SetItem(Arg(u"repTotalTypes"), u"sales", S(u"count"));
  Render(u"renderGroupedTotals");
  EXPECT_NE(Html().find(u"</td><td class=br>&nbsp;</td><td class=br>20.0%"), std::u16string::npos)
      << Narrow(Html());
}

TEST_F(Totals, EmptiedColumnTotalShowsZeroAndNoShareFailure) {
  SetItem(Arg(u"colTotals"), u"margin", S(u""));
  SetItem(Settings(), u"margin|showPercentage", S(u"Yes"));
  Render(u"renderGroupedTotals");
  EXPECT_NE(Html().find(u"<td class=br>0.0%</td><td class=br>0.0%</td></tr>"), std::u16string::npos)
      << Narrow(Html());
}

TEST_F(Totals, TitleTextCannotOpenMarkup) {
  Arg(u"groupdescr") = S(u"<script>x</script> & co");
  Arg(u"numDescriptionColumns") = S(u"2 onclick=x");
  Render(u"renderGroupedTotals");
  EXPECT_NE(Html().find(u"<td class=br colspan=\"2 onclick=x\"><b>Total (2) "
                        u"<i>&lt;script>x&lt;/script> & co</i></b></td>"),
            std::u16string::npos)
      << Narrow(Html());
}

TEST_F(Totals, FlippedGroupCellHasTheShareAfterABreak) {
  Arg(u"qty") = S(u"sales");
  Render(u"renderGroupedTotals_fliped");
  EXPECT_EQ(Html(), u"<td class=br align=right>1,334.50<br>26.7%</td>");
  Clear();
  Arg(u"enable_nondrilldown_hyperlinks") = B(false);
  Render(u"renderGroupedTotals_fliped");
  EXPECT_EQ(Html(), Join({u"<td align=right ", kStyle, u">1,334.50<br>26.7%</td>"}));
}

// --- analysis_ShowGrandTotals -----------------------------------------------------------------

TEST_F(Totals, GrandTotalCellsSpanTheShareColumn) {
  Arg(u"grand_total") = S(u"Yes");
  Arg(u"totalTitle") = S(u"Grand total ");
  Arg(u"numRows") = I(10);
  Render(u"analysis_ShowGrandTotals");
  EXPECT_EQ(Html(),
            u"<tr class=tot groupId=\"grandtotal\">"
            u"<td class=tf align=\"left\" colspan=2><b>Grand total (10)</b></td>"
            u"<td colspan=\"2\" class=tf align=right>5,000.00</td>"
            u"<td colspan=\"1\" class=tf align=right>30.0%</td></tr>");
}

TEST_F(Totals, ExportGrandTotals) {
  Arg(u"grand_total") = S(u"Yes");
  Arg(u"totalTitle") = S(u"Grand total ");
  Arg(u"numRows") = I(10);
  Arg(u"enable_nondrilldown_hyperlinks") = B(false);
  Render(u"analysis_ShowGrandTotals");
  EXPECT_EQ(Html(),
            Join({u"<tr class=tot groupId=\"grandtotal\"><td align=left colspan=2", kStyle,
                  u"><b>Grand total (10)</b></td><td colspan=\"2\" align=right", kStyle,
                  u">5,000.00</td><td colspan=\"1\" align=right", kStyle, u">30.0%</td></tr>"}));
}

TEST_F(Totals, GrandTotalWithoutContentIsAnEmptyRow) {
  Arg(u"grand_total") = S(u"No");
  Render(u"analysis_ShowGrandTotals");
  EXPECT_EQ(Html(), u"<tr class=tot groupId=\"grandtotal\"></tr>");
}

TEST_F(Totals, FlippedGrandTotalHasNoSpanAndNoShare) {
  Arg(u"qty") = S(u"sales");
  Render(u"analysis_GrandTotals_flipped");
  EXPECT_EQ(Html(), u"<td class=br align=right>5,000.00</td>");
}

// --- analysis_ShowOtherRow --------------------------------------------------------------------

class OtherRow : public Totals {
 protected:
  void SetUp() override {
    Totals::SetUp();
    Arg(u"colTotals") = Dict();
    Arg(u"colTotalDenoms") = Dict();
    Arg(u"repQuantity") = Dict({{I(1), S(u"sales")}, {I(2), S(u"margin")}});
    Arg(u"reportQtyOther") = Dict({{S(u"other_sales"), I(250)}, {S(u"other_margin"), I(12)}});
    Arg(u"reportQtyOtherDenom") = Dict({{S(u"other_sales"), S(u"")}, {S(u"other_margin"), I(60)}});
    Arg(u"reportQtyFormat") =
        Dict({{S(u"other_sales"), S(u"number")}, {S(u"other_margin"), S(u"percent")}});
    Arg(u"r_class") = S(u"ro");
    Arg(u"rowTitle") = S(u"Other");
  }
};

TEST_F(OtherRow, InteractiveRowLinksToTheOtherRows) {
  Render(u"analysis_ShowOtherRow");
  EXPECT_EQ(Html(), Join({u"<tr class=ro groupId=\"otherrow\">"
                          u"<td class=br align=\"right\" colspan=2><a style=\"color:#000000;\"",
                          kHandlers,
                          u"href=\"javascript:drl('%otherrow%=1', '', '')\"><b>Other</b></a></td>"
                          u"<td class=br align=right>250.00</td>"
                          u"<td class=br align=right>5.0%</td>"
                          u"<td class=br align=right>20.0%</td></tr>"}));
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotals"), u"sales")).value(), 250);
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotalDenoms"), u"margin")).value(), 60);
}

TEST_F(OtherRow, ExportTitleIsPlainText) {
  Arg(u"enable_nondrilldown_hyperlinks") = B(false);
  Render(u"analysis_ShowOtherRow");
  EXPECT_TRUE(
      Html().starts_with(Join({u"<tr class=ro groupId=\"otherrow\">"
                               u"<td align=right colspan=2",
                               kStyle, u">Other</td><td align=right", kStyle, u">250.00</td>"})))
      << Narrow(Html());
}

TEST_F(OtherRow, GroupedRowReadsTheGroupsOtherValuesAndNamesTheGroupInItsLink) {
  Arg(u"isGrouped") = B(true);
  Arg(u"groupby") = S(u"region");
  Arg(u"groupkey") = S(u"North");
  Arg(u"reportQtyOther") =
      Dict({{S(u"other_sales|grouprow_North"), I(100)}, {S(u"other_margin|grouprow_North"), I(3)}});
  Arg(u"reportQtyOtherDenom") = Dict({{S(u"other_margin|grouprow_North"), I(12)}});
  Arg(u"reportQtyFormat") = Dict({{S(u"other_sales|grouprow_North"), S(u"number")},
                                  {S(u"other_margin|grouprow_North"), S(u"percent")}});
  Render(u"analysis_ShowOtherRow");
  EXPECT_NE(Html().find(u"javascript:drl('%otherrow%=1&%othergroupby%=North', '', '')"),
            std::u16string::npos)
      << Narrow(Html());
  EXPECT_NE(Html().find(u"<td class=br align=right>100.00</td><td class=br align=right>2.0%"
                        u"</td><td class=br align=right>25.0%</td></tr>"),
            std::u16string::npos)
      << Narrow(Html());
}

TEST_F(OtherRow, GroupedByADatePeriodNamesThePeriod) {
  Arg(u"isGrouped") = B(true);
  Arg(u"groupby") = S(u"orderdate_month");
  Arg(u"groupkey") = S(u"24134");
  Render(u"analysis_ShowOtherRow");
  EXPECT_NE(Html().find(u"drl('%otherrow%=1&%other_date%=month&%othergroupby%=24134', '', '')"),
            std::u16string::npos)
      << Narrow(Html());
}

TEST_F(OtherRow, GroupKeyCannotAddPairsOrBreakTheScriptString) {
  Arg(u"isGrouped") = B(true);
  Arg(u"groupby") = S(u"region");
  Arg(u"groupkey") = S(u"R&D's \"best\"");
  Render(u"analysis_ShowOtherRow");
  EXPECT_NE(Html().find(u"drl('%otherrow%=1&%othergroupby%=R%26D*$*s %22best%22', '', '')"),
            std::u16string::npos)
      << Narrow(Html());
}

TEST_F(OtherRow, EmptyValueWithADenominatorIsZero) {
  SetItem(Arg(u"reportQtyOther"), u"other_margin", S(u""));
  SetItem(Settings(), u"margin|showPercentage", S(u"Yes"));
  Render(u"analysis_ShowOtherRow");
  EXPECT_TRUE(
      Html().ends_with(u"<td class=br align=right>0</td><td class=br align=right>0.0%</td></tr>"))
      << Narrow(Html());
}

TEST_F(OtherRow, RowsNotShownWriteNothingButAccumulate) {
  Arg(u"report_rows") = S(u"No");
  Arg(u"colTotals") = Dict({{S(u"sales"), I(1000)}});
  Render(u"analysis_ShowOtherRow");
  EXPECT_EQ(Html(), u"");
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotals"), u"sales")).value(), 1250);
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotals"), u"margin")).value(), 12);
}

TEST_F(OtherRow, ClassThatIsNoPlainTokenIsQuoted) {
  Arg(u"r_class") = S(u"ro x\" onclick=\"y");
  Render(u"analysis_ShowOtherRow");
  EXPECT_TRUE(Html().starts_with(u"<tr class=\"ro x&quot; onclick=&quot;y\" groupId=\"otherrow\">"))
      << Narrow(Html());
}

TEST_F(OtherRow, FlippedCellUsesTheQuantityAtItsPosition) {
  Arg(u"qty") = S(u"sales");
  Arg(u"q_index") = I(1);
  Render(u"analysis_otherRow_flipped");
  EXPECT_EQ(Html(), u"<td class=br align=right>250.00<br>5.0%</td>");
}

// --- rowsAllZeroes ----------------------------------------------------------------------------

class AllZeroes : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    Arg(u"reportVisibleQtys") = Dict({{S(u"sales"), S(u"")}, {S(u"margin"), S(u"")}});
    Arg(u"reportKeys") = Dict({{S(u"K1"), S(u"")}, {S(u"K2"), S(u"")}, {S(u"K3"), S(u"")}});
    Arg(u"reportQtyNum") = Dict({{S(u"K1_sales"), I(0)},
                                 {S(u"K1_margin"), I(0)},
                                 {S(u"K2_sales"), I(0)},
                                 {S(u"K2_margin"), S(u"n/a")},
                                 {S(u"K3_sales"), I(5)},
                                 {S(u"K3_margin"), I(0)}});
    Arg(u"reportHasDenom") = Dict({{S(u"K1_margin"), B(true)}, {S(u"K3_margin"), B(true)}});
    Arg(u"reportQtyDenom") = Dict({{S(u"K1_margin"), I(0)}, {S(u"K3_margin"), Variant::Null()}});
    Arg(u"rowValues") = Dict();
  }
  bool Flag(std::u16string_view row) { return ToBool(ItemOf(Arg(u"rowValues"), row)).value(); }
};

TEST_F(AllZeroes, RowIsAllZeroesOnlyWhenEveryRatioIsZero) {
  Arg(u"hide_zeroes") = S(u"Yes");
  Render(u"rowsAllZeroes");
  EXPECT_TRUE(Flag(u"K1"));   // 0, and 0 over 0
  EXPECT_FALSE(Flag(u"K2"));  // a value that is no number
  EXPECT_FALSE(Flag(u"K3"));  // 5
}

TEST_F(AllZeroes, WithoutHidingEveryRowIsFalse) {
  Arg(u"hide_zeroes") = S(u"yes");
  Render(u"rowsAllZeroes");
  EXPECT_FALSE(Flag(u"K1"));
  EXPECT_EQ(CountOf(Arg(u"rowValues")), 3);
}

TEST_F(AllZeroes, ARowKeyAlreadyPresentFailsAtThatRow) {
  Arg(u"hide_zeroes") = S(u"Yes");
  Arg(u"rowValues") = Dict({{S(u"K2"), B(true)}});
  EXPECT_EQ(FailureNumber(u"rowsAllZeroes"), 457);
  EXPECT_TRUE(Flag(u"K1"));
  EXPECT_FALSE(Has(Arg(u"rowValues"), S(u"K3")));
}

}  // namespace
