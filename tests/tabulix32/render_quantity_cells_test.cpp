// ReportRender.analysis_drilldown_quantities and analysis_quantities_flipped: the quantity cells
// of a detail row and the column totals they keep, called by name as a page calls them.
#include "tests/tabulix32/render_call.h"

namespace {

using namespace render_test;

// Row K1 of a report with two quantities: sales (a plain number, 1234.5 of a report total of
// 5000, shown with its share) and margin (30 over 120, shown as a percentage).
class QuantityCells : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    Arg(u"reportVisibleQtys") = Dict({{S(u"sales"), S(u"")}, {S(u"margin"), S(u"")}});
    Arg(u"rep_key") = S(u"K1");
    Arg(u"reportQtyNum") = Dict({{S(u"K1_sales"), D(1234.5)}, {S(u"K1_margin"), I(30)}});
    Arg(u"reportQtyDenom") = Dict({{S(u"K1_sales"), S(u"")}, {S(u"K1_margin"), I(120)}});
    Arg(u"reportHasDenom") = Dict({{S(u"K1_sales"), B(false)}, {S(u"K1_margin"), B(true)}});
    Arg(u"reportQtyFormat") =
        Dict({{S(u"K1_sales"), S(u"number")}, {S(u"K1_margin"), S(u"percent")}});
    Arg(u"repTotalTypes") = Dict({{S(u"sales"), S(u"sum")}, {S(u"margin"), S(u"average")}});
    Arg(u"colTotals") = Dict();
    Arg(u"colTotalDenoms") = Dict();
    Arg(u"grandTotals") = Dict({{S(u"sales"), I(5000)}, {S(u"margin"), I(300)}});
    Arg(u"grandTotalDenoms") = Dict({{S(u"margin"), I(1000)}});
    Arg(u"cache_schemaReportQuantities") = Dict({{S(u"sales|numdigits"), I(2)},
                                                 {S(u"margin|numdigits"), I(1)},
                                                 {S(u"sales|showPercentage"), S(u"Yes")},
                                                 {S(u"margin|showPercentage"), S(u"")},
                                                 {S(u"margin|quantity_formula_dnm"), S(u"cost")}});
  }
  Variant& Settings() { return Arg(u"cache_schemaReportQuantities"); }
};

TEST_F(QuantityCells, InteractiveRowHasAValueCellPerQuantityAndTheShareOfTheWhole) {
  Render(u"analysis_drilldown_quantities");
  EXPECT_EQ(Html(),
            u"<td class=br align=right>1,234.50</td><td class=br align=right>24.7%</td>"
            u"<td class=br align=right>25.0%</td>");
}

TEST_F(QuantityCells, ExportCellsCarryThePreCellStyle) {
  Arg(u"enable_nondrilldown_hyperlinks") = B(false);
  Render(u"analysis_drilldown_quantities");
  std::u16string open = u"<td align=right" + std::u16string(kStyle) + u">";
  EXPECT_EQ(Html(), open + u"1,234.50</td>" + open + u"24.7%</td>" + open + u"25.0%</td>");
}

TEST_F(QuantityCells, FontSettingWrapsEachCellOfItsQuantity) {
  SetItem(Settings(), u"sales|all_format", S(u"color=red size=1"));
  SetItem(Settings(), u"margin|all_format", S(u"   "));  // blank: no wrapper
  Render(u"analysis_drilldown_quantities");
  EXPECT_EQ(Html(),
            u"<td class=br align=right><font color=red size=1>1,234.50</font></td>"
            u"<td class=br align=right><font color=red size=1>24.7%</font></td>"
            u"<td class=br align=right>25.0%</td>");
}

TEST_F(QuantityCells, ValuesJoinTheColumnTotalsWithTheirDenominators) {
  Render(u"analysis_drilldown_quantities");
  Arg(u"rep_key") = S(u"K2");
  Arg(u"reportQtyNum") = Dict({{S(u"K2_sales"), D(100)}, {S(u"K2_margin"), I(10)}});
  Arg(u"reportQtyDenom") = Dict({{S(u"K2_sales"), S(u"")}, {S(u"K2_margin"), I(80)}});
  Arg(u"reportHasDenom") = Dict({{S(u"K2_sales"), B(false)}, {S(u"K2_margin"), B(true)}});
  Arg(u"reportQtyFormat") =
      Dict({{S(u"K2_sales"), S(u"number")}, {S(u"K2_margin"), S(u"percent")}});
  Render(u"analysis_drilldown_quantities");
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotals"), u"sales")).value(), 1334.5);
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotals"), u"margin")).value(), 40);
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotalDenoms"), u"margin")).value(), 200);
  EXPECT_FALSE(Has(Arg(u"colTotalDenoms"), S(u"sales")));
}

TEST_F(QuantityCells, RowsNotShownWriteNothingButStillAccumulate) {
  Arg(u"report_rows") = S(u"No");
  Render(u"analysis_drilldown_quantities");
  EXPECT_EQ(Html(), u"");
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotals"), u"sales")).value(), 1234.5);
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotalDenoms"), u"margin")).value(), 120);
}

TEST_F(QuantityCells, PercentageTotalTypeGetsNoShareCell) {
  SetItem(Arg(u"repTotalTypes"), u"sales", S(u"percentage"));
  Render(u"analysis_drilldown_quantities");
  EXPECT_EQ(Html(), u"<td class=br align=right>1,234.50</td><td class=br align=right>25.0%</td>");
}

