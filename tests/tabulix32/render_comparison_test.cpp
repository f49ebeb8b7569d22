// ReportRender's comparison members, called by name as a page calls them: row descriptions,
// value cells of a range and column type, the "other" row, variances, total lines and the
// all-zeroes flags.
#include "tests/tabulix32/render_call.h"

namespace {

using namespace render_test;

// Row K1 of a comparison of range 1 (original) with its comparison: sales 150 against 100,
// margin 30/120 against 20/100; the variances are stored as a page computes them.
class Comparison : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    Arg(u"reportVisibleQtys") = Dict({{S(u"sales"), S(u"")}, {S(u"margin"), S(u"")}});
    Arg(u"comparisonQtys") = Dict({{S(u"sales"), S(u"")}, {S(u"margin"), S(u"")}});
    Arg(u"rep_key") = S(u"K1");
    Arg(u"colType") = S(u"_original");
    Arg(u"rangeID") = S(u"_1");
    Arg(u"tb_view") = S(u"standard");
    Arg(u"qty_row") = S(u"");
    Arg(u"allVals") = Dict({
        {S(u"K1_sales_num_original_1"), I(150)},
        {S(u"K1_sales_dnm_original_1"), S(u"")},
        {S(u"K1_sales_format_original_1"), S(u"number")},
        {S(u"K1_sales_hasDenom_original_1"), B(false)},
        {S(u"K1_margin_num_original_1"), I(30)},
        {S(u"K1_margin_dnm_original_1"), I(120)},
        {S(u"K1_margin_format_original_1"), S(u"percent")},
        {S(u"K1_margin_hasDenom_original_1"), B(true)},
        {S(u"K1_sales_num_comparison_1"), I(100)},
        {S(u"K1_sales_dnm_comparison_1"), S(u"")},
        {S(u"K1_margin_num_comparison_1"), I(20)},
        {S(u"K1_margin_dnm_comparison_1"), I(100)},
        {S(u"K1_sales_num_var_diff_1"), I(50)},
        {S(u"K1_sales_dnm_var_diff_1"), S(u"")},
        {S(u"K1_margin_num_var_diff_1"), D(0.05)},
        {S(u"K1_margin_dnm_var_diff_1"), S(u"")},
    });
    Arg(u"cache_schemaReportQuantities") = Dict({{S(u"sales|numdigits"), I(2)},
                                                 {S(u"margin|numdigits"), I(1)},
                                                 {S(u"margin|quantity_formula_dnm"), S(u"cost")}});
    Arg(u"repQtyFormats") = Dict({{S(u"sales"), S(u"number")}, {S(u"margin"), S(u"percent")}});
    Arg(u"comparisonqty") = S(u"diff");
    Arg(u"topselect_cutoff") = I(0);
    Arg(u"colTotals") = Dict();
    Arg(u"colTotalDenoms") = Dict();
    Arg(u"colContainsValues") = Dict();
  }
  Variant& Values() { return Arg(u"allVals"); }
};

// --- renderCompareQuantities ------------------------------------------------------------------

TEST_F(Comparison, ValueCellsOfARangeAndTheirColumnTotals) {
  Render(u"renderCompareQuantities");
  EXPECT_EQ(Html(), u"<td class=br align=right>150.00</td><td class=br align=right>25.0%</td>");
  Variant total = ItemOf(Arg(u"colTotals"), u"sales_original_1");
  ASSERT_EQ(total.Type(), VT_R8);
  EXPECT_EQ(total.dblVal, 150);
  EXPECT_TRUE(ToBool(ItemOf(Arg(u"colContainsValues"), u"margin_original_1")).value());
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotalDenoms"), u"margin_original_1")).value(), 120);
  EXPECT_FALSE(Has(Arg(u"colTotalDenoms"), S(u"sales_original_1")));
}

TEST_F(Comparison, QuantityWithoutAValueIsAnEmptyCellInBothModes) {
  Arg(u"colType") = S(u"_other");
  Arg(u"enable_nondrilldown_hyperlinks") = B(false);
  Render(u"renderCompareQuantities");
  EXPECT_EQ(Html(), u"<td class=br align=right>&nbsp;</td><td class=br align=right>&nbsp;</td>");
}

TEST_F(Comparison, ExportValueCellsCarryThePreCellStyle) {
  Arg(u"enable_nondrilldown_hyperlinks") = B(false);
  Render(u"renderCompareQuantities");
  std::u16string open = u"<td align=right" + std::u16string(kStyle) + u">";
  EXPECT_EQ(Html(), open + u"150.00</td>" + open + u"25.0%</td>");
}

