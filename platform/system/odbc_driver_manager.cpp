// Loads unixODBC by name at first use. The library stays loaded: the driver manager keeps
// process-wide state (configuration caches, loaded drivers) that every user in the process
// shares.
#include "platform/system/odbc_driver_manager.h"

#include <dlfcn.h>

#include <optional>

namespace odbc {
namespace {

constexpr char kDriverManagerLibrary[] = "libodbc.so.2";

template <class Function>
bool Resolve(void* library, const char* name, Function* function) {
  void* address = dlsym(library, name);
  if (address == nullptr) return false;
  *function = reinterpret_cast<Function>(address);
  return true;
}

std::optional<DriverManager> Load() {
  void* library = dlopen(kDriverManagerLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return std::nullopt;
  DriverManager calls{};
  bool complete = Resolve(library, "SQLAllocHandle", &calls.AllocHandle) &&
                  Resolve(library, "SQLFreeHandle", &calls.FreeHandle) &&
                  Resolve(library, "SQLSetEnvAttr", &calls.SetEnvAttr) &&
                  Resolve(library, "SQLDataSources", &calls.DataSources) &&
                  Resolve(library, "SQLDriverConnectW", &calls.DriverConnectW) &&
                  Resolve(library, "SQLDisconnect", &calls.Disconnect) &&
                  Resolve(library, "SQLSetConnectAttrW", &calls.SetConnectAttrW) &&
                  Resolve(library, "SQLGetConnectAttrW", &calls.GetConnectAttrW) &&
                  Resolve(library, "SQLEndTran", &calls.EndTran) &&
                  Resolve(library, "SQLPrepareW", &calls.PrepareW) &&
                  Resolve(library, "SQLExecute", &calls.Execute) &&
                  Resolve(library, "SQLBindParameter", &calls.BindParameter) &&
                  Resolve(library, "SQLNumResultCols", &calls.NumResultCols) &&
                  Resolve(library, "SQLDescribeColW", &calls.DescribeColW) &&
                  Resolve(library, "SQLFetch", &calls.Fetch) &&
                  Resolve(library, "SQLGetData", &calls.GetData) &&
                  Resolve(library, "SQLMoreResults", &calls.MoreResults) &&
                  Resolve(library, "SQLRowCount", &calls.RowCount) &&
                  Resolve(library, "SQLFreeStmt", &calls.FreeStmt) &&
                  Resolve(library, "SQLSetStmtAttrW", &calls.SetStmtAttrW) &&
                  Resolve(library, "SQLGetDiagRecW", &calls.GetDiagRecW);
  if (!complete) {
    dlclose(library);
    return std::nullopt;
  }
  return calls;
}

}  // namespace

const DriverManager* LoadDriverManager() {
  // Loaded at the first call, never when a module is loaded.
  static const std::optional<DriverManager> loaded = Load();
  return loaded ? &*loaded : nullptr;
}

}  // namespace odbc
