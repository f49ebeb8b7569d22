// AnalysisCalculate.analysis_calculate, called by name with its 36 arguments by reference as a
// report page calls it, with real dictionaries and fetched-row arrays.
#include "tabulix32/utilities/analysis_calculate.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/locale.h"
#include "platform/automation/safearray.h"
#include "platform/scriptruntime/dictionary.h"
#include "tests/tabulix32/utilities_member_call.h"

namespace {

using utilities_test::Array;
using utilities_test::Rows;

constexpr LCID kEnglishUnitedStates = 1033;
constexpr LCID kGerman = 1031;

// The arguments in order.
enum Position : size_t {
  kUc, kNumRowsReport, kColType, kRangeId, kObjKeyField, kObjKeyFieldGroupby, kObjDFieldS,
  kObjDFieldSDetail, kSqlColumns, kSqlColumnDenoms, kNumReportQuantities,
  kCheckMappedOrDefaults, kRowsReport, kIsCompare, kIsGrouped, kIsDetail,
  kSuppDescriptionFields, kReportKeys, kReportDescrs, kRepQuantity, kRepQuantityDenom,
  kRepQtyFormats, kReportQtyNum, kReportQtyDenom, kReportQtyFormat, kReportHasDenom,
  kCacheSchemaReportQuantities, kGetOther, kRowOther, kReportQtyOther, kReportQtyOtherDenom,
  kSqlOther, kSqlOtherDenoms, kNumRowsOther, kNumOfGroups, kOtherGroupVals, kArgumentCount,
};

constexpr const char16_t* kParameterNames[kArgumentCount] = {
    u"uc", u"numRowsReport", u"colType", u"rangeID", u"objKeyField", u"objKeyFieldGroupby",
    u"objDField_s", u"objDField_sDetail", u"sqlColumns", u"sqlColumnDenoms",
    u"numReportQuantities", u"checkMappedOrDefaults", u"rowsReport", u"isCompare",
    u"isGrouped", u"isDetail", u"suppDescriptionFields", u"reportKeys", u"reportDescrs",
    u"repQuantity", u"repQuantityDenom", u"repQtyFormats", u"reportQtyNum", u"reportQtyDenom",
    u"reportQtyFormat", u"reportHasDenom", u"cache_schemaReportQuantities", u"getOther",
    u"rowOther", u"reportQtyOther", u"reportQtyOtherDenom", u"sqlOther", u"sqlOtherDenoms",
    u"numRowsOther", u"numOfGroups", u"otherGroupVals"};

Variant S(std::u16string_view text) { return Variant::FromString(text); }
Variant I(int32_t value) { return Variant::FromI4(value); }
Variant D(double value) { return Variant::FromR8(value); }
Variant B(bool value) { return Variant::FromBool(value); }

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (char16_t c : text) narrow += c < 128 ? static_cast<char>(c) : '?';
  return narrow;
}

Variant NewDictionary() {
  ComPtr<Dictionary> dictionary = MakeObject<Dictionary>();
  return Variant::FromDispatch(dictionary.get());
}

// A dictionary holding these entries.
Variant Keyed(std::initializer_list<std::pair<Variant, Variant>> entries) {
  Variant dictionary = NewDictionary();
  for (const auto& [key, item] : entries) {
    const VARIANT add_arguments[] = {key, item};
    EXPECT_TRUE(CallMember(dictionary.pdispVal, u"Add", add_arguments).ok());
  }
  return dictionary;
}

int32_t CountOf(const Variant& dictionary) {
  return ToInt32(CallMember(dictionary.pdispVal, u"Count").value()).value();
}

bool Has(const Variant& dictionary, const Variant& key) {
  const VARIANT exists_arguments[] = {key};
  return ToBool(CallMember(dictionary.pdispVal, u"Exists", exists_arguments).value()).value();
}

// The item under `key`, read only when present (reading adds absent keys).
Variant Lookup(const Variant& dictionary, const Variant& key) {
  EXPECT_TRUE(Has(dictionary, key)) << "no key " << Narrow(ToBstr(key).value().view());
  if (!Has(dictionary, key)) return Variant();
  const VARIANT item_arguments[] = {key};
  return CallMember(dictionary.pdispVal, u"Item", item_arguments).value();
}
Variant Lookup(const Variant& dictionary, std::u16string_view key) {
  return Lookup(dictionary, S(key));
}

std::vector<std::u16string> KeysOf(const Variant& dictionary) {
  std::vector<std::u16string> keys;
  Variant array = CallMember(dictionary.pdispVal, u"Keys").value();
  int32_t last = SafeArrayUpperBound(array.parray, 1).value();
  for (int32_t i = 0; i <= last; ++i) {
    Variant key = SafeArrayGetElement(array.parray, &i, 1).value();
    keys.emplace_back(ToBstr(key).value().view());
  }
  return keys;
}