TEST_F(Comparison, FlippedViewWritesOnlyItsQuantity) {
  Arg(u"tb_view") = S(u"flipped");
  Arg(u"qty_row") = S(u"margin");
  Render(u"renderCompareQuantities");
  EXPECT_EQ(Html(), u"<td class=br align=right>25.0%</td>");
  EXPECT_FALSE(Has(Arg(u"colTotals"), S(u"sales_original_1")));
}

TEST_F(Comparison, RowsNotShownStillAccumulateAndWriteNoEmptyCells) {
  Arg(u"report_rows") = S(u"No");
  SetItem(Values(), u"K1_sales_num_original_1", Variant());
  Render(u"renderCompareQuantities");
  EXPECT_EQ(Html(), u"");
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotals"), u"margin_original_1")).value(), 30);
}

TEST_F(Comparison, NullDenominatorCountsAsZero) {
  SetItem(Values(), u"K1_margin_dnm_original_1", Variant::Null());
  Render(u"renderCompareQuantities");
  EXPECT_TRUE(Html().ends_with(u"<td class=br align=right>0.0%</td>")) << Narrow(Html());
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotalDenoms"), u"margin_original_1")).value(), 0);
}

TEST_F(Comparison, TextValueIsShownAndEmptiesTheColumnTotal) {
  SetItem(Values(), u"K1_sales_num_original_1", S(u"n/a"));
  Arg(u"colTotals") = Dict({{S(u"sales_original_1"), I(10)}});
  Render(u"renderCompareQuantities");
  EXPECT_TRUE(Html().starts_with(u"<td class=br align=right>n/a</td>")) << Narrow(Html());
  EXPECT_EQ(ItemOf(Arg(u"colTotals"), u"sales_original_1").StringView(), u"");
}

// --- otherRow_Comparison ----------------------------------------------------------------------

TEST_F(Comparison, OtherRowReadsItsValuesUnderTheOtherKeyOfTheRange) {
  Arg(u"repQuantity") = Dict({{I(1), S(u"sales")}, {I(2), S(u"margin")}});
  Arg(u"reportQtyOther") =
      Dict({{S(u"other_sales^_original_1"), I(40)}, {S(u"other_margin^_original_1"), S(u"")}});
  Arg(u"reportQtyOtherDenom") =
      Dict({{S(u"other_sales^_original_1"), S(u"")}, {S(u"other_margin^_original_1"), I(9)}});
  Arg(u"reportQtyFormat") = Dict({{S(u"other_sales^_original_1"), S(u"number")},
                                  {S(u"other_margin^_original_1"), S(u"percent")}});
  Render(u"otherRow_Comparison");
  EXPECT_EQ(Html(), u"<td class=br align=right>40.00</td><td class=br align=right>0</td>");
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotals"), u"sales_original_1")).value(), 40);
}

// --- utilities_compare_varshow ----------------------------------------------------------------

TEST_F(Comparison, VarianceIsTheStoredDifferenceOrTheDifferenceOfRatios) {
  Render(u"utilities_compare_varshow");
  // margin: 30/120 - 20/100 = 0.05, shown by its total format.
  EXPECT_EQ(Html(), u"<td class=br align=right>50.00</td><td class=br align=right>5.0%</td>");
}

TEST_F(Comparison, PercentChangeIsOverTheComparisonRatio) {
  Arg(u"comparisonqty") = S(u"pctchange");
  SetItem(Values(), u"K1_sales_num_var_pctchange_1", I(50));
  SetItem(Values(), u"K1_sales_dnm_var_pctchange_1", I(100));
  SetItem(Values(), u"K1_margin_num_var_pctchange_1", D(0.05));
  Render(u"utilities_compare_varshow");
  // sales: 50 over the variance denominator 100; margin: 0.05 over 20/100.
  EXPECT_EQ(Html(), u"<td class=br align=right>50.00%</td><td class=br align=right>25.0%</td>");
}

TEST_F(Comparison, NegligibleDenominatorsGiveAnEmptyVariance) {
  SetItem(Values(), u"K1_margin_dnm_original_1", I(0));
  SetItem(Values(), u"K1_margin_dnm_comparison_1", D(0.000001));
  Arg(u"comparisonQtys") = Dict({{S(u"margin"), S(u"")}});
  Render(u"utilities_compare_varshow");
  EXPECT_EQ(Html(), u"<td class=br align=right>&nbsp;</td>");
}

TEST_F(Comparison, NullVarianceIsStoredAsZero) {
  SetItem(Values(), u"K1_sales_num_var_diff_1", Variant::Null());
  Arg(u"comparisonQtys") = Dict({{S(u"sales"), S(u"")}});
  Arg(u"enable_nondrilldown_hyperlinks") = B(false);
  Render(u"utilities_compare_varshow");
  EXPECT_EQ(Html(), u"<td align=right " + std::u16string(kStyle) + u">0.00</td>");
  EXPECT_EQ(ItemOf(Values(), u"K1_sales_num_var_diff_1").Type(), VT_I2);
}

