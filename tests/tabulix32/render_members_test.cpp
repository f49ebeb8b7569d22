// ReportRender's member table as pages and tools see it (names, dispatch identifiers,
// parameter names, named arguments, argument counts), the failures of its buffer and utilities,
// and the encoders that keep page data from breaking out of report HTML.
#include <cctype>
#include <set>

#include "tabulix32/render/html_safety.h"
#include "tests/tabulix32/render_call.h"

namespace {

using namespace render_test;

constexpr std::u16string_view kMembersInOrder[] = {u"utilities_updategroupdate",
                                                   u"analysis_drilldown_quantities",
                                                   u"analysis_quantities_flipped",
                                                   u"renderGroupRowDescriptions",
                                                   u"renderStoredRowDescriptions",
                                                   u"renderGroupedTotals",
                                                   u"renderGroupedTotals_fliped",
                                                   u"rowsGroupDescriptions",
                                                   u"renderRowDescriptions",
                                                   u"utilities_updategriddate",
                                                   u"renderPivotQuantities",
                                                   u"renderPivotGroupedTotals",
                                                   u"analysis_pivot_updatedates",
                                                   u"pivot_OtherCol",
                                                   u"analysis_pivot_nonfirstrow",
                                                   u"pivot_OtherRow",
                                                   u"utilities_showPivotGrandTotals",
                                                   u"analysis_ShowOtherRow",
                                                   u"analysis_otherRow_flipped",
                                                   u"analysis_ShowGrandTotals",
                                                   u"analysis_GrandTotals_flipped",
                                                   u"renderCompareRowDescriptions",
                                                   u"renderCompareQuantities",
                                                   u"otherRow_Comparison",
                                                   u"utilities_compare_varshow",
                                                   u"compare_ShowGrandTotals",
                                                   u"utilities_compare_colvarshow",
                                                   u"renderCompareGroupedTotals",
                                                   u"compareGroupedTotals_flipped",
                                                   u"rowsAllZeroes",
                                                   u"compare_AllZeroes"};

class RenderMembers : public RenderTest {};

TEST_F(RenderMembers, ThirtyOneMembersWithDispatchIdentifiersInInterfaceOrder) {
  ASSERT_EQ(ReportRender::Members().size(), std::size(kMembersInOrder));
  DISPID expected = 1;
  for (std::u16string_view name : kMembersInOrder) {
    SCOPED_TRACE(Narrow(name));
    std::u16string upper(name);
    for (char16_t& c : upper) c = static_cast<char16_t>(std::toupper(c));
    EXPECT_EQ(GetDispatchId(render_.get(), upper).value(), expected++);
  }
}

TEST_F(RenderMembers, EveryArgumentIsNamedAndRequiredAndSbAndUcComeFirst) {
  for (const DispatchMember<ReportRender>& member : ReportRender::Members()) {
    SCOPED_TRACE(Narrow(member.name));
    std::vector<std::u16string> names = ParametersOf(member.name);
    EXPECT_EQ(member.min_arguments, names.size());
    EXPECT_EQ(member.max_arguments, names.size());
    std::set<std::u16string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
    bool has_sb = unique.contains(u"sb");
    bool has_uc = unique.contains(u"uc");
    if (has_sb) {
      EXPECT_EQ(names[0], u"sb");
    }
    if (has_uc) {
      EXPECT_EQ(names[has_sb ? 1 : 0], u"uc");
    }
  }
}

TEST_F(RenderMembers, ParameterNamesMapToTheirPositions) {
  std::u16string method = u"rowsGroupDescriptions";
  std::u16string groupdescr = u"groupdescr";
  std::u16string uc = u"UC";
  LPOLESTR names[] = {method.data(), uc.data(), groupdescr.data()};
  DISPID dispids[3] = {};
  ASSERT_EQ(render_->GetIDsOfNames(GUID_NULL, names, 3, 0, dispids), S_OK);
  EXPECT_EQ(dispids[0], 8);
  EXPECT_EQ(dispids[1], 0);
  EXPECT_EQ(dispids[2], 6);
}

TEST_F(RenderMembers, NamedArgumentsInAnyOrderReachTheSameParameters) {
  Arg(u"rowsReport") = Rows({{S(u"K1"), S(u"Smith")}});
  Arg(u"repRowCounter") = I(0);
  Arg(u"groupby") = S(u"region");
  Arg(u"groupkey") = S(u"G1");
  Arg(u"suppDescriptionFieldsGroupby") = Dict({{S(u"name"), S(u"")}});
  Arg(u"suppDescriptionFieldsGroupby_sqlCols") = Dict({{I(1), I(1)}});
  Arg(u"groupdescr") = S(u"");
  Arg(u"firstDescriptionFieldGroupby") = S(u"name");
  Arg(u"groupFieldGroupby") = S(u"region");
  std::vector<std::u16string> names = ParametersOf(u"rowsGroupDescriptions");
  std::vector<VARIANT> values;
  std::vector<DISPID> positions;
  for (size_t i = names.size(); i-- > 0;) {  // DISPPARAMS carry named arguments in any order
    values.push_back(Variant::RefTo(&Arg(names[i])));
    positions.push_back(static_cast<DISPID>(i));
  }
  DISPPARAMS params{values.data(), positions.data(), static_cast<UINT>(values.size()),
                    static_cast<UINT>(values.size())};
  Variant result;
  EXCEPINFO exception{};
  ASSERT_EQ(
      render_->Invoke(8, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, nullptr),
      S_OK);
  EXPECT_EQ(TextOf(u"groupdescr"), u"Smith - G1");
}

TEST_F(RenderMembers, MissingArgumentsAreRefused) {
  Variant only = S(u"x");
  const VARIANT arguments[] = {only};
  Result<Variant> outcome = CallMember(render_.get(), u"rowsAllZeroes", arguments);
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 450);
}