::testing::AssertionResult IsText(const Variant& value, std::u16string_view expected) {
  if (value.Type() != VT_BSTR) return ::testing::AssertionFailure() << "type " << value.Type();
  if (value.StringView() != expected) {
    return ::testing::AssertionFailure() << "\"" << Narrow(value.StringView()) << "\"";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult IsDouble(const Variant& value, double expected) {
  if (value.Type() != VT_R8) return ::testing::AssertionFailure() << "type " << value.Type();
  if (value.dblVal != expected) return ::testing::AssertionFailure() << value.dblVal;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult IsBoolean(const Variant& value, bool expected) {
  if (value.Type() != VT_BOOL) return ::testing::AssertionFailure() << "type " << value.Type();
  if ((value.boolVal != 0) != expected) return ::testing::AssertionFailure() << "wrong Boolean";
  return ::testing::AssertionSuccess();
}

// The page's UtilitiesClass as far as analysis_calculate uses it: fixZero and
// changeValueFormat by their rules, each call recorded; "changeValueFormat" can be made to fail.
class RecordingUtilities : public DispatchObject<RecordingUtilities> {
 public:
  static std::span<const DispatchMember<RecordingUtilities>> Members() {
    static constexpr DispatchMember<RecordingUtilities> kMembers[] = {
        {u"fixZero", 1, kMethod, 1, 1, &RecordingUtilities::FixZero, u"numToFix"},
        {u"changeValueFormat", 2, kMethod, 3, 3, &RecordingUtilities::ChangeValueFormat,
         u"n,fmt,numdigits"},
    };
    return kMembers;
  }

  // Each changeValueFormat call: value, format, digits.
  std::vector<std::array<Variant, 3>> conversions;
  int32_t failure = 0;

 private:
  Result<Variant> FixZero(const DispatchArguments& arguments) {
    VARIANT value = PeekValue(arguments[0]);
    if (value.vt == VT_NULL || value.vt == VT_EMPTY) return Variant::FromI2(0);
    if (value.vt == VT_BSTR && value.bstrVal != nullptr && BstrView(value.bstrVal).empty()) {
      return Variant::FromI2(0);
    }
    return Variant(value);
  }
  Result<Variant> ChangeValueFormat(const DispatchArguments& arguments) {
    if (failure != 0) return Error::Script(failure, u"refused");
    VARIANT value = PeekValue(arguments[0]);
    conversions.push_back({Variant(value), Variant(PeekValue(arguments[1])),
                           Variant(PeekValue(arguments[2]))});
    if (value.vt == VT_NULL) return Variant::FromI2(0);
    if (IsNumeric(value)) return Variant::FromR8(TRY(ToDouble(value)));
    return Variant(value);
  }
};

// A description-field collection whose "keys" is a collection rather than an array: here a
// dictionary, which For Each walks by its keys.
class FieldCollection : public DispatchObject<FieldCollection> {
 public:
  static std::span<const DispatchMember<FieldCollection>> Members() {
    static constexpr DispatchMember<FieldCollection> kMembers[] = {
        {u"keys", 1, kMethod | kPropertyGet, 0, 0, &FieldCollection::Keys},
    };
    return kMembers;
  }
  Variant names = Keyed({{S(u"name"), S(u"")}, {S(u"city"), S(u"")}});

 private:
  Result<Variant> Keys(const DispatchArguments&) { return names; }
};

class AnalysisCalculateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetThreadLocale(kEnglishUnitedStates));
    for (Position output : {kSuppDescriptionFields, kReportKeys, kReportDescrs, kRepQtyFormats,
                            kReportQtyNum, kReportQtyDenom, kReportQtyFormat, kReportHasDenom,
                            kCacheSchemaReportQuantities, kReportQtyOther,
                            kReportQtyOtherDenom, kSqlOther, kSqlOtherDenoms, kSqlColumns,
                            kSqlColumnDenoms, kOtherGroupVals}) {
      args_[output] = NewDictionary();
    }
    args_[kUc] = Variant::FromDispatch(utilities_.get());
    args_[kNumRowsReport] = I(0);
    args_[kColType] = S(u"");
    args_[kRangeId] = S(u"");
    args_[kNumReportQuantities] = I(0);
    for (Position flag : {kIsCompare, kIsGrouped, kIsDetail, kGetOther}) args_[flag] = B(false);
    args_[kNumRowsOther] = I(0);
  }
  void TearDown() override { SetThreadLocale(0); }

  // The report of the common examples: one quantity "sales" in column 2, format "number",
  // rows with key values A and B, no description fields.
  void SalesReport() {
    args_[kNumRowsReport] = I(2);
    args_[kObjKeyField] = Array({S(u"A"), S(u"B")});
    args_[kRowsReport] = Rows({{S(u"A"), S(u"x"), S(u"12.5")}, {S(u"B"), S(u"y"), I(7)}});
    SetQuantities({{u"sales", u"", 2}});
  }

  struct Quantity {
    std::u16string_view name;
    std::u16string_view denominator;  // empty for none
    int32_t column;
    bool loaded = true;
  };
  // Quantities at positions 1, 2, ...: names, denominators, columns and the "number" format.
  void SetQuantities(std::initializer_list<Quantity> quantities) {
    std::vector<Variant> names{Variant()}, denominators{Variant()}, loaded{Variant()};
    for (const Quantity& quantity : quantities) {
      names.push_back(S(quantity.name));
      denominators.push_back(S(quantity.denominator));
      loaded.push_back(B(quantity.loaded));
      Put(args_[kSqlColumns], S(quantity.name), I(quantity.column));
      Put(args_[kRepQtyFormats], S(quantity.name), S(u"number"));
    }
    args_[kNumReportQuantities] = I(static_cast<int32_t>(quantities.size()));
    args_[kRepQuantity] = ArrayOf(names);
    args_[kRepQuantityDenom] = ArrayOf(denominators);
    args_[kCheckMappedOrDefaults] = ArrayOf(loaded);
  }
  static Variant ArrayOf(const std::vector<Variant>& values) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, values.size());
    for (int32_t i = 0; i < static_cast<int32_t>(values.size()); ++i) {
      EXPECT_TRUE(SafeArrayPutElement(array, &i, 1, values[i]).ok());
    }
    return Variant::FromArray(VT_VARIANT, array);
  }
  static void Put(const Variant& dictionary, const Variant& key, const Variant& item) {
    const VARIANT index[] = {key};
    ASSERT_TRUE(PutMember(dictionary.pdispVal, u"Item", index, item).ok());
  }

  // analysis_calculate by name, every argument by reference.
  Result<Variant> Calculate() {
    std::vector<Variant> references;
    for (Variant& argument : args_) references.push_back(Variant::RefTo(&argument));
    std::vector<VARIANT> passed(references.begin(), references.end());
    return CallMember(calculator_.get(), u"analysis_calculate", passed);
  }
  void CalculateOk() {
    Result<Variant> outcome = Calculate();
    ASSERT_TRUE(outcome.ok()) << Narrow(outcome.error().Description());
    EXPECT_TRUE(outcome.value().IsEmpty());
  }
  int32_t FailureNumber() {
    Result<Variant> outcome = Calculate();
    EXPECT_FALSE(outcome.ok());
    return outcome.ok() ? 0 : outcome.error().Number();
  }

  Variant& operator[](Position position) { return args_[position]; }

  ComPtr<RecordingUtilities> utilities_ = MakeObject<RecordingUtilities>();
  ComPtr<IDispatch> calculator_ =
      ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(CreateAnalysisCalculate()));
  std::array<Variant, kArgumentCount> args_;
};