// --- compare_AllZeroes ------------------------------------------------------------------------

TEST_F(Comparison, RowIsAllZeroesOverEveryRangeAndColumnType) {
  Arg(u"allKeys") = Dict({{S(u"K1"), S(u"")}, {S(u"K2"), S(u"")}});
  Arg(u"colTypes") = Array({S(u"_original"), S(u"_comparison")});
  Arg(u"numComparisonRanges") = I(1);
  Arg(u"reportVisibleQtys") = Dict({{S(u"sales"), S(u"")}});
  Arg(u"allVals") = Dict({{S(u"K1_sales_num_original_1"), I(0)},
                          {S(u"K1_sales_num_comparison_1"), I(0)},
                          {S(u"K2_sales_num_original_1"), I(0)},
                          {S(u"K2_sales_num_comparison_1"), I(5)}});
  Arg(u"hide_zeroes") = S(u"Yes");
  Arg(u"rowValues") = Dict();
  Render(u"compare_AllZeroes");
  EXPECT_TRUE(ToBool(ItemOf(Arg(u"rowValues"), u"K1")).value());
  EXPECT_FALSE(ToBool(ItemOf(Arg(u"rowValues"), u"K2")).value());
}

// --- Total lines ------------------------------------------------------------------------------

TEST_F(Comparison, TotalVarianceIsTheDifferenceOfTheColumnTotals) {
  Arg(u"colTotals") = Dict({{S(u"sales_original_1"), I(150)}, {S(u"sales_comparison_1"), I(100)}});
  Arg(u"colContainsValues") =
      Dict({{S(u"sales_original_1"), B(true)}, {S(u"sales_comparison_1"), B(true)}});
  Arg(u"comparisonQtys") = Dict({{S(u"sales"), S(u"")}, {S(u"margin"), S(u"")}});
  Arg(u"rNum") = S(u"1");
  Render(u"utilities_compare_colvarshow");
  EXPECT_EQ(Html(),
            u"<td class=\"br tf\" align=right>50.00</td>"
            u"<td class=\"br tf\" align=right>&nbsp;</td>");
  Clear();
  Arg(u"comparisonqty") = S(u"pctchange");
  Arg(u"comparisonQtys") = Dict({{S(u"sales"), S(u"")}});
  Render(u"utilities_compare_colvarshow");
  EXPECT_EQ(Html(), u"<td class=\"br tf\" align=right>50.00%</td>");
}

TEST_F(Comparison, GrandTotalsAreComputedFromEveryRowAndTheOtherRows) {
  Arg(u"allKeys") = Dict({{S(u"K1"), S(u"")}, {S(u"K2"), S(u"")}});
  Arg(u"origKeys") = Dict({{S(u"K1"), S(u"")}, {S(u"K2"), S(u"")}});
  Arg(u"reportVisibleQtys") = Dict({{S(u"sales"), S(u"")}});
  Arg(u"colTypes") = Array({S(u"_original")});
  Arg(u"numComparisonRanges") = I(1);
  SetItem(Values(), u"K2_sales_num_original_1", I(50));
  SetItem(Values(), u"K2_sales_format_original_1", S(u"number"));
  Arg(u"colContainsValues") = Dict({{S(u"sales_original_1"), B(true)}});
  Arg(u"repTotalTypes") = Dict({{S(u"sales"), S(u"sum")}});
  Arg(u"repQtyDenoms") = Dict();
  Arg(u"colGrandTotals") = Dict();
  Arg(u"colGrandTotalDenoms") = Dict();
  Arg(u"other_rows") = B(true);
  Arg(u"reportQtyOther") =
      Dict({{S(u"other_sales^_original_1"), I(25)}, {S(u"other_sales^_comparison_1"), I(99)}});
  Arg(u"reportQtyOtherDenom") = Dict();
  Arg(u"reportQtyFormat") = Dict();
  Render(u"compare_ShowGrandTotals");
  EXPECT_EQ(Html(), u"<td class=tf align=right>225.00</td>");
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colGrandTotals"), u"sales_original_1")).value(), 225);
}

