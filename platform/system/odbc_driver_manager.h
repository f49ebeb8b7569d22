#pragma once
// The ODBC driver manager (unixODBC, "libodbc.so.2"), loaded by name at first use and kept for
// the life of the process, so that modules using it load on machines without one. The types
// and constants below are the driver manager's own (its headers cannot be included beside the
// automation headers, whose Windows type names they redefine differently); a test checks each
// value against those headers. Wide text is UTF-16, as the driver manager's SQLWCHAR.

#include <cstdint>

namespace odbc {

using SqlReturn = int16_t;
using SqlHandle = void*;
using SqlLen = int64_t;     // SQLLEN on 64-bit builds
using SqlULen = uint64_t;   // SQLULEN
using SqlChar16 = char16_t; // SQLWCHAR

inline constexpr SqlReturn kSuccess = 0;
inline constexpr SqlReturn kSuccessWithInfo = 1;
inline constexpr SqlReturn kNeedData = 99;
inline constexpr SqlReturn kNoData = 100;
inline constexpr SqlReturn kError = -1;
inline constexpr SqlReturn kInvalidHandle = -2;

inline constexpr int16_t kHandleEnvironment = 1;
inline constexpr int16_t kHandleConnection = 2;
inline constexpr int16_t kHandleStatement = 3;

inline constexpr int32_t kAttributeOdbcVersion = 200;
inline constexpr intptr_t kOdbcVersion3 = 3;
inline constexpr int32_t kAttributeAutocommit = 102;
inline constexpr intptr_t kAutocommitOff = 0;
inline constexpr intptr_t kAutocommitOn = 1;
inline constexpr int32_t kAttributeLoginTimeout = 103;
inline constexpr int32_t kAttributeConnectionDead = 1209;
inline constexpr intptr_t kConnectionDead = 1;
inline constexpr int32_t kAttributeQueryTimeout = 0;

inline constexpr int16_t kCommit = 0;
inline constexpr int16_t kRollback = 1;
inline constexpr uint16_t kDriverNoPrompt = 0;
inline constexpr uint16_t kFetchNext = 1;
inline constexpr uint16_t kClose = 0;          // SQLFreeStmt: close the cursor
inline constexpr uint16_t kResetParams = 3;    // SQLFreeStmt: drop parameter bindings
inline constexpr int16_t kParamInput = 1;

inline constexpr int32_t kNts = -3;            // NUL-terminated text
inline constexpr SqlLen kNullData = -1;
inline constexpr SqlLen kNoTotal = -4;

// SQL data types (what a column or parameter is in the database).
inline constexpr int16_t kSqlUnknownType = 0;
inline constexpr int16_t kSqlChar = 1;
inline constexpr int16_t kSqlNumeric = 2;
inline constexpr int16_t kSqlDecimal = 3;
inline constexpr int16_t kSqlInteger = 4;
inline constexpr int16_t kSqlSmallInt = 5;
inline constexpr int16_t kSqlFloat = 6;
inline constexpr int16_t kSqlReal = 7;
inline constexpr int16_t kSqlDouble = 8;
inline constexpr int16_t kSqlDateTime = 9;     // also the ODBC 2 SQL_DATE
inline constexpr int16_t kSqlTime2 = 10;       // ODBC 2 SQL_TIME
inline constexpr int16_t kSqlTimestamp2 = 11;  // ODBC 2 SQL_TIMESTAMP
inline constexpr int16_t kSqlVarChar = 12;
inline constexpr int16_t kSqlTypeDate = 91;
inline constexpr int16_t kSqlTypeTime = 92;
inline constexpr int16_t kSqlTypeTimestamp = 93;
inline constexpr int16_t kSqlLongVarChar = -1;
inline constexpr int16_t kSqlBinary = -2;
inline constexpr int16_t kSqlVarBinary = -3;
inline constexpr int16_t kSqlLongVarBinary = -4;
inline constexpr int16_t kSqlBigInt = -5;
inline constexpr int16_t kSqlTinyInt = -6;
inline constexpr int16_t kSqlBit = -7;
inline constexpr int16_t kSqlWChar = -8;
inline constexpr int16_t kSqlWVarChar = -9;
inline constexpr int16_t kSqlWLongVarChar = -10;
inline constexpr int16_t kSqlGuid = -11;

// C data types (what a buffer of ours holds).
inline constexpr int16_t kCWChar = -8;
inline constexpr int16_t kCSLong = -16;
inline constexpr int16_t kCSBigInt = -25;
inline constexpr int16_t kCDouble = 8;
inline constexpr int16_t kCFloat = 7;
inline constexpr int16_t kCBit = -7;
inline constexpr int16_t kCBinary = -2;
inline constexpr int16_t kCTypeDate = 91;
inline constexpr int16_t kCTypeTime = 92;
inline constexpr int16_t kCTypeTimestamp = 93;

struct DateStruct {
  int16_t year;
  uint16_t month;
  uint16_t day;
};
struct TimeStruct {
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
};
struct TimestampStruct {
  int16_t year;
  uint16_t month;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint32_t fraction;  // nanoseconds
};

/// The calls of the driver manager the system uses.
struct DriverManager {
  SqlReturn (*AllocHandle)(int16_t type, SqlHandle input, SqlHandle* output);
  SqlReturn (*FreeHandle)(int16_t type, SqlHandle handle);
  SqlReturn (*SetEnvAttr)(SqlHandle environment, int32_t attribute, void* value, int32_t length);
  SqlReturn (*DataSources)(SqlHandle environment, uint16_t direction, unsigned char* name,
                           int16_t name_capacity, int16_t* name_length,
                           unsigned char* description, int16_t description_capacity,
                           int16_t* description_length);
  SqlReturn (*DriverConnectW)(SqlHandle connection, void* window, const SqlChar16* in,
                              int16_t in_length, SqlChar16* out, int16_t out_capacity,
                              int16_t* out_length, uint16_t completion);
  SqlReturn (*Disconnect)(SqlHandle connection);
  SqlReturn (*SetConnectAttrW)(SqlHandle connection, int32_t attribute, void* value,
                               int32_t length);
  SqlReturn (*GetConnectAttrW)(SqlHandle connection, int32_t attribute, void* value,
                               int32_t capacity, int32_t* length);
  SqlReturn (*EndTran)(int16_t handle_type, SqlHandle handle, int16_t completion);
  SqlReturn (*PrepareW)(SqlHandle statement, const SqlChar16* text, int32_t length);
  SqlReturn (*Execute)(SqlHandle statement);
  SqlReturn (*BindParameter)(SqlHandle statement, uint16_t number, int16_t direction,
                             int16_t c_type, int16_t sql_type, SqlULen column_size,
                             int16_t digits, void* value, SqlLen capacity, SqlLen* indicator);
  SqlReturn (*NumResultCols)(SqlHandle statement, int16_t* count);
  SqlReturn (*DescribeColW)(SqlHandle statement, uint16_t column, SqlChar16* name,
                            int16_t name_capacity, int16_t* name_length, int16_t* sql_type,
                            SqlULen* size, int16_t* digits, int16_t* nullable);
  SqlReturn (*Fetch)(SqlHandle statement);
  SqlReturn (*GetData)(SqlHandle statement, uint16_t column, int16_t c_type, void* value,
                       SqlLen capacity, SqlLen* indicator);
  SqlReturn (*MoreResults)(SqlHandle statement);
  SqlReturn (*RowCount)(SqlHandle statement, SqlLen* count);
  SqlReturn (*FreeStmt)(SqlHandle statement, uint16_t option);
  SqlReturn (*SetStmtAttrW)(SqlHandle statement, int32_t attribute, void* value,
                            int32_t length);
  SqlReturn (*GetDiagRecW)(int16_t handle_type, SqlHandle handle, int16_t record,
                           SqlChar16* state, int32_t* native, SqlChar16* message,
                           int16_t capacity, int16_t* length);
};

inline bool Succeeded(SqlReturn code) { return code == kSuccess || code == kSuccessWithInfo; }

/// unixODBC, loaded at the first call; null when the library or one of the calls is missing.
const DriverManager* LoadDriverManager();

}  // namespace odbc