// --- Row keys and quantity values ---------------------------------------------------------

TEST_F(AnalysisCalculateTest, PlainReportStoresKeysNumeratorsAndEmptyDenominators) {
  SalesReport();
  CalculateOk();
  Variant& keys = args_[kReportKeys];
  EXPECT_EQ(KeysOf(keys), (std::vector<std::u16string>{u"key_A|", u"key_B|"}));
  EXPECT_TRUE(IsText(Lookup(keys, u"key_A|"), u"key_A|"));
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyNum], u"key_A|_sales"), 12.5));
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyNum], u"key_B|_sales"), 7.0));
  EXPECT_TRUE(IsText(Lookup(args_[kReportQtyDenom], u"key_A|_sales"), u""));
  EXPECT_TRUE(IsBoolean(Lookup(args_[kReportHasDenom], u"key_A|_sales"), false));
  EXPECT_TRUE(IsText(Lookup(args_[kReportQtyFormat], u"key_A|_sales"), u"number"));
  EXPECT_EQ(CountOf(args_[kReportQtyNum]), 2);
}

TEST_F(AnalysisCalculateTest, RowKeyLayoutsByReportKind) {
  struct Case {
    bool is_compare, is_grouped;
    std::u16string_view row_key, quantity_key;
  };
  const Case cases[] = {
      // colType and rangeID end every quantity key (pages pass them empty outside comparisons).
      {false, false, u"key_K|", u"key_K|_sales_num1"},
      {false, true, u"key_K|groupkey_G^", u"key_K|groupkey_G^_sales_num1"},
      {true, false, u"key_K", u"key_K_sales_num1"},
      {true, true, u"groupkey_G^key_K", u"groupkey_G^key_K_sales_num1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.row_key));
    SetUp();
    args_[kNumRowsReport] = I(1);
    args_[kObjKeyField] = Array({S(u"K")});
    args_[kObjKeyFieldGroupby] = Array({S(u"G")});
    args_[kRowsReport] = Rows({{S(u"K"), S(u"G"), I(5)}});
    args_[kIsCompare] = B(c.is_compare);
    args_[kIsGrouped] = B(c.is_grouped);
    args_[kColType] = S(u"_num");
    args_[kRangeId] = I(1);
    SetQuantities({{u"sales", u"", 2}});
    CalculateOk();
    EXPECT_EQ(KeysOf(args_[kReportKeys]), std::vector<std::u16string>{std::u16string(c.row_key)});
    EXPECT_EQ(KeysOf(args_[kReportQtyNum]),
              std::vector<std::u16string>{std::u16string(c.quantity_key)});
  }
}

TEST_F(AnalysisCalculateTest, NullAndNumericKeyValuesBecomeText) {
  args_[kNumRowsReport] = I(2);
  args_[kObjKeyField] = Array({Variant::Null(), D(2.5)});
  CalculateOk();
  EXPECT_EQ(KeysOf(args_[kReportKeys]), (std::vector<std::u16string>{u"key_|", u"key_2.5|"}));
  SetUp();
  ASSERT_TRUE(SetThreadLocale(kGerman));
  args_[kNumRowsReport] = I(1);
  args_[kObjKeyField] = Array({D(2.5)});
  CalculateOk();
  EXPECT_EQ(KeysOf(args_[kReportKeys]), (std::vector<std::u16string>{u"key_2,5|"}));
}

TEST_F(AnalysisCalculateTest, RepeatedKeyIsStoredOnceAndItsQuantitiesAreSkipped) {
  SalesReport();
  args_[kObjKeyField] = Array({S(u"A"), S(u"A")});
  CalculateOk();
  EXPECT_EQ(KeysOf(args_[kReportKeys]), (std::vector<std::u16string>{u"key_A|"}));
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyNum], u"key_A|_sales"), 12.5));
  EXPECT_EQ(utilities_->conversions.size(), 1u);
}

