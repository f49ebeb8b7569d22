#include "platform/ado/data_types.h"

#include <cmath>
#include <algorithm>
#include <limits>
#include <optional>

#include "platform/automation/conversion.h"
#include "platform/automation/date_time.h"
#include "platform/automation/safearray.h"

namespace {

struct SqlTypeEntry {
  int16_t sql_type;
  int32_t ado_type;
  FetchKind fetch;
  int32_t fixed_size;  // 0: the column's own size
};

constexpr SqlTypeEntry kSqlTypes[] = {
    {odbc::kSqlChar, adChar, FetchKind::Text, 0},
    {odbc::kSqlVarChar, adVarChar, FetchKind::Text, 0},
    {odbc::kSqlLongVarChar, adLongVarChar, FetchKind::Text, 0},
    {odbc::kSqlWChar, adWChar, FetchKind::Text, 0},
    {odbc::kSqlWVarChar, adVarWChar, FetchKind::Text, 0},
    {odbc::kSqlWLongVarChar, adLongVarWChar, FetchKind::Text, 0},
    {odbc::kSqlNumeric, adNumeric, FetchKind::Decimal, 19},
    {odbc::kSqlDecimal, adNumeric, FetchKind::Decimal, 19},
    {odbc::kSqlSmallInt, adSmallInt, FetchKind::Integer, 2},
    {odbc::kSqlInteger, adInteger, FetchKind::Integer, 4},
    {odbc::kSqlTinyInt, adTinyInt, FetchKind::Integer, 1},
    {odbc::kSqlBigInt, adBigInt, FetchKind::BigInteger, 8},
    {odbc::kSqlReal, adSingle, FetchKind::Single, 4},
    {odbc::kSqlFloat, adDouble, FetchKind::Double, 8},
    {odbc::kSqlDouble, adDouble, FetchKind::Double, 8},
    {odbc::kSqlBit, adBoolean, FetchKind::Boolean, 2},
    {odbc::kSqlTypeDate, adDBDate, FetchKind::Date, 6},
    {odbc::kSqlDateTime, adDBDate, FetchKind::Date, 6},
    {odbc::kSqlTypeTime, adDBTime, FetchKind::Time, 6},
    {odbc::kSqlTime2, adDBTime, FetchKind::Time, 6},
    {odbc::kSqlTypeTimestamp, adDBTimeStamp, FetchKind::Timestamp, 16},
    {odbc::kSqlTimestamp2, adDBTimeStamp, FetchKind::Timestamp, 16},
    {odbc::kSqlBinary, adBinary, FetchKind::Binary, 0},
    {odbc::kSqlVarBinary, adVarBinary, FetchKind::Binary, 0},
    {odbc::kSqlLongVarBinary, adLongVarBinary, FetchKind::Binary, 0},
    {odbc::kSqlGuid, adGUID, FetchKind::Text, 16},
};

struct AdoTypeEntry {
  int32_t ado_type;
  VARTYPE variant_type;
  int16_t sql_type;
};

constexpr AdoTypeEntry kAdoTypes[] = {
    {adSmallInt, VT_I2, odbc::kSqlSmallInt},     {adTinyInt, VT_I2, odbc::kSqlSmallInt},
    {adUnsignedTinyInt, VT_UI1, odbc::kSqlSmallInt}, {adInteger, VT_I4, odbc::kSqlInteger},
    {adUnsignedSmallInt, VT_I4, odbc::kSqlInteger}, {adUnsignedInt, VT_R8, odbc::kSqlBigInt},
    {adBigInt, VT_R8, odbc::kSqlBigInt},         {adUnsignedBigInt, VT_R8, odbc::kSqlBigInt},
    {adSingle, VT_R4, odbc::kSqlReal},           {adDouble, VT_R8, odbc::kSqlDouble},
    {adCurrency, VT_CY, odbc::kSqlDecimal},      {adDecimal, VT_CY, odbc::kSqlDecimal},
    {adNumeric, VT_CY, odbc::kSqlNumeric},       {adVarNumeric, VT_CY, odbc::kSqlNumeric},
    {adBoolean, VT_BOOL, odbc::kSqlBit},         {adDate, VT_DATE, odbc::kSqlTypeTimestamp},
    {adDBDate, VT_DATE, odbc::kSqlTypeDate},     {adDBTime, VT_DATE, odbc::kSqlTypeTime},
    {adDBTimeStamp, VT_DATE, odbc::kSqlTypeTimestamp},
    {adBSTR, VT_BSTR, odbc::kSqlWVarChar},       {adChar, VT_BSTR, odbc::kSqlVarChar},
    {adVarChar, VT_BSTR, odbc::kSqlVarChar},     {adLongVarChar, VT_BSTR, odbc::kSqlLongVarChar},
    {adWChar, VT_BSTR, odbc::kSqlWVarChar},      {adVarWChar, VT_BSTR, odbc::kSqlWVarChar},
    {adLongVarWChar, VT_BSTR, odbc::kSqlWLongVarChar}, {adGUID, VT_BSTR, odbc::kSqlGuid},
    {adBinary, VT_ARRAY | VT_UI1, odbc::kSqlVarBinary},
    {adVarBinary, VT_ARRAY | VT_UI1, odbc::kSqlVarBinary},
    {adLongVarBinary, VT_ARRAY | VT_UI1, odbc::kSqlLongVarBinary},
};

const AdoTypeEntry* FindAdoType(int32_t ado_type) {
  for (const AdoTypeEntry& entry : kAdoTypes) {
    if (entry.ado_type == ado_type) return &entry;
  }
  return nullptr;
}

// Currency text "-123.4567": the amount × 10000 when exact and in range.
std::optional<int64_t> CurrencyUnits(std::u16string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  __int128 units = 0;
  int fraction_digits = -1;
  bool any_digit = false;
  for (; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'.' && fraction_digits < 0) {
      fraction_digits = 0;
      continue;
    }
    if (c < u'0' || c > u'9') return std::nullopt;
    any_digit = true;
    if (fraction_digits >= 4) {
      if (c != u'0') return std::nullopt;  // more precision than currency keeps
      continue;
    }
    units = units * 10 + (c - u'0');
    if (fraction_digits >= 0) ++fraction_digits;
    if (units > std::numeric_limits<int64_t>::max()) return std::nullopt;
  }
  if (!any_digit) return std::nullopt;
  for (int d = std::max(fraction_digits, 0); d < 4; ++d) {
    units *= 10;
    if (units > std::numeric_limits<int64_t>::max()) return std::nullopt;
  }
  return static_cast<int64_t>(negative ? -units : units);
}

