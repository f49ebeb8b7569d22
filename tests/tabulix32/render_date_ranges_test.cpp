// ReportRender's date-range members: utilities_updategroupdate, utilities_updategriddate and
// analysis_pivot_updatedates rewrite a row's link clause with the dates of its period.
#include "tests/tabulix32/render_call.h"

namespace {

using namespace render_test;

using utilities_test::DateOf;

// A 2 x 2 array of which (1, 1) holds `value`: range 1 of date report 1.
Variant RangeGrid(Variant value) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  int32_t indices[2] = {1, 1};
  EXPECT_TRUE(SafeArrayPutElement(array, indices, 2, value).ok());
  return Variant::FromArray(VT_VARIANT, array);
}

// One comparison range (2011) of one date report, orderdate, whose start, end and range name
// travel as sd, ed and dr.
class DateRanges : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    Arg(u"numComparisonRanges") = I(1);
    Arg(u"numDateReports") = I(1);
    Arg(u"isMapped_dateReport") = Array({Variant(), B(true)});
    Arg(u"dateReport") = Array({Variant(), S(u"orderdate")});
    Arg(u"dateStartField") = Array({Variant(), S(u"sd")});
    Arg(u"dateEndField") = Array({Variant(), S(u"ed")});
    Arg(u"dateRangeField") = Array({Variant(), S(u"dr")});
    Arg(u"rStart_arr") = RangeGrid(DateOf(2011, 1, 1));
    Arg(u"rEnd_arr") = RangeGrid(DateOf(2011, 12, 31));
    Arg(u"daterange_arr") = RangeGrid(S(u"Last year"));
    Arg(u"linkClause") = S(u"report.asp?x=1");
    Arg(u"reporttype2") = S(u"");
    Arg(u"groupby") = S(u"region");
    Arg(u"isPivot") = B(false);
  }
};

constexpr std::u16string_view kMarch2011 =
    u"&sd_original_1=3%2F1%2F2011&ed_original_1=3%2F31%2F2011&dr_original_1=Custom";

TEST_F(DateRanges, GridCellPeriodNarrowsTheRangeAndAppendsItsDates) {
  Arg(u"reporttype1") = S(u"orderdate_month");
  Arg(u"descr") = I(24134);
  Render(u"utilities_updategriddate");
  EXPECT_EQ(TextOf(u"linkClause"), u"report.asp?x=1" + std::u16string(kMarch2011));
  EXPECT_EQ(Html(), u"");
}

TEST_F(DateRanges, SecondCallFillsThePlaceholdersInsteadOfAppending) {
  Arg(u"reporttype1") = S(u"orderdate_month");
  Arg(u"descr") = I(24134);
  Arg(u"linkClause") = S(
      u"sd_original_1=%sd_original_1%&ed_original_1=%ed_original_1%&dr_original_1=%dr_original_1%");
  Render(u"utilities_updategriddate");
  EXPECT_EQ(TextOf(u"linkClause"),
            u"sd_original_1=3%2F1%2F2011&ed_original_1=3%2F31%2F2011&dr_original_1=Custom");
}

TEST_F(DateRanges, NamesAreMatchedWhole) {
  Arg(u"reporttype1") = S(u"orderdate_month");
  Arg(u"descr") = I(24134);
  std::u16string clause = u"sed_original_1=%sed_original_1%&sd_original_10=x";
  Arg(u"linkClause") = S(clause);
  Render(u"utilities_updategriddate");
  EXPECT_EQ(TextOf(u"linkClause"), clause + std::u16string(kMarch2011));
}

TEST_F(DateRanges, ReportTypeThatIsNoPeriodChangesNothing) {
  Arg(u"reporttype1") = S(u"region");
  Arg(u"descr") = S(u"North");
  Render(u"utilities_updategriddate");
  EXPECT_EQ(TextOf(u"linkClause"), u"report.asp?x=1");
}