TEST_F(AnalysisCalculateTest, DenominatorIsConvertedWithTheQuantitysFormatAndDigits) {
  SalesReport();
  args_[kRowsReport] = Rows({{S(u"A"), S(u"4"), I(12)}, {S(u"B"), Variant::Null(), I(7)}});
  SetQuantities({{u"sales", u"visits", 2}});
  Put(args_[kRepQtyFormats], S(u"sales"), S(u"percent"));
  Put(args_[kSqlColumnDenoms], S(u"visits"), I(1));
  Put(args_[kCacheSchemaReportQuantities], S(u"sales|numdigits"), I(3));
  CalculateOk();
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyDenom], u"key_A|_sales"), 4.0));
  EXPECT_TRUE(IsBoolean(Lookup(args_[kReportHasDenom], u"key_A|_sales"), true));
  Variant null_denominator = Lookup(args_[kReportQtyDenom], u"key_B|_sales");
  EXPECT_EQ(null_denominator.Type(), VT_I2);  // Null becomes 0
  EXPECT_TRUE(IsText(Lookup(args_[kReportQtyFormat], u"key_A|_sales"), u"percent"));
  ASSERT_EQ(utilities_->conversions.size(), 4u);
  for (const auto& conversion : utilities_->conversions) {
    EXPECT_TRUE(IsText(conversion[1], u"percent"));
    EXPECT_EQ(ToInt32(conversion[2]).value(), 3);
  }
}

TEST_F(AnalysisCalculateTest, MissingDigitsSettingIsFixedToZero) {
  SalesReport();
  CalculateOk();
  ASSERT_FALSE(utilities_->conversions.empty());
  EXPECT_EQ(utilities_->conversions[0][2].Type(), VT_I2);
  EXPECT_EQ(utilities_->conversions[0][2].iVal, 0);
}

TEST_F(AnalysisCalculateTest, ValuesThatAreNotNumbersStayAsTheyAre) {
  SalesReport();
  args_[kRowsReport] = Rows({{S(u"A"), S(u"x"), S(u"n/a")}, {S(u"B"), S(u"y"), Variant::Null()}});
  CalculateOk();
  EXPECT_TRUE(IsText(Lookup(args_[kReportQtyNum], u"key_A|_sales"), u"n/a"));
  EXPECT_EQ(Lookup(args_[kReportQtyNum], u"key_B|_sales").Type(), VT_I2);
}

TEST_F(AnalysisCalculateTest, PositionsNotLoadedAddNothing) {
  SalesReport();
  args_[kRowsReport] = Rows({{S(u"A"), I(1), I(2)}, {S(u"B"), I(3), I(4)}});
  SetQuantities({{u"cost", u"", 1, false}, {u"sales", u"", 2}});
  CalculateOk();
  EXPECT_EQ(KeysOf(args_[kReportQtyNum]),
            (std::vector<std::u16string>{u"key_A|_sales", u"key_B|_sales"}));
  EXPECT_EQ(CountOf(args_[kReportHasDenom]), 2);
}