Result<void> FillText(const VARIANT& value, ParameterBuffer& buffer) {
  Bstr text = TRY(ToBstr(value));
  buffer.text.assign(text.view());
  buffer.c_type = odbc::kCWChar;
  buffer.indicator = static_cast<odbc::SqlLen>(buffer.text.size() * sizeof(char16_t));
  buffer.column_size = std::max<odbc::SqlULen>(buffer.text.size(), 1);
  return {};
}

Result<void> FillBytes(const VARIANT& value, ParameterBuffer& buffer) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt != (VT_ARRAY | VT_UI1) || shallow.parray == nullptr) return ErrorNumber::TypeMismatch;
  const uint8_t* data = static_cast<const uint8_t*>(shallow.parray->pvData);
  buffer.bytes.assign(data, data + SafeArrayElementCount(shallow.parray));
  buffer.c_type = odbc::kCBinary;
  buffer.indicator = static_cast<odbc::SqlLen>(buffer.bytes.size());
  buffer.column_size = std::max<odbc::SqlULen>(buffer.bytes.size(), 1);
  return {};
}

// The value converted to what a parameter of type `variant_type` binds.
Result<void> FillConverted(const VARIANT& value, VARTYPE variant_type, ParameterBuffer& buffer) {
  switch (variant_type) {
    case VT_I2: case VT_I4: case VT_UI1:
      buffer.integer = TRY(ToInt32(value));
      buffer.c_type = odbc::kCSLong;
      return {};
    case VT_R4: case VT_R8: {
      double real = TRY(ToDouble(value));
      // A whole number bound for a BIGINT column travels as an integer.
      if (buffer.sql_type == odbc::kSqlBigInt && std::fabs(real) < 9.2e18 && real == std::trunc(real)) {
        buffer.big_integer = static_cast<int64_t>(real);
        buffer.c_type = odbc::kCSBigInt;
        return {};
      }
      buffer.real = real;
      buffer.c_type = odbc::kCDouble;
      return {};
    }
    case VT_CY: {
      // Exact: the amount as decimal text.
      Variant amount = TRY(ChangeType(value, VT_CY));
      int64_t units = amount.cyVal.int64;
      uint64_t magnitude = units < 0 ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
      std::string digits = std::to_string(magnitude / 10000) + "." +
                           std::string(4 - std::to_string(magnitude % 10000).size(), '0') +
                           std::to_string(magnitude % 10000);
      if (units < 0) digits.insert(0, 1, '-');
      buffer.text.assign(digits.begin(), digits.end());
      buffer.c_type = odbc::kCWChar;
      buffer.indicator = static_cast<odbc::SqlLen>(buffer.text.size() * sizeof(char16_t));
      buffer.column_size = 19;
      buffer.digits = 4;
      return {};
    }
    case VT_BOOL:
      buffer.integer = TRY(ToBool(value)) ? 1 : 0;
      buffer.c_type = odbc::kCSLong;
      return {};
    case VT_DATE: {
      // A date or time column gets only its part, so the driver stores no more than that.
      odbc::TimestampStruct moment = TRY(DateToTimestamp(TRY(ToDate(value))));
      if (buffer.sql_type == odbc::kSqlTypeDate) {
        buffer.date = {moment.year, moment.month, moment.day};
        buffer.c_type = odbc::kCTypeDate;
        buffer.column_size = 10;
        buffer.indicator = sizeof(buffer.date);
      } else if (buffer.sql_type == odbc::kSqlTypeTime) {
        buffer.time = {moment.hour, moment.minute, moment.second};
        buffer.c_type = odbc::kCTypeTime;
        buffer.column_size = 8;
        buffer.indicator = sizeof(buffer.time);
      } else {
        buffer.timestamp = moment;
        buffer.c_type = odbc::kCTypeTimestamp;
        buffer.column_size = 19;
        buffer.indicator = sizeof(buffer.timestamp);
      }
      return {};
    }
    case VT_ARRAY | VT_UI1:
      return FillBytes(value, buffer);
    default:
      return FillText(value, buffer);
  }
}

}  // namespace