TEST_F(DateRanges, GroupedByADatePeriodNarrowsByTheGroupToo) {
  Arg(u"reporttype1") = S(u"region");
  Arg(u"descr") = S(u"North");
  Arg(u"isGrouped") = B(true);
  Arg(u"groupby") = S(u"orderdate_quarter");
  Arg(u"descr_groupby") = I(8045);
  Render(u"utilities_updategriddate");
  EXPECT_EQ(TextOf(u"linkClause"),
            u"report.asp?x=1&sd_original_1=4%2F1%2F2011"
            u"&ed_original_1=6%2F30%2F2011&dr_original_1=Custom");
}

TEST_F(DateRanges, RowWithoutAKeyWritesTheWholeRangeAndAllHasNoDates) {
  Arg(u"daterange_arr") = RangeGrid(S(u"All"));
  Arg(u"reporttype1") = S(u"region");
  Arg(u"keyField") = S(u"");
  Arg(u"groupField") = S(u"");
  Render(u"utilities_updategroupdate");
  EXPECT_EQ(TextOf(u"linkClause"),
            u"report.asp?x=1&sd_original_1=&ed_original_1=&dr_original_1=All");
}

TEST_F(DateRanges, RowPeriodOfTheKeyNarrowsTheGroupDate) {
  Arg(u"reporttype1") = S(u"orderdate_month");
  Arg(u"keyField") = I(24134);
  Arg(u"groupField") = S(u"");
  Render(u"utilities_updategroupdate");
  EXPECT_EQ(TextOf(u"linkClause"), u"report.asp?x=1" + std::u16string(kMarch2011));
}

TEST_F(DateRanges, GroupPeriodAppliesInAGroupedReportOrAnUngroupedPivot) {
  Arg(u"reporttype1") = S(u"region");
  Arg(u"keyField") = S(u"");
  Arg(u"groupbyKey") = S(u"orderdate_quarter");
  Arg(u"groupField") = I(8045);
  Render(u"utilities_updategroupdate");
  // Neither grouped nor a pivot: the whole range, under its own name.
  EXPECT_EQ(TextOf(u"linkClause"),
            u"report.asp?x=1&sd_original_1=1%2F1%2F2011"
            u"&ed_original_1=12%2F31%2F2011&dr_original_1=Last year");
  Arg(u"linkClause") = S(u"report.asp?x=1");
  Arg(u"isPivot") = B(true);
  Render(u"utilities_updategroupdate");
  EXPECT_EQ(TextOf(u"linkClause"),
            u"report.asp?x=1&sd_original_1=4%2F1%2F2011"
            u"&ed_original_1=6%2F30%2F2011&dr_original_1=Last year");
}

TEST_F(DateRanges, RangeNameCannotAddPairs) {
  Arg(u"daterange_arr") = RangeGrid(S(u"R&D days"));
  Arg(u"reporttype1") = S(u"region");
  Arg(u"keyField") = S(u"");
  Arg(u"groupField") = S(u"");
  Render(u"utilities_updategroupdate");
  EXPECT_TRUE(TextOf(u"linkClause").ends_with(u"&dr_original_1=R%26D days"))
      << Narrow(TextOf(u"linkClause"));
}

TEST_F(DateRanges, PivotCellSetsTheVariables) {
  Arg(u"reporttype1") = S(u"orderdate_month");
  Arg(u"descr") = I(24134);
  Arg(u"linkClause") = S(u"%key%=1&sd_original_1=old");
  Render(u"analysis_pivot_updatedates");
  EXPECT_EQ(TextOf(u"linkClause"),
            u"%key%=1&sd_original_1=3%2F1%2F2011"
            u"&ed_original_1=3%2F31%2F2011&dr_original_1=Custom");
}

TEST_F(DateRanges, UnmappedDateReportsAreSkipped) {
  Arg(u"isMapped_dateReport") = Array({Variant(), B(false)});
  Arg(u"reporttype1") = S(u"orderdate_month");
  Arg(u"descr") = I(24134);
  Render(u"utilities_updategriddate");
  EXPECT_EQ(TextOf(u"linkClause"), u"report.asp?x=1");
}

}  // namespace