TEST_F(AnalysisCalculateTest, NullLoadedFlagCountsAsNotLoaded) {
  SalesReport();
  args_[kCheckMappedOrDefaults] = Array({Variant(), Variant::Null()});
  CalculateOk();
  EXPECT_EQ(CountOf(args_[kReportQtyNum]), 0);
  EXPECT_EQ(CountOf(args_[kReportKeys]), 2);
}

TEST_F(AnalysisCalculateTest, DetailKeysCarryACounterOfEveryPosition) {
  SalesReport();
  args_[kIsDetail] = B(true);
  args_[kObjKeyField] = Array({S(u"A"), S(u"A")});
  args_[kRowsReport] = Rows({{S(u"A"), I(1), I(2)}, {S(u"A"), I(3), I(4)}});
  SetQuantities({{u"cost", u"", 1, false}, {u"sales", u"", 2}});
  CalculateOk();
  EXPECT_EQ(KeysOf(args_[kReportKeys]), (std::vector<std::u16string>{u"key_A|~0", u"key_A|~2"}));
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyNum], u"key_A|~2_sales"), 4.0));
}

TEST_F(AnalysisCalculateTest, DetailWithoutQuantitiesStoresOnlyTheFirstRowOfAKey) {
  args_[kIsDetail] = B(true);
  args_[kNumRowsReport] = I(3);
  args_[kObjKeyField] = Array({S(u"A"), S(u"A"), S(u"B")});
  CalculateOk();
  EXPECT_EQ(KeysOf(args_[kReportKeys]), (std::vector<std::u16string>{u"key_A|~0", u"key_B|~0"}));
}

TEST_F(AnalysisCalculateTest, FractionalRowCountTakesItsWholePart) {
  SalesReport();
  args_[kNumRowsReport] = D(1.9);
  CalculateOk();
  EXPECT_EQ(KeysOf(args_[kReportKeys]), (std::vector<std::u16string>{u"key_A|"}));
  args_[kNumRowsReport] = S(u"-3");
  CalculateOk();
  EXPECT_EQ(CountOf(args_[kReportKeys]), 1);
}

TEST_F(AnalysisCalculateTest, KeyedCollectionsServeAsArrays) {
  SalesReport();
  args_[kObjKeyField] = Keyed({{I(0), S(u"A")}, {I(1), S(u"B")}});
  args_[kRepQuantity] = Keyed({{I(1), S(u"sales")}});
  args_[kCheckMappedOrDefaults] = Array({B(true)}, 1);
  args_[kRepQuantityDenom] = Keyed({{I(1), S(u"")}});
  CalculateOk();
  EXPECT_EQ(KeysOf(args_[kReportQtyNum]),
            (std::vector<std::u16string>{u"key_A|_sales", u"key_B|_sales"}));
}

// --- Descriptions --------------------------------------------------------------------------

TEST_F(AnalysisCalculateTest, DescriptionTextEscapesTheDelimiterAndKeepsTheFirstValue) {
  args_[kNumRowsReport] = I(2);
  args_[kObjKeyField] = Array({S(u"1"), S(u"2")});
  args_[kSuppDescriptionFields] = Keyed({{S(u"name"), S(u"")}, {S(u"city"), S(u"")}});
  args_[kObjDFieldS] = Array({S(u"Smith"), S(u"O`Neil"), S(u"Jones"), S(u"Leeds")});
  CalculateOk();
  Variant& descriptions = args_[kReportDescrs];
  EXPECT_EQ(KeysOf(descriptions), (std::vector<std::u16string>{u"key_1|", u"firstDescr_key_1|",
                                                               u"key_2|", u"firstDescr_key_2|"}));
  EXPECT_TRUE(IsText(Lookup(descriptions, u"key_1|"), u"`name`Smith``city`O\\'Neil`"));
  EXPECT_TRUE(IsText(Lookup(descriptions, u"firstDescr_key_1|"), u"Smith"));
  // One index runs over the rows: the second row takes the third and fourth values.
  EXPECT_TRUE(IsText(Lookup(descriptions, u"key_2|"), u"`name`Jones``city`Leeds`"));
}

TEST_F(AnalysisCalculateTest, DescriptionFieldsMayBeAnyEnumerableCollection) {
  args_[kNumRowsReport] = I(1);
  args_[kObjKeyField] = Array({S(u"1")});
  ComPtr<FieldCollection> fields = MakeObject<FieldCollection>();
  args_[kSuppDescriptionFields] = Variant::FromDispatch(fields.get());
  args_[kObjDFieldS] = Array({S(u"Smith"), S(u"Leeds")});
  CalculateOk();
  EXPECT_TRUE(IsText(Lookup(args_[kReportDescrs], u"key_1|"), u"`name`Smith``city`Leeds`"));
}