ColumnInfo DescribeColumn(std::u16string name, int16_t sql_type, odbc::SqlULen size,
                          int16_t digits, bool nullable) {
  ColumnInfo column;
  column.name = std::move(name);
  column.sql_type = sql_type;
  int32_t fixed_size = 0;
  for (const SqlTypeEntry& entry : kSqlTypes) {
    if (entry.sql_type != sql_type) continue;
    column.ado_type = entry.ado_type;
    column.fetch = entry.fetch;
    fixed_size = entry.fixed_size;
    break;
  }
  constexpr odbc::SqlULen kMaxDefinedSize = std::numeric_limits<int32_t>::max();
  column.defined_size = fixed_size != 0 ? fixed_size
                                        : static_cast<int32_t>(std::min(size, kMaxDefinedSize));
  if (column.fetch == FetchKind::Decimal) {
    column.precision = static_cast<uint8_t>(std::min<odbc::SqlULen>(size, 255));
    column.scale = static_cast<uint8_t>(std::clamp<int16_t>(digits, 0, 255));
  }
  if (fixed_size != 0) column.attributes |= adFldFixed;
  bool long_type = column.ado_type == adLongVarChar || column.ado_type == adLongVarWChar ||
                   column.ado_type == adLongVarBinary;
  if (long_type) column.attributes |= adFldLong;
  if (nullable) column.attributes |= adFldIsNullable | adFldMayBeNull;
  return column;
}

