// AnalysisCalculate: loads the rows a report page fetched into the dictionaries the render
// methods read. Everything the page passes is reached late-bound, as the page's own script
// would reach it: dictionaries through "Exists", "Add", "keys" and their default member,
// arrays by index, the UtilitiesClass through "fixZero" and "changeValueFormat".
#include "tabulix32/utilities/analysis_calculate.h"

#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "tabulix32/utilities/analysis_keys.h"
#include "tabulix32/utilities/report_data_internal.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using namespace analysis_keys;
using namespace report_data;
using namespace utilities_internal;

namespace {

// The arguments of analysis_calculate, in order.
enum ArgumentIndex : size_t {
  kUc,
  kNumRowsReport,
  kColType,
  kRangeId,
  kObjKeyField,
  kObjKeyFieldGroupby,
  kObjDFieldS,
  kObjDFieldSDetail,
  kSqlColumns,
  kSqlColumnDenoms,
  kNumReportQuantities,
  kCheckMappedOrDefaults,
  kRowsReport,
  kIsCompare,
  kIsGrouped,
  kIsDetail,
  kSuppDescriptionFields,
  kReportKeys,
  kReportDescrs,
  kRepQuantity,
  kRepQuantityDenom,
  kRepQtyFormats,
  kReportQtyNum,
  kReportQtyDenom,
  kReportQtyFormat,
  kReportHasDenom,
  kCacheSchemaReportQuantities,
  kGetOther,
  kRowOther,
  kReportQtyOther,
  kReportQtyOtherDenom,
  kSqlOther,
  kSqlOtherDenoms,
  kNumRowsOther,
  kNumOfGroups,
  kOtherGroupVals,
  kArgumentCount,
};

constexpr std::u16string_view kParameterNames =
    u"uc,numRowsReport,colType,rangeID,objKeyField,objKeyFieldGroupby,objDField_s,"
    u"objDField_sDetail,sqlColumns,sqlColumnDenoms,numReportQuantities,checkMappedOrDefaults,"
    u"rowsReport,isCompare,isGrouped,isDetail,suppDescriptionFields,reportKeys,reportDescrs,"
    u"repQuantity,repQuantityDenom,repQtyFormats,reportQtyNum,reportQtyDenom,reportQtyFormat,"
    u"reportHasDenom,cache_schemaReportQuantities,getOther,rowOther,reportQtyOther,"
    u"reportQtyOtherDenom,sqlOther,sqlOtherDenoms,numRowsOther,numOfGroups,otherGroupVals";

// The column index of the other rows' group key in `sqlOther`.
constexpr std::u16string_view kGroupKeyColumnName = u"keyFieldGroupby";
// Suffix of a quantity's decimals setting in cache_schemaReportQuantities.
constexpr std::u16string_view kNumDigitsSuffix = u"|numdigits";
constexpr std::u16string_view kFixZero = u"fixZero";
constexpr std::u16string_view kChangeValueFormat = u"changeValueFormat";

// A text as a value; past the longest string it fails with out of string space (14).
Result<Variant> TextValue(std::u16string_view text) { return TextResult(text); }

// One row's description: the stored text and the first field's value.
struct Description {
  std::u16string text;
  Variant first = Variant::FromString(u"");
};

// One call of analysis_calculate: the arguments and the counters that run across rows.
class Calculation {
 public:
  explicit Calculation(const DispatchArguments& arguments) : arguments_(arguments) {}

  Result<void> Run();

 private:
  const VARIANT& At(ArgumentIndex index) const { return arguments_[index]; }

  Result<void> LoadReportRow(int32_t row);
  Result<std::u16string> RowKeyOf(int32_t row);
  Result<Description> NextDescription();
  Result<void> StoreRow(std::u16string_view row_key, const Description& description);
  Result<void> LoadQuantity(int32_t row, int32_t position, std::u16string_view row_key);
  Result<void> LoadOtherRows();
  Result<void> CountOtherGroup(int32_t row);
  Result<void> LoadOtherQuantity(int32_t row, int32_t position);