TEST_F(AnalysisCalculateTest, DescriptionValuesRunOnEvenForRepeatedKeys) {
  args_[kNumRowsReport] = I(3);
  args_[kObjKeyField] = Array({S(u"A"), S(u"A"), S(u"B")});
  args_[kSuppDescriptionFields] = Keyed({{S(u"name"), S(u"")}});
  args_[kObjDFieldS] = Array({S(u"first"), S(u"second"), S(u"third")});
  CalculateOk();
  EXPECT_TRUE(IsText(Lookup(args_[kReportDescrs], u"key_A|"), u"`name`first`"));
  EXPECT_TRUE(IsText(Lookup(args_[kReportDescrs], u"key_B|"), u"`name`third`"));
}

TEST_F(AnalysisCalculateTest, DetailReportsReadTheDetailDescriptions) {
  args_[kIsDetail] = B(true);
  args_[kNumRowsReport] = I(1);
  args_[kObjKeyField] = Array({S(u"A")});
  args_[kSuppDescriptionFields] = Keyed({{S(u"name"), S(u"")}});
  args_[kObjDFieldS] = Array({S(u"summary")});
  args_[kObjDFieldSDetail] = Array({S(u"detail")});
  CalculateOk();
  EXPECT_TRUE(IsText(Lookup(args_[kReportDescrs], u"key_A|~0"), u"`name`detail`"));
}

TEST_F(AnalysisCalculateTest, NoDescriptionFieldsGiveEmptyTexts) {
  SalesReport();
  CalculateOk();
  EXPECT_TRUE(IsText(Lookup(args_[kReportDescrs], u"key_A|"), u""));
  EXPECT_TRUE(IsText(Lookup(args_[kReportDescrs], u"firstDescr_key_A|"), u""));
}

TEST_F(AnalysisCalculateTest, NumericDescriptionIsWrittenInTheLocaleAndKeptAsANumber) {
  for (LCID lcid : {kEnglishUnitedStates, kGerman}) {
    SCOPED_TRACE(lcid);
    SetUp();
    ASSERT_TRUE(SetThreadLocale(lcid));
    args_[kNumRowsReport] = I(1);
    args_[kObjKeyField] = Array({S(u"A")});
    args_[kSuppDescriptionFields] = Keyed({{S(u"price"), S(u"")}});
    args_[kObjDFieldS] = Array({D(1.5)});
    CalculateOk();
    EXPECT_TRUE(IsText(Lookup(args_[kReportDescrs], u"key_A|"),
                       lcid == kGerman ? u"`price`1,5`" : u"`price`1.5`"));
    EXPECT_TRUE(IsDouble(Lookup(args_[kReportDescrs], u"firstDescr_key_A|"), 1.5));
  }
}

TEST_F(AnalysisCalculateTest, NullDescriptionFailsAndKeepsWhatWasAdded) {
  args_[kNumRowsReport] = I(2);
  args_[kObjKeyField] = Array({S(u"A"), S(u"B")});
  args_[kSuppDescriptionFields] = Keyed({{S(u"name"), S(u"")}});
  args_[kObjDFieldS] = Array({S(u"Smith"), Variant::Null()});
  EXPECT_EQ(FailureNumber(), 94);
  EXPECT_EQ(KeysOf(args_[kReportKeys]), (std::vector<std::u16string>{u"key_A|"}));
}

// --- Other rows ----------------------------------------------------------------------------

TEST_F(AnalysisCalculateTest, OtherRowsAreUntouchedWithoutGetOther) {
  SalesReport();
  args_[kIsGrouped] = B(true);
  args_[kObjKeyFieldGroupby] = Array({S(u"G"), S(u"G")});
  args_[kNumRowsOther] = I(2);
  args_[kNumOfGroups] = I(7);
  CalculateOk();
  EXPECT_EQ(args_[kNumOfGroups].Type(), VT_I4);
  EXPECT_EQ(args_[kNumOfGroups].lVal, 7);
  EXPECT_EQ(CountOf(args_[kReportQtyOther]), 0);
  EXPECT_EQ(CountOf(args_[kReportQtyOtherDenom]), 0);
  EXPECT_EQ(CountOf(args_[kOtherGroupVals]), 0);
}

TEST_F(AnalysisCalculateTest, OtherRowOfAPlainReport) {
  SetQuantities({{u"sales", u"visits", 2}});
  args_[kColType] = S(u"_num");  // only comparison reports add the range to other-keys
  args_[kGetOther] = B(true);
  args_[kNumRowsOther] = I(1);
  args_[kRowOther] = Rows({{S(u"99"), S(u"10")}});
  Put(args_[kSqlOther], S(u"sales"), I(1));
  Put(args_[kSqlOtherDenoms], S(u"visits"), I(0));
  CalculateOk();
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyOther], u"other_sales"), 10.0));
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyOtherDenom], u"other_sales"), 99.0));
  EXPECT_TRUE(IsText(Lookup(args_[kReportQtyFormat], u"other_sales"), u"number"));
  EXPECT_EQ(CountOf(args_[kReportHasDenom]), 0);
}

