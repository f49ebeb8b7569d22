#pragma once
// ODBC types and ADO's DataTypeEnum, and how values cross between the driver and VARIANTs:
// - integers: VT_I2 / VT_I4 (BIGINT as VT_I4 when it fits, else VT_R8: VBScript has no 64-bit
//   integer); bits as VT_BOOL;
// - REAL as VT_R4, FLOAT and DOUBLE as VT_R8;
// - NUMERIC and DECIMAL as VT_CY when the value has at most four decimals and fits currency,
//   else as the exact decimal text (VT_BSTR);
// - dates, times and timestamps as OLE dates (VT_DATE);
// - text as BSTR (the driver gives UTF-16), GUIDs as their text;
// - binary as a byte array (VT_ARRAY | VT_UI1);
// - NULL as Null.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/system/odbc_driver_manager.h"

/// ADO's DataTypeEnum values used here.
enum AdoDataType : int32_t {
  adEmpty = 0, adSmallInt = 2, adInteger = 3, adSingle = 4, adDouble = 5, adCurrency = 6,
  adDate = 7, adBSTR = 8, adBoolean = 11, adVariant = 12, adDecimal = 14, adTinyInt = 16,
  adUnsignedTinyInt = 17, adUnsignedSmallInt = 18, adUnsignedInt = 19, adBigInt = 20,
  adUnsignedBigInt = 21, adGUID = 72, adBinary = 128, adChar = 129, adWChar = 130,
  adNumeric = 131, adDBDate = 133, adDBTime = 134, adDBTimeStamp = 135, adVarNumeric = 139,
  adVarChar = 200, adLongVarChar = 201, adVarWChar = 202, adLongVarWChar = 203,
  adVarBinary = 204, adLongVarBinary = 205,
};

/// FieldAttributeEnum bits used here.
enum AdoFieldAttribute : int32_t {
  adFldUpdatable = 0x4, adFldFixed = 0x10, adFldIsNullable = 0x20, adFldMayBeNull = 0x40,
  adFldLong = 0x80,
};

/// How a column's values are read from the driver.
enum class FetchKind : uint8_t {
  Text, Integer, BigInteger, Single, Double, Boolean, Decimal, Date, Time, Timestamp, Binary,
};

/// What a result column is.
struct ColumnInfo {
  std::u16string name;
  int16_t sql_type = 0;
  int32_t ado_type = adVarWChar;
  FetchKind fetch = FetchKind::Text;
  int32_t defined_size = 0;  // bytes for fixed-size types, characters or bytes otherwise
  uint8_t precision = 255;
  uint8_t scale = 255;
  int32_t attributes = 0;
};

/// The ADO description of a column the driver described.
ColumnInfo DescribeColumn(std::u16string name, int16_t sql_type, odbc::SqlULen size,
                          int16_t digits, bool nullable);

/// A decimal text from the driver ("-12.3400", "1e5" is not one) as a VARIANT: VT_CY when
/// exact in currency, else the text itself.
Variant DecimalTextToVariant(std::u16string_view text);

/// The VARIANT type an ADO data type holds (VT_EMPTY for adEmpty and unknown types).
VARTYPE VariantTypeOfAdoType(int32_t ado_type);
/// The ODBC SQL type a parameter of an ADO type is bound as (0 for adEmpty: from the value).
int16_t SqlTypeOfAdoType(int32_t ado_type);
/// The ADO data type of a value (for a parameter without a declared type).
int32_t AdoTypeOfVariant(const VARIANT& value);

/// One parameter's value as the driver reads it. Kept at a fixed address while bound.
struct ParameterBuffer {
  int16_t c_type = odbc::kCWChar;
  int16_t sql_type = odbc::kSqlWVarChar;
  odbc::SqlULen column_size = 0;
  int16_t digits = 0;
  odbc::SqlLen indicator = 0;
  int32_t integer = 0;
  int64_t big_integer = 0;
  double real = 0;
  odbc::TimestampStruct timestamp{};
  odbc::DateStruct date{};
  odbc::TimeStruct time{};
  std::u16string text;
  std::vector<uint8_t> bytes;
  void* data();
  odbc::SqlLen capacity() const;
};

/// Fills the buffer for a value of a parameter declared as `ado_type` (adEmpty: by the value's
/// own type); `size` is the declared size (0 when none). The value is converted to the type
/// first (TypeMismatch 13 and the like when it cannot be).
Result<void> FillParameterBuffer(const VARIANT& value, int32_t ado_type, int32_t size,
                                 ParameterBuffer& buffer);

/// OLE date ↔ ODBC timestamp (whole seconds kept, fractions rounded to milliseconds).
Result<DATE> TimestampToDate(const odbc::TimestampStruct& timestamp);
Result<odbc::TimestampStruct> DateToTimestamp(DATE date);