  Result<bool> IsLoaded(int32_t position);
  Result<bool> HasDenominator(const VARIANT& denominator_name);
  Result<std::u16string> RangeSuffix();
  Result<Variant> Cell(ArgumentIndex rows, const VARIANT& column, int32_t row);
  Result<Variant> NumDigits(const VARIANT& quantity);
  Result<Variant> ChangeValueFormat(const VARIANT& value, const VARIANT& format,
                                    const VARIANT& digits);
  Result<bool> Exists(ArgumentIndex dictionary, const VARIANT& key);
  Result<void> Add(ArgumentIndex dictionary, const VARIANT& key, const VARIANT& item);

  const DispatchArguments& arguments_;
  bool is_compare_ = false;
  bool is_grouped_ = false;
  bool is_detail_ = false;
  // Grows by one for every quantity position of every row, loaded or not.
  int64_t detail_counter_ = 0;
  // The next description value: one index over all rows, never reset.
  int32_t description_index_ = 0;
  // The keys of suppDescriptionFields, read at the first row.
  std::optional<std::vector<Variant>> description_fields_;
};

Result<void> Calculation::Run() {
  is_compare_ = TRY(IsTrue(At(kIsCompare)));
  is_grouped_ = TRY(IsTrue(At(kIsGrouped)));
  is_detail_ = TRY(IsTrue(At(kIsDetail)));
  int32_t rows = TRY(LoopCount(At(kNumRowsReport)));
  for (int32_t row = 0; row < rows; ++row) TRY(LoadReportRow(row));
  return LoadOtherRows();
}

Result<void> Calculation::LoadReportRow(int32_t row) {
  std::u16string row_key = TRY(RowKeyOf(row));
  if (is_detail_) AppendDetailCounter(row_key, detail_counter_);
  Description description = TRY(NextDescription());
  TRY(StoreRow(row_key, description));
  int32_t positions = TRY(LoopCount(At(kNumReportQuantities)));
  for (int32_t position = 1; position <= positions; ++position) {
    if (TRY(IsLoaded(position))) TRY(LoadQuantity(row, position, row_key));
    ++detail_counter_;
  }
  return {};
}

Result<std::u16string> Calculation::RowKeyOf(int32_t row) {
  std::u16string key = TRY(ConcatenatedText(TRY(ItemAt(At(kObjKeyField), row))));
  std::u16string group_key;
  if (is_grouped_) {
    group_key = TRY(ConcatenatedText(TRY(ItemAt(At(kObjKeyFieldGroupby), row))));
  }
  return RowKey(LayoutOf(is_compare_, is_grouped_), key, group_key);
}

Result<Description> Calculation::NextDescription() {
  if (!description_fields_) {
    description_fields_ = TRY(KeysOf(At(kSuppDescriptionFields)));
  }
  const VARIANT& values = At(is_detail_ ? kObjDFieldSDetail : kObjDFieldS);
  Description description;
  for (size_t n = 0; n < description_fields_->size(); ++n) {
    if (description_index_ == std::numeric_limits<int32_t>::max()) return ErrorNumber::Overflow;
    Variant value = TRY(ItemAt(values, description_index_++));
    if (n == 0) description.first = TRY(ValueOf(value));
    std::u16string field = TRY(ConcatenatedText((*description_fields_)[n]));
    // Description values must be text: Null fails with invalid use of Null.
    std::u16string text = TRY(RequiredText(value));
    AppendDescriptionField(description.text, field, text);
    if (description.text.size() > kMaxBstrLength) return ErrorNumber::OutOfStringSpace;
  }
  return description;
}

// A new row key is stored with its description; a repeated one keeps its first description.
Result<void> Calculation::StoreRow(std::u16string_view row_key, const Description& description) {
  Variant key = TRY(TextValue(row_key));
  if (TRY(Exists(kReportKeys, key))) return {};
  TRY(Add(kReportKeys, key, key));
  TRY(Add(kReportDescrs, key, TRY(TextValue(description.text))));
  std::u16string first_key(kFirstDescriptionPrefix);
  first_key.append(row_key);
  return Add(kReportDescrs, TRY(TextValue(first_key)), description.first);
}

Result<void> Calculation::LoadQuantity(int32_t row, int32_t position,
                                       std::u16string_view row_key) {
  Variant quantity = TRY(ItemAt(At(kRepQuantity), position));
  std::u16string quantity_name = TRY(ConcatenatedText(quantity));
  Variant key = TRY(TextValue(QuantityKey(row_key, quantity_name, TRY(RangeSuffix()))));
  if (TRY(Exists(kReportQtyNum, key))) return {};
  Variant format = TRY(ItemAt(At(kRepQtyFormats), quantity));
  Variant digits = TRY(NumDigits(quantity));
  Variant column = TRY(ItemAt(At(kSqlColumns), quantity));
  Variant numerator = TRY(ChangeValueFormat(TRY(Cell(kRowsReport, column, row)), format, digits));
  Variant denominator_name = TRY(ItemAt(At(kRepQuantityDenom), position));
  bool has_denominator = TRY(HasDenominator(denominator_name));
  Variant denominator = Variant::FromString(u"");
  if (has_denominator) {
    Variant denominator_column = TRY(ItemAt(At(kSqlColumnDenoms), denominator_name));
    denominator = TRY(
        ChangeValueFormat(TRY(Cell(kRowsReport, denominator_column, row)), format, digits));
  }
  TRY(Add(kReportQtyDenom, key, denominator));
  TRY(Add(kReportHasDenom, key, Variant::FromBool(has_denominator)));
  TRY(Add(kReportQtyNum, key, numerator));
  return Add(kReportQtyFormat, key, format);
}

Result<void> Calculation::LoadOtherRows() {
  if (!TRY(IsTrue(At(kGetOther)))) return {};
  int32_t rows = TRY(LoopCount(At(kNumRowsOther)));
  for (int32_t row = 0; row < rows; ++row) {
    int32_t positions = TRY(LoopCount(At(kNumReportQuantities)));
    for (int32_t position = 1; position <= positions; ++position) {
      if (!TRY(IsLoaded(position))) continue;
      if (is_grouped_) TRY(CountOtherGroup(row));
      TRY(LoadOtherQuantity(row, position));
    }
  }
  return {};
}

// numOfGroups = row + 1 (the caller's variable), and that group's key value, once.
Result<void> Calculation::CountOtherGroup(int32_t row) {
  Variant groups = Variant::FromI4(row + 1);
  TRY(arguments_.Assign(kNumOfGroups, groups));
  if (TRY(Exists(kOtherGroupVals, groups))) return {};
  Variant column = TRY(ItemAt(At(kSqlOther), Variant::FromString(kGroupKeyColumnName)));
  return Add(kOtherGroupVals, groups, TRY(Cell(kRowOther, column, row)));
}

Result<void> Calculation::LoadOtherQuantity(int32_t row, int32_t position) {
  Variant quantity = TRY(ItemAt(At(kRepQuantity), position));
  std::u16string quantity_name = TRY(ConcatenatedText(quantity));
  std::u16string group_value;
  if (is_grouped_) {
    Variant column = TRY(ItemAt(At(kSqlOther), Variant::FromString(kGroupKeyColumnName)));
    group_value = TRY(ConcatenatedText(TRY(Cell(kRowOther, column, row))));
  }
  std::u16string suffix = is_compare_ ? TRY(RangeSuffix()) : std::u16string();
  Variant key = TRY(TextValue(
      OtherKey(quantity_name, is_grouped_, group_value, is_compare_, suffix)));
  if (TRY(Exists(kReportQtyOther, key))) return {};
  Variant format = TRY(ItemAt(At(kRepQtyFormats), quantity));
  Variant digits = TRY(NumDigits(quantity));
  Variant column = TRY(ItemAt(At(kSqlOther), quantity));
  TRY(Add(kReportQtyOther, key,
          TRY(ChangeValueFormat(TRY(Cell(kRowOther, column, row)), format, digits))));
  Variant denominator_name = TRY(ItemAt(At(kRepQuantityDenom), position));
  Variant denominator = Variant::FromString(u"");
  if (TRY(HasDenominator(denominator_name))) {
    Variant denominator_column = TRY(ItemAt(At(kSqlOtherDenoms), denominator_name));
    denominator = TRY(
        ChangeValueFormat(TRY(Cell(kRowOther, denominator_column, row)), format, digits));
  }
  TRY(Add(kReportQtyOtherDenom, key, denominator));
  return Add(kReportQtyFormat, key, format);
}

Result<bool> Calculation::IsLoaded(int32_t position) {
  return IsTrue(TRY(ItemAt(At(kCheckMappedOrDefaults), position)));
}

// Whether the denominator name has a length: Len(Null) is Null, which counts as false.
Result<bool> Calculation::HasDenominator(const VARIANT& denominator_name) {
  std::u16string name = TRY(ConcatenatedText(denominator_name));
  return !name.empty();
}

// colType & rangeID, which end every quantity key.
Result<std::u16string> Calculation::RangeSuffix() {
  std::u16string suffix = TRY(ConcatenatedText(At(kColType)));
  suffix += TRY(ConcatenatedText(At(kRangeId)));
  return suffix;
}

// rows(column, row) of a fetched two-dimensional array.
Result<Variant> Calculation::Cell(ArgumentIndex rows, const VARIANT& column, int32_t row) {
  Variant row_index = Variant::FromI4(row);
  const VARIANT indices[] = {column, row_index};
  return ItemAt(At(rows), indices);
}

// uc.fixZero(cache_schemaReportQuantities(quantity & "|numdigits")).
Result<Variant> Calculation::NumDigits(const VARIANT& quantity) {
  std::u16string setting = TRY(ConcatenatedText(quantity));
  setting.append(kNumDigitsSuffix);
  Variant setting_key = TRY(TextValue(setting));
  Variant digits = TRY(ItemAt(At(kCacheSchemaReportQuantities), setting_key));
  ComPtr<IDispatch> utilities = TRY(ObjectOf(At(kUc)));
  const VARIANT fix_arguments[] = {digits};
  return CallMember(utilities.get(), kFixZero, fix_arguments);
}

Result<Variant> Calculation::ChangeValueFormat(const VARIANT& value, const VARIANT& format,
                                               const VARIANT& digits) {
  ComPtr<IDispatch> utilities = TRY(ObjectOf(At(kUc)));
  const VARIANT change_arguments[] = {value, format, digits};
  return CallMember(utilities.get(), kChangeValueFormat, change_arguments);
}

Result<bool> Calculation::Exists(ArgumentIndex dictionary, const VARIANT& key) {
  KeyedItems items = TRY(KeyedItems::Of(At(dictionary)));
  return items.Exists(key);
}

Result<void> Calculation::Add(ArgumentIndex dictionary, const VARIANT& key, const VARIANT& item) {
  KeyedItems items = TRY(KeyedItems::Of(At(dictionary)));
  return items.Add(key, item);
}

}  // namespace

std::span<const DispatchMember<AnalysisCalculate>> AnalysisCalculate::Members() {
  static constexpr DispatchMember<AnalysisCalculate> kMembers[] = {
      {u"analysis_calculate", 1, kMethod, kArgumentCount, kArgumentCount,
       &AnalysisCalculate::analysis_calculate, kParameterNames},
  };
  return kMembers;
}

Result<Variant> AnalysisCalculate::analysis_calculate(const DispatchArguments& arguments) {
  Calculation calculation(arguments);
  TRY(calculation.Run());
  return Variant();
}

IUnknown* CreateAnalysisCalculate() {
  return static_cast<IDispatch*>(new (std::nothrow) AnalysisCalculate());
}