TEST_F(AnalysisCalculateTest, GroupedOtherRowsCountGroupsAndKeepTheirGroupValues) {
  SetQuantities({{u"sales", u"", 2}});
  args_[kIsGrouped] = B(true);
  args_[kGetOther] = B(true);
  args_[kNumRowsOther] = I(2);
  args_[kRowOther] = Rows({{S(u"North"), I(3)}, {S(u"South"), I(4)}});
  Put(args_[kSqlOther], S(u"keyFieldGroupby"), I(0));
  Put(args_[kSqlOther], S(u"sales"), I(1));
  CalculateOk();
  EXPECT_EQ(args_[kNumOfGroups].Type(), VT_I4);
  EXPECT_EQ(args_[kNumOfGroups].lVal, 2);
  EXPECT_TRUE(IsText(Lookup(args_[kOtherGroupVals], I(1)), u"North"));
  EXPECT_TRUE(IsText(Lookup(args_[kOtherGroupVals], I(2)), u"South"));
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyOther], u"other_sales|grouprow_North"), 3.0));
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyOther], u"other_sales|grouprow_South"), 4.0));
  EXPECT_TRUE(IsText(Lookup(args_[kReportQtyOtherDenom], u"other_sales|grouprow_South"), u""));
}

TEST_F(AnalysisCalculateTest, GroupedOtherRowsWithNothingLoadedLeaveTheGroupCountAlone) {
  SetQuantities({{u"sales", u"", 2, false}});
  args_[kIsGrouped] = B(true);
  args_[kGetOther] = B(true);
  args_[kNumRowsOther] = I(2);
  args_[kNumOfGroups] = I(0);
  CalculateOk();
  EXPECT_EQ(args_[kNumOfGroups].lVal, 0);
  EXPECT_EQ(CountOf(args_[kOtherGroupVals]), 0);
}

TEST_F(AnalysisCalculateTest, ComparisonOtherKeysEndWithTheRange) {
  SetQuantities({{u"sales", u"", 1}});
  args_[kIsCompare] = B(true);
  args_[kIsGrouped] = B(true);
  args_[kColType] = S(u"_num");
  args_[kRangeId] = S(u"2");
  args_[kGetOther] = B(true);
  args_[kNumRowsOther] = I(1);
  args_[kRowOther] = Rows({{S(u"G1"), I(8)}});
  Put(args_[kSqlOther], S(u"keyFieldGroupby"), I(0));
  Put(args_[kSqlOther], S(u"sales"), I(1));
  CalculateOk();
  EXPECT_EQ(KeysOf(args_[kReportQtyOther]),
            (std::vector<std::u16string>{u"other_sales|grouprow_G1^_num2"}));
}

TEST_F(AnalysisCalculateTest, UngroupedOtherRowsShareOneKeyAndTheFirstWins) {
  SetQuantities({{u"sales", u"", 0}});
  args_[kGetOther] = B(true);
  args_[kNumRowsOther] = I(2);
  args_[kRowOther] = Rows({{I(1)}, {I(2)}});
  Put(args_[kSqlOther], S(u"sales"), I(0));
  CalculateOk();
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyOther], u"other_sales"), 1.0));
  EXPECT_EQ(CountOf(args_[kReportQtyOther]), 1);
}

// --- Repeated calls and failures ---------------------------------------------------------

TEST_F(AnalysisCalculateTest, FurtherCallAddsOnlyKeysOfAnotherRange) {
  SalesReport();
  args_[kIsCompare] = B(true);
  args_[kRangeId] = S(u"1");
  CalculateOk();
  CalculateOk();  // the same range again: every key exists, nothing is added, nothing fails
  EXPECT_EQ(CountOf(args_[kReportQtyNum]), 2);
  args_[kRangeId] = S(u"2");
  args_[kRowsReport] = Rows({{S(u"A"), S(u"x"), I(1)}, {S(u"B"), S(u"y"), I(2)}});
  CalculateOk();
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyNum], u"key_A_sales1"), 12.5));
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyNum], u"key_A_sales2"), 1.0));
  EXPECT_EQ(CountOf(args_[kReportKeys]), 2);
}

TEST_F(AnalysisCalculateTest, RowOutsideTheFetchedRowsFailsAndKeepsEarlierRows) {
  SalesReport();
  args_[kNumRowsReport] = I(3);
  args_[kObjKeyField] = Array({S(u"A"), S(u"B"), S(u"C")});
  EXPECT_EQ(FailureNumber(), 9);
  EXPECT_EQ(CountOf(args_[kReportQtyNum]), 2);
  EXPECT_EQ(CountOf(args_[kReportKeys]), 3);
}

TEST_F(AnalysisCalculateTest, ColumnOutsideTheFetchedRowsFails) {
  SalesReport();
  Put(args_[kSqlColumns], S(u"sales"), I(3));
  EXPECT_EQ(FailureNumber(), 9);
}

