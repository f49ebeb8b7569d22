#include "platform/ado/data_types.h"

#include <gtest/gtest.h>

#include "platform/ado/command_text.h"
#include "platform/automation/date_time.h"

namespace {

TEST(AdoDataTypesTest, DecimalTextIsCurrencyWhenExactElseText) {
  struct Case {
    std::u16string_view text;
    VARTYPE type;
    int64_t units;  // for currency
  };
  const Case kCases[] = {
      {u"12.34", VT_CY, 123400},          {u"-0.0001", VT_CY, -1},
      {u"7", VT_CY, 70000},               {u"1.23450000", VT_CY, 12345},
      {u"922337203685477.5807", VT_CY, INT64_MAX},
      {u"922337203685477.5808", VT_BSTR, 0}, {u"0.00001", VT_BSTR, 0},
      {u"12345678901234567890", VT_BSTR, 0}, {u"1e5", VT_BSTR, 0}, {u"", VT_BSTR, 0},
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(std::string(test.text.begin(), test.text.end()));
    Variant value = DecimalTextToVariant(test.text);
    ASSERT_EQ(value.vt, test.type);
    if (test.type == VT_CY) {
      EXPECT_EQ(value.cyVal.int64, test.units);
    } else {
      EXPECT_EQ(value.StringView(), test.text);
    }
  }
}

TEST(AdoDataTypesTest, ColumnsDescribeAsTheirAdoTypes) {
  struct Case {
    int16_t sql_type;
    uint64_t size;
    int32_t ado_type;
    int32_t defined_size;
    FetchKind fetch;
  };
  const Case kCases[] = {
      {odbc::kSqlInteger, 10, adInteger, 4, FetchKind::Integer},
      {odbc::kSqlBigInt, 19, adBigInt, 8, FetchKind::BigInteger},
      {odbc::kSqlWVarChar, 30, adVarWChar, 30, FetchKind::Text},
      {odbc::kSqlVarChar, 12, adVarChar, 12, FetchKind::Text},
      {odbc::kSqlDouble, 15, adDouble, 8, FetchKind::Double},
      {odbc::kSqlDecimal, 10, adNumeric, 19, FetchKind::Decimal},
      {odbc::kSqlTypeTimestamp, 26, adDBTimeStamp, 16, FetchKind::Timestamp},
      {odbc::kSqlTypeDate, 10, adDBDate, 6, FetchKind::Date},
      {odbc::kSqlBit, 1, adBoolean, 2, FetchKind::Boolean},
      {odbc::kSqlLongVarBinary, 1000, adLongVarBinary, 1000, FetchKind::Binary},
      {1234, 40, adVarWChar, 40, FetchKind::Text},  // unknown types read as text
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(test.sql_type);
    ColumnInfo column = DescribeColumn(u"c", test.sql_type, test.size, 2, true);
    EXPECT_EQ(column.ado_type, test.ado_type);
    EXPECT_EQ(column.defined_size, test.defined_size);
    EXPECT_EQ(column.fetch, test.fetch);
    EXPECT_NE(column.attributes & adFldMayBeNull, 0);
  }
  EXPECT_NE(DescribeColumn(u"c", odbc::kSqlLongVarChar, 0, 0, false).attributes & adFldLong, 0);
}

TEST(AdoDataTypesTest, ParametersConvertToTheirDeclaredType) {
  ParameterBuffer buffer;
  ASSERT_TRUE(FillParameterBuffer(Variant::FromString(u"42"), adInteger, 0, buffer).ok());
  EXPECT_EQ(buffer.c_type, odbc::kCSLong);
  EXPECT_EQ(buffer.integer, 42);
  EXPECT_EQ(buffer.sql_type, odbc::kSqlInteger);

  ASSERT_TRUE(FillParameterBuffer(Variant::FromI4(7), adVarWChar, 10, buffer).ok());
  EXPECT_EQ(buffer.c_type, odbc::kCWChar);
  EXPECT_EQ(buffer.text, u"7");
  EXPECT_EQ(buffer.indicator, 2);

  ASSERT_TRUE(FillParameterBuffer(Variant::FromCurrency(CY{-12345}), adEmpty, 0, buffer).ok());
  EXPECT_EQ(buffer.text, u"-1.2345");
  EXPECT_EQ(buffer.sql_type, odbc::kSqlDecimal);

  ASSERT_TRUE(FillParameterBuffer(Variant::FromDate(DateFromParts(2024, 5, 6, 7, 8, 9).value()), adEmpty, 0, buffer).ok());
  EXPECT_EQ(buffer.c_type, odbc::kCTypeTimestamp);
  EXPECT_EQ(buffer.timestamp.year, 2024);
  EXPECT_EQ(buffer.timestamp.second, 9);

  ASSERT_TRUE(FillParameterBuffer(Variant::FromDate(DateFromParts(2024, 5, 6, 7, 8, 9).value()), adDBDate, 0, buffer).ok());
  EXPECT_EQ(buffer.c_type, odbc::kCTypeDate);
  EXPECT_EQ(buffer.date.day, 6);
  EXPECT_EQ(buffer.data(), &buffer.date);
  ASSERT_TRUE(FillParameterBuffer(Variant::FromString(u"07:08:09"), adDBTime, 0, buffer).ok());
  EXPECT_EQ(buffer.c_type, odbc::kCTypeTime);
  EXPECT_EQ(buffer.time.minute, 8);

  ASSERT_TRUE(FillParameterBuffer(Variant::FromR8(5e9), adBigInt, 0, buffer).ok());
  EXPECT_EQ(buffer.c_type, odbc::kCSBigInt);
  EXPECT_EQ(buffer.big_integer, 5000000000);

  ASSERT_TRUE(FillParameterBuffer(Variant::Null(), adInteger, 0, buffer).ok());
  EXPECT_EQ(buffer.indicator, odbc::kNullData);

  EXPECT_FALSE(FillParameterBuffer(Variant::FromString(u"abc"), adInteger, 0, buffer).ok());
}

TEST(AdoCommandTextTest, SimpleSourcesNameTheirTable) {
  struct Case {
    std::u16string_view sql;
    int32_t options;
    std::u16string_view table;
  };
  const Case kCases[] = {
      {u"SELECT * FROM people", adCmdText, u"people"},
      {u"select id, name from people where id > 3 order by id", adCmdText, u"people"},
      {u"SELECT * FROM main.people;", adCmdText, u"main.people"},
      {u"SELECT * FROM \"My Table\"", adCmdText, u""},
      {u"SELECT * FROM a JOIN b ON a.id = b.id", adCmdText, u""},
      {u"SELECT * FROM a, b", adCmdText, u""},
      {u"SELECT (SELECT 1 FROM b) FROM a", adCmdText, u""},
      {u"SELECT * FROM a WHERE id IN (SELECT id FROM b)", adCmdText, u""},
      {u"UPDATE a SET x = 1", adCmdText, u""},
      {u"people", adCmdTable, u"people"},
      {u"people; DROP TABLE x", adCmdTable, u""},
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(std::string(test.sql.begin(), test.sql.end()));
    EXPECT_EQ(SingleSourceTable(test.sql, test.options), test.table);
  }
}

TEST(AdoCommandTextTest, CommandTypesBecomeSql) {
  EXPECT_EQ(CommandSql(u"SELECT 1", adCmdText, 0), u"SELECT 1");
  EXPECT_EQ(CommandSql(u"people", adCmdTable, 0), u"SELECT * FROM people");
  EXPECT_EQ(CommandSql(u"people", static_cast<int32_t>(adCmdTableDirect) | adExecuteNoRecords, 0), u"SELECT * FROM people");
  EXPECT_EQ(CommandSql(u"refresh", adCmdStoredProc, 2), u"{call refresh(?, ?)}");
  EXPECT_EQ(CommandSql(u"refresh", adCmdStoredProc, 0), u"{call refresh}");
}

}  // namespace