TEST_F(RenderMembers, BufferThatIsNoObjectFailsAtTheFirstPiece) {
  Arg(u"sb") = S(u"not a buffer");
  Arg(u"grand_total") = S(u"No");
  EXPECT_EQ(FailureNumber(u"analysis_ShowGrandTotals"), 424);
  Arg(u"sb") = Variant::FromDispatch(nullptr);
  EXPECT_EQ(FailureNumber(u"analysis_ShowGrandTotals"), 91);
}

TEST_F(RenderMembers, FailingAppendStopsTheMethodWithItsError) {
  ComPtr<Forwarder> sb = MakeObject<Forwarder>(buffer_.get());
  sb->FailMember(u"append", 7001, u"buffer full");
  Arg(u"sb") = Variant::FromDispatch(sb.get());
  Arg(u"grand_total") = S(u"No");
  Result<Variant> outcome = Call(u"analysis_ShowGrandTotals");
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 7001);
  EXPECT_EQ(outcome.error().Description(), u"buffer full");
}

TEST_F(RenderMembers, UtilitiesWithoutAMemberFailWith438) {
  Arg(u"uc") = Dict();  // an object, but no utilities
  Arg(u"groupdescr") = S(u"");
  Arg(u"suppDescriptionFieldsGroupby") = Dict();
  EXPECT_EQ(FailureNumber(u"rowsGroupDescriptions"), 438);
}

TEST_F(RenderMembers, CreatedThroughTheModuleByItsProgIdItRenders) {
  // The class factory hands out the same class the member table belongs to.
  ComPtr<IUnknown> object = ComPtr<IUnknown>::Adopt(CreateReportRender());
  ComPtr<IDispatch> render = object.As<IDispatch>(IID_IDispatch);
  ASSERT_TRUE(render);
  EXPECT_EQ(GetDispatchId(render.get(), u"compare_AllZeroes").value(), 31);
}

// --- Encoders ---------------------------------------------------------------------------------

struct EncodingCase {
  std::u16string_view input;
  std::u16string_view expected;
};

// Each case's input appended by `append` to an empty text gives the expected text.
template <class Append>
void ExpectEncodings(std::initializer_list<EncodingCase> cases, Append append) {
  for (const EncodingCase& c : cases) {
    SCOPED_TRACE(Narrow(c.input));
    std::u16string out;
    append(out, c.input);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(HtmlSafety, TextKeepsOrdinaryTextAndDisarmsMarkup) {
  ExpectEncodings(
      {
          {u"Smith & Sons", u"Smith & Sons"},
          {u"a > b, \"q\" 'x'", u"a > b, \"q\" 'x'"},
          {u"<script>", u"&lt;script>"},
          {u"", u""},
      },
      [](std::u16string& out, std::u16string_view input) { out = html_safety::Text(input); });
}

TEST(HtmlSafety, AttributeValueStaysUnquotedOnlyAsAPlainToken) {
  ExpectEncodings(
      {
          {u"r1", u"r1"},
          {u"12", u"12"},
          {u"", u""},
          {u"a b", u"\"a b\""},
          {u"x\" onclick=\"y", u"\"x&quot; onclick=&quot;y\""},
          {u"x>y", u"\"x>y\""},
          {u"a&b", u"a&b"},
          {u"a&b<c", u"\"a&amp;b&lt;c\""},
          {u"a=b&c", u"\"a=b&amp;c\""},
      },
      html_safety::AppendAttributeValue);
}

TEST(HtmlSafety, ScriptArgumentCannotEndTheStringOrTheAttribute) {
  ExpectEncodings(
      {
          {u"%key%=K1&%keygroupby%=G%2D1&groupby=", u"%key%=K1&%keygroupby%=G%2D1&groupby="},
          {u"a=O'Neil", u"a=O*$*Neil"},
          {u"a=O%27Neil", u"a=O%2A%24%2ANeil"},
          {u"a=\"x\"", u"a=%22x%22"},
          {u"a=1&#39;", u"a=1&amp;#39;"},
          {u"a=1&apos;&b=2", u"a=1&amp;apos;&b=2"},
          {u"a=1\r\n", u"a=1%0D%0A"},
          {u"a=100%", u"a=100%"},
      },
      html_safety::AppendScriptArgument);
}

TEST(HtmlSafety, QueryValueCannotAddPairs) {
  EXPECT_EQ(html_safety::QueryValue(u"North America"), u"North America");
  EXPECT_EQ(html_safety::QueryValue(u"R&D&x=1"), u"R%26D%26x=1");
}

}  // namespace