TEST_F(AnalysisCalculateTest, DescriptionKeyAlreadyPresentFailsWithTheDictionarysError) {
  SalesReport();
  args_[kReportDescrs] = Keyed({{S(u"key_B|"), S(u"old")}});
  EXPECT_EQ(FailureNumber(), 457);
  EXPECT_TRUE(Has(args_[kReportKeys], S(u"key_B|")));
  EXPECT_TRUE(IsText(Lookup(args_[kReportDescrs], u"key_B|"), u"old"));
}

TEST_F(AnalysisCalculateTest, FailingUtilityCallStopsTheCall) {
  SalesReport();
  utilities_->failure = 1234;
  EXPECT_EQ(FailureNumber(), 1234);
  EXPECT_EQ(CountOf(args_[kReportQtyNum]), 0);
}

TEST_F(AnalysisCalculateTest, OutputThatIsNoObjectFails) {
  SalesReport();
  args_[kReportKeys] = S(u"not a dictionary");
  EXPECT_EQ(FailureNumber(), 424);
  args_[kReportKeys] = Variant::FromDispatch(nullptr);
  EXPECT_EQ(FailureNumber(), 91);
}

TEST_F(AnalysisCalculateTest, RowCountBeyondTheCounterOverflows) {
  args_[kNumRowsReport] = D(3e9);
  EXPECT_EQ(FailureNumber(), 6);
  args_[kNumRowsReport] = Variant::Null();
  EXPECT_EQ(FailureNumber(), 94);
  args_[kNumRowsReport] = S(u"many");
  EXPECT_EQ(FailureNumber(), 13);
}

TEST_F(AnalysisCalculateTest, NonNumericFlagIsATypeMismatch) {
  args_[kIsGrouped] = S(u"grouped");
  EXPECT_EQ(FailureNumber(), 13);
}

// --- The dispatch interface -------------------------------------------------------------

TEST_F(AnalysisCalculateTest, AllThirtySixArgumentsAreRequired) {
  std::vector<Variant> references;
  for (size_t i = 0; i + 1 < kArgumentCount; ++i) references.push_back(Variant::RefTo(&args_[i]));
  std::vector<VARIANT> passed(references.begin(), references.end());
  Result<Variant> outcome = CallMember(calculator_.get(), u"analysis_calculate", passed);
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Hresult(), DISP_E_BADPARAMCOUNT);
}

TEST_F(AnalysisCalculateTest, ArgumentsCanBeNamed) {
  SalesReport();
  args_[kIsGrouped] = B(true);
  args_[kObjKeyFieldGroupby] = Array({S(u"G"), S(u"G")});
  args_[kGetOther] = B(true);
  args_[kNumRowsOther] = I(1);
  args_[kRowOther] = Rows({{S(u"North"), I(3)}});
  Put(args_[kSqlOther], S(u"keyFieldGroupby"), I(0));
  Put(args_[kSqlOther], S(u"sales"), I(1));
  std::vector<std::u16string> names{u"analysis_calculate"};
  for (const char16_t* name : kParameterNames) names.emplace_back(name);
  std::vector<LPOLESTR> name_pointers;
  for (std::u16string& name : names) name_pointers.push_back(name.data());
  std::vector<DISPID> dispids(names.size());
  ASSERT_EQ(calculator_->GetIDsOfNames(GUID_NULL, name_pointers.data(), names.size(), 0,
                                       dispids.data()),
            S_OK);
  for (size_t i = 0; i < kArgumentCount; ++i) EXPECT_EQ(dispids[i + 1], static_cast<DISPID>(i));
  // Named arguments travel in any order: here first to last, where positional ones go last
  // to first.
  std::vector<Variant> references;
  for (Variant& argument : args_) references.push_back(Variant::RefTo(&argument));
  std::vector<VARIANT> passed(references.begin(), references.end());
  DISPPARAMS params{passed.data(), dispids.data() + 1, kArgumentCount, kArgumentCount};
  EXCEPINFO exception{};
  Variant result;
  ASSERT_EQ(calculator_->Invoke(dispids[0], GUID_NULL, 0, DISPATCH_METHOD, &params, &result,
                                &exception, nullptr),
            S_OK);
  EXPECT_TRUE(IsDouble(Lookup(args_[kReportQtyNum], u"key_A|groupkey_G^_sales"), 12.5));
  EXPECT_EQ(args_[kNumOfGroups].lVal, 1);
}

TEST_F(AnalysisCalculateTest, ObjectNamesItsClass) {
  ComPtr<IObjectTypeName> named = calculator_.As<IObjectTypeName>(IID_IObjectTypeName);
  ASSERT_TRUE(named);
  EXPECT_EQ(named->TypeName(), u"AnalysisCalculate");
}

}  // namespace
