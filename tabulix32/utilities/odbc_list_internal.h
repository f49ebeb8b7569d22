#pragma once
// The data-source enumeration of ODBCList, apart from the loading of the driver manager, so
// that tests can drive it with a driver manager of their own.

#include <cstdint>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/system/odbc_driver_manager.h"

namespace odbc_list_internal {

// The driver manager's types and values, as the shared loader declares them.
using SqlReturn = odbc::SqlReturn;
using SqlHandle = odbc::SqlHandle;

inline constexpr SqlReturn kSqlSuccess = odbc::kSuccess;
inline constexpr SqlReturn kSqlSuccessWithInfo = odbc::kSuccessWithInfo;
inline constexpr SqlReturn kSqlNoData = odbc::kNoData;
inline constexpr SqlReturn kSqlError = odbc::kError;
inline constexpr int16_t kSqlHandleEnvironment = odbc::kHandleEnvironment;
inline constexpr int32_t kSqlAttributeOdbcVersion = odbc::kAttributeOdbcVersion;
inline constexpr intptr_t kSqlOdbcVersion3 = odbc::kOdbcVersion3;
inline constexpr uint16_t kSqlFetchNext = odbc::kFetchNext;

/// Characters of the name and description buffers (the terminating NUL included).
inline constexpr int16_t kBufferCharacters = 1024;
/// Data sources taken at most from one enumeration; a driver manager that never reports the
/// end stops here.
inline constexpr int32_t kMaxDataSources = 100000;

/// The four calls of the driver manager that the enumeration needs.
struct DriverManagerCalls {
  SqlReturn (*alloc_handle)(int16_t type, SqlHandle input, SqlHandle* output);
  SqlReturn (*set_environment_attribute)(SqlHandle environment, int32_t attribute, void* value,
                                         int32_t length);
  SqlReturn (*data_sources)(SqlHandle environment, uint16_t direction, unsigned char* name,
                            int16_t name_capacity, int16_t* name_length,
                            unsigned char* description, int16_t description_capacity,
                            int16_t* description_length);
  SqlReturn (*free_handle)(int16_t type, SqlHandle handle);
};

/// The four calls of the process's driver manager (odbc::LoadDriverManager); null when it
/// cannot be loaded.
const DriverManagerCalls* SystemDriverManager();

/// Enumerates the data sources starting with `direction` into `dictionary` (through its
/// late-bound "Exists" and "Add"; a failing dictionary call only skips that entry) and
/// returns the result of getDataSources: the dictionary, or Empty when the driver manager
/// fails during the enumeration. `calls` null means the driver manager is not available: the
/// dictionary is returned as it is. The environment is released before returning.
Variant ListDataSources(const DriverManagerCalls* calls, IDispatch* dictionary,
                        int32_t direction);

}  // namespace odbc_list_internal