Variant DecimalTextToVariant(std::u16string_view text) {
  std::optional<int64_t> units = CurrencyUnits(text);
  if (!units) return Variant::FromString(text);
  return Variant::FromCurrency(CY{*units});
}

VARTYPE VariantTypeOfAdoType(int32_t ado_type) {
  const AdoTypeEntry* entry = FindAdoType(ado_type);
  return entry ? entry->variant_type : static_cast<VARTYPE>(VT_EMPTY);
}

int16_t SqlTypeOfAdoType(int32_t ado_type) {
  const AdoTypeEntry* entry = FindAdoType(ado_type);
  return entry ? entry->sql_type : 0;
}

int32_t AdoTypeOfVariant(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  switch (shallow.vt) {
    case VT_I2: return adSmallInt;
    case VT_I4: return adInteger;
    case VT_UI1: return adUnsignedTinyInt;
    case VT_R4: return adSingle;
    case VT_R8: return adDouble;
    case VT_CY: return adCurrency;
    case VT_DATE: return adDate;
    case VT_BOOL: return adBoolean;
    case VT_ARRAY | VT_UI1: return adVarBinary;
    case VT_EMPTY: case VT_NULL: return adEmpty;
    default: return adVarWChar;
  }
}

void* ParameterBuffer::data() {
  switch (c_type) {
    case odbc::kCSLong: return &integer;
    case odbc::kCSBigInt: return &big_integer;
    case odbc::kCDouble: return &real;
    case odbc::kCTypeTimestamp: return &timestamp;
    case odbc::kCTypeDate: return &date;
    case odbc::kCTypeTime: return &time;
    case odbc::kCBinary: return bytes.data();
    default: return text.data();
  }
}

odbc::SqlLen ParameterBuffer::capacity() const {
  if (c_type == odbc::kCBinary) return static_cast<odbc::SqlLen>(bytes.size());
  if (c_type == odbc::kCWChar) return static_cast<odbc::SqlLen>(text.size() * sizeof(char16_t));
  return 0;
}

Result<void> FillParameterBuffer(const VARIANT& value, int32_t ado_type, int32_t size,
                                 ParameterBuffer& buffer) {
  buffer = ParameterBuffer();
  VARIANT shallow = PeekValue(value);
  int32_t type = ado_type != adEmpty ? ado_type : AdoTypeOfVariant(shallow);
  buffer.sql_type = SqlTypeOfAdoType(type);
  if (buffer.sql_type == 0) buffer.sql_type = odbc::kSqlWVarChar;
  if (shallow.vt == VT_EMPTY || shallow.vt == VT_NULL || (shallow.vt == VT_ERROR)) {
    buffer.indicator = odbc::kNullData;
    buffer.column_size = size > 0 ? static_cast<odbc::SqlULen>(size) : 1;
    buffer.c_type = odbc::kCWChar;
    return {};
  }
  VARTYPE variant_type = VariantTypeOfAdoType(type);
  TRY(FillConverted(value, variant_type, buffer));
  if (buffer.c_type == odbc::kCSLong || buffer.c_type == odbc::kCSBigInt ||
      buffer.c_type == odbc::kCDouble) {
    buffer.indicator = 0;
  }
  return {};
}

Result<DATE> TimestampToDate(const odbc::TimestampStruct& timestamp) {
  return DateFromParts(timestamp.year, timestamp.month, timestamp.day, timestamp.hour,
                       timestamp.minute, timestamp.second);
}

Result<odbc::TimestampStruct> DateToTimestamp(DATE date) {
  DateParts parts = TRY(SplitDate(date));
  odbc::TimestampStruct timestamp{};
  timestamp.year = static_cast<int16_t>(parts.year);
  timestamp.month = static_cast<uint16_t>(parts.month);
  timestamp.day = static_cast<uint16_t>(parts.day);
  timestamp.hour = static_cast<uint16_t>(parts.hour);
  timestamp.minute = static_cast<uint16_t>(parts.minute);
  timestamp.second = static_cast<uint16_t>(parts.second);
  return timestamp;
}