TEST_F(QuantityCells, ShareOfARatioIsTheRatioOverTheReportRatio) {
  SetItem(Settings(), u"margin|showPercentage", S(u"Yes"));
  Render(u"analysis_drilldown_quantities");
  // 30/120 = 0.25 of the report's 300/1000 = 0.3: 83.3%.
  EXPECT_TRUE(
      Html().ends_with(u"<td class=br align=right>25.0%</td><td class=br align=right>83.3%</td>"));
}

TEST_F(QuantityCells, ValueThatIsNoNumberEmptiesTheColumnTotal) {
  SetItem(Arg(u"colTotals"), u"sales", D(10));
  SetItem(Arg(u"reportQtyNum"), u"K1_sales", S(u"n/a"));
  Render(u"analysis_drilldown_quantities");
  EXPECT_EQ(ItemOf(Arg(u"colTotals"), u"sales").StringView(), u"");
}

TEST_F(QuantityCells, EmptiedTotalTakesNoFurtherValuesInsteadOfFailing) {
  SetItem(Arg(u"colTotals"), u"sales", S(u""));
  SetItem(Arg(u"colTotals"), u"margin", S(u""));
  Render(u"analysis_drilldown_quantities");
  EXPECT_EQ(ItemOf(Arg(u"colTotals"), u"sales").StringView(), u"");
  EXPECT_EQ(ItemOf(Arg(u"colTotals"), u"margin").StringView(), u"");
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotalDenoms"), u"margin")).value(), 120);
}

TEST_F(QuantityCells, TextValueIsShownAsItsTextWithNoShare) {
  SetItem(Arg(u"reportQtyNum"), u"K1_sales", S(u"n/a <?>"));
  Render(u"analysis_drilldown_quantities");
  EXPECT_EQ(Html(),
            u"<td class=br align=right>n/a &lt;?></td><td class=br align=right>&nbsp;</td>"
            u"<td class=br align=right>25.0%</td>");
}

TEST_F(QuantityCells, NullDenominatorIsNoDenominatorAndAddsZero) {
  SetItem(Arg(u"reportQtyFormat"), u"K1_margin", S(u"number"));
  SetItem(Arg(u"reportQtyDenom"), u"K1_margin", Variant::Null());
  Render(u"analysis_drilldown_quantities");
  EXPECT_TRUE(Html().ends_with(u"<td class=br align=right>30.0</td>")) << Narrow(Html());
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotalDenoms"), u"margin")).value(), 0);
}

TEST_F(QuantityCells, FlippedCellWritesOnlyItsQuantityWithTheShareAfterABreak) {
  Arg(u"qty") = S(u"sales");
  Render(u"analysis_quantities_flipped");
  EXPECT_EQ(Html(), u"<td class=br align=right>1,234.50<br>24.7%</td>");
  Variant total = ItemOf(Arg(u"colTotals"), u"sales");
  EXPECT_EQ(total.Type(), VT_R8);
  EXPECT_FALSE(Has(Arg(u"colTotals"), S(u"margin")));
}

TEST_F(QuantityCells, FlippedTotalsAddAsDoubles) {
  Arg(u"qty") = S(u"margin");
  Render(u"analysis_quantities_flipped");
  Variant total = ItemOf(Arg(u"colTotals"), u"margin");
  ASSERT_EQ(total.Type(), VT_R8);
  EXPECT_EQ(total.dblVal, 30);
  Variant denominator = ItemOf(Arg(u"colTotalDenoms"), u"margin");
  ASSERT_EQ(denominator.Type(), VT_R8);
  EXPECT_EQ(denominator.dblVal, 120);
}

TEST_F(QuantityCells, EmptyQuantityListWritesNothing) {
  Arg(u"reportVisibleQtys") = Dict();
  Render(u"analysis_drilldown_quantities");
  EXPECT_EQ(Html(), u"");
}

TEST_F(QuantityCells, FailingFormatterStopsTheRowAndKeepsWhatWasWritten) {
  ComPtr<Forwarder> uc = MakeObject<Forwarder>(utilities_.get());
  uc->FailMember(u"myFormatPercentNoColor", 1234, u"no percent today");
  Arg(u"uc") = Variant::FromDispatch(uc.get());
  Result<Variant> outcome = Call(u"analysis_drilldown_quantities");
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 1234);
  EXPECT_EQ(outcome.error().Description(), u"no percent today");
  EXPECT_EQ(Html(), u"<td class=br align=right>1,234.50</td><td class=br align=right>");
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotals"), u"sales")).value(), 1234.5);
  EXPECT_FALSE(Has(Arg(u"colTotals"), S(u"margin")));
}

TEST_F(QuantityCells, ObjectsReachedThroughDispatchOnlyGiveTheSameRow) {
  Render(u"analysis_drilldown_quantities");
  std::u16string direct = Html();
  Clear();
  for (std::u16string_view name :
       {u"sb", u"uc", u"reportQtyNum", u"reportQtyDenom", u"cache_schemaReportQuantities",
        u"reportVisibleQtys", u"grandTotals"}) {
    Arg(name) = Forwarded(Arg(name));
  }
  Arg(u"colTotals") = Forwarded(Dict());
  Render(u"analysis_drilldown_quantities");
  EXPECT_EQ(Html(), direct);
  EXPECT_EQ(ToDouble(ItemOf(Arg(u"colTotals"), u"sales")).value(), 1234.5);
}

}  // namespace
