// The driver manager's values, as the platform declares them, against its own headers. This file
// includes only the ODBC headers and that declaration (the automation headers clash with them).
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <gtest/gtest.h>

#include "platform/system/odbc_driver_manager.h"

namespace {

static_assert(odbc::kSuccess == SQL_SUCCESS && odbc::kSuccessWithInfo == SQL_SUCCESS_WITH_INFO);
static_assert(odbc::kNoData == SQL_NO_DATA && odbc::kError == SQL_ERROR && odbc::kNeedData == SQL_NEED_DATA);
static_assert(odbc::kHandleEnvironment == SQL_HANDLE_ENV && odbc::kHandleConnection == SQL_HANDLE_DBC &&
              odbc::kHandleStatement == SQL_HANDLE_STMT);
static_assert(odbc::kAttributeOdbcVersion == SQL_ATTR_ODBC_VERSION && odbc::kOdbcVersion3 == SQL_OV_ODBC3);
static_assert(odbc::kAttributeAutocommit == SQL_ATTR_AUTOCOMMIT && odbc::kAttributeLoginTimeout == SQL_ATTR_LOGIN_TIMEOUT);
static_assert(odbc::kAttributeConnectionDead == SQL_ATTR_CONNECTION_DEAD && odbc::kConnectionDead == SQL_CD_TRUE);
static_assert(odbc::kAttributeQueryTimeout == SQL_ATTR_QUERY_TIMEOUT);
static_assert(odbc::kCommit == SQL_COMMIT && odbc::kRollback == SQL_ROLLBACK);
static_assert(odbc::kDriverNoPrompt == SQL_DRIVER_NOPROMPT && odbc::kFetchNext == SQL_FETCH_NEXT);
static_assert(odbc::kClose == SQL_CLOSE && odbc::kResetParams == SQL_RESET_PARAMS && odbc::kParamInput == SQL_PARAM_INPUT);
static_assert(odbc::kNts == SQL_NTS && odbc::kNullData == SQL_NULL_DATA && odbc::kNoTotal == SQL_NO_TOTAL);
static_assert(odbc::kSqlChar == SQL_CHAR && odbc::kSqlNumeric == SQL_NUMERIC && odbc::kSqlDecimal == SQL_DECIMAL &&
              odbc::kSqlInteger == SQL_INTEGER && odbc::kSqlSmallInt == SQL_SMALLINT && odbc::kSqlFloat == SQL_FLOAT &&
              odbc::kSqlReal == SQL_REAL && odbc::kSqlDouble == SQL_DOUBLE && odbc::kSqlDateTime == SQL_DATETIME &&
              odbc::kSqlVarChar == SQL_VARCHAR);
static_assert(odbc::kSqlTime2 == SQL_TIME && odbc::kSqlTimestamp2 == SQL_TIMESTAMP);
static_assert(odbc::kSqlTypeDate == SQL_TYPE_DATE && odbc::kSqlTypeTime == SQL_TYPE_TIME &&
              odbc::kSqlTypeTimestamp == SQL_TYPE_TIMESTAMP);
static_assert(odbc::kSqlLongVarChar == SQL_LONGVARCHAR && odbc::kSqlBinary == SQL_BINARY &&
              odbc::kSqlVarBinary == SQL_VARBINARY && odbc::kSqlLongVarBinary == SQL_LONGVARBINARY &&
              odbc::kSqlBigInt == SQL_BIGINT && odbc::kSqlTinyInt == SQL_TINYINT && odbc::kSqlBit == SQL_BIT);
static_assert(odbc::kSqlWChar == SQL_WCHAR && odbc::kSqlWVarChar == SQL_WVARCHAR &&
              odbc::kSqlWLongVarChar == SQL_WLONGVARCHAR && odbc::kSqlGuid == SQL_GUID);
static_assert(odbc::kCWChar == SQL_C_WCHAR && odbc::kCSLong == SQL_C_SLONG && odbc::kCSBigInt == SQL_C_SBIGINT &&
              odbc::kCDouble == SQL_C_DOUBLE && odbc::kCFloat == SQL_C_FLOAT && odbc::kCBit == SQL_C_BIT &&
              odbc::kCBinary == SQL_C_BINARY && odbc::kCTypeDate == SQL_C_TYPE_DATE &&
              odbc::kCTypeTime == SQL_C_TYPE_TIME && odbc::kCTypeTimestamp == SQL_C_TYPE_TIMESTAMP);
static_assert(sizeof(odbc::SqlLen) == sizeof(SQLLEN) && sizeof(odbc::SqlULen) == sizeof(SQLULEN));
static_assert(sizeof(odbc::SqlChar16) == sizeof(SQLWCHAR));
static_assert(sizeof(odbc::TimestampStruct) == sizeof(SQL_TIMESTAMP_STRUCT) &&
              sizeof(odbc::TimeStruct) == sizeof(SQL_TIME_STRUCT) && sizeof(odbc::DateStruct) == sizeof(SQL_DATE_STRUCT));
static_assert(offsetof(odbc::TimestampStruct, fraction) == offsetof(SQL_TIMESTAMP_STRUCT, fraction));

TEST(OdbcDriverManagerTest, LoadsTheDriverManagerOnce) {
  const odbc::DriverManager* first = odbc::LoadDriverManager();
  ASSERT_NE(first, nullptr) << "libodbc.so.2 is part of the installed packages";
  EXPECT_EQ(odbc::LoadDriverManager(), first);
}

}  // namespace