TEST_F(Comparison, GroupTotalsOfTheFirstRangeCarryTheTitle) {
  Arg(u"reportVisibleQtys") = Dict({{S(u"sales"), S(u"")}});
  Arg(u"reportKeys") = Dict({{S(u"K1"), S(u"")}});
  Arg(u"colTypes") = Array({S(u"_original_"), S(u"_comparison_")});
  Arg(u"colTotals") = Dict({{S(u"sales_original_1"), I(150)}, {S(u"sales_comparison_1"), I(100)}});
  Arg(u"repTotalTypes") = Dict({{S(u"sales"), S(u"sum")}});
  Arg(u"repQtyDenoms") = Dict();
  Arg(u"numDescriptionColumns") = I(2);
  Arg(u"totalTitle") = S(u"Total ");
  Arg(u"numGroupRows") = I(2);
  Arg(u"groupdescr") = S(u"North");
  Render(u"renderCompareGroupedTotals");
  EXPECT_EQ(Html(),
            u"<td class=br colspan=2><b>Total (2) <i>North</i></b></td>"
            u"<td class=br>150.00</td><td class=br>100.00</td>");
  Clear();
  Arg(u"rangeID") = S(u"_2");
  Render(u"renderCompareGroupedTotals");
  EXPECT_EQ(Html(), u"<td class=br>0.00</td><td class=br>0.00</td>");
  Clear();
  Arg(u"rangeID") = S(u"_1");
  Arg(u"qty") = S(u"sales");
  Arg(u"colType") = S(u"_comparison_");
  Render(u"compareGroupedTotals_flipped");
  EXPECT_EQ(Html(), u"<td class=br align=right>100.00</td>");
}

// --- renderCompareRowDescriptions -------------------------------------------------------------

class ComparisonDescriptions : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    Arg(u"row_key") = S(u"key_K1");
    Arg(u"keyDescription") = S(u"Customer");
    Arg(u"l_currDescription") = Dict({{S(u"name"), S(u"Smith")}, {S(u"city"), S(u"Leeds")}});
    Arg(u"linkClause") = S(u"%key%=&x='1'");
    Arg(u"keyField") = S(u"K1");
    Arg(u"hasKeyField") = B(true);
    Arg(u"keyGroupby") = S(u"");
    Arg(u"invalid_link_update") = B(false);
    Arg(u"matched_date") = B(true);
    Arg(u"linkurl_key") = S(u"");
    Arg(u"linkUrlDescr") = Dict();
  }
};

TEST_F(ComparisonDescriptions, FirstDescriptionLinksWithTheApostrophesSubstituted) {
  Render(u"renderCompareRowDescriptions");
  EXPECT_EQ(Html(), u"<td class=br>K1</td><td class=br><a style=\"color:#000000;\"" +
                        std::u16string(kHandlers) +
                        u" href=\"javascript:drl('%key%=K1&x=*$*1*$*', '', '')\"><b>Smith</b></a>"
                        u"</td><td class=br>Leeds</td>");
  EXPECT_EQ(TextOf(u"linkClause"), u"%key%=K1&x=*$*1*$*");
}

TEST_F(ComparisonDescriptions, KeyLinksWhenTheRowHasNoFirstDescription) {
  SetItem(Arg(u"l_currDescription"), u"name", S(u""));
  Render(u"renderCompareRowDescriptions");
  EXPECT_TRUE(Html().starts_with(
      u"<td class=br><a href=\"javascript:drl('%key%=K1&x=*$*1*$*', '', '')\" > K1</a></td>"))
      << Narrow(Html());
}

TEST_F(ComparisonDescriptions, KeyShownWithoutItsPrefixesAndFourCharactersAreEmpty) {
  Arg(u"row_key") = S(u"groupkey_A^key_B");
  Render(u"renderCompareRowDescriptions");
  EXPECT_TRUE(Html().starts_with(u"<td class=br>B</td>")) << Narrow(Html());
  Clear();
  Arg(u"row_key") = S(u"key_");
  Render(u"renderCompareRowDescriptions");
  EXPECT_TRUE(Html().starts_with(u"<td class=br>&nbsp;</td>")) << Narrow(Html());
}

TEST_F(ComparisonDescriptions, UnmatchedPeriodIsItsLabelWithoutALink) {
  Arg(u"reporttype1") = S(u"orderdate_month");
  Arg(u"matched_date") = B(false);
  Arg(u"l_currDescription") = Dict({{S(u"m"), I(24134)}});
  Render(u"renderCompareRowDescriptions");
  EXPECT_EQ(Html(), u"<td class=br>K1</td><td class=br>Mar 2011</td>");
}

TEST_F(ComparisonDescriptions, StaleLinkClauseLinksNothing) {
  Arg(u"invalid_link_update") = B(true);
  SetItem(Arg(u"l_currDescription"), u"name", S(u""));
  Render(u"renderCompareRowDescriptions");
  EXPECT_EQ(Html(), u"<td class=br>K1</td><td class=br><b>.</b></td><td class=br>Leeds</td>");
}

}  // namespace
