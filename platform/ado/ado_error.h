#pragma once
// The errors of the ADO objects: ADO's own (numbers 3001-3709, raised as script errors with
// their texts) and the provider's (an OLE DB HRESULT with the ODBC driver's SQLSTATE and message,
// also kept in the connection's Errors collection).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/automation/result.h"

enum class AdoError : int32_t {
#define ADO_ERROR(name, number, text) name,
#include "platform/ado/ado_errors.def"
#undef ADO_ERROR
};

/// The script error of an ADO error, with its text and `source` ("ADODB.Recordset", ...).
Error MakeAdoError(AdoError error, std::u16string_view source);
int32_t AdoErrorNumber(AdoError error);

// The provider's HRESULTs.
inline constexpr HRESULT kDbErrorsInCommand = MakeHresult(0x80040E14u);  // statement failed
inline constexpr HRESULT kDbNoCommand = MakeHresult(0x80040E0Cu);        // no command text
inline constexpr HRESULT kDbCannotFetchBackwards = MakeHresult(0x80040E24u);
inline constexpr HRESULT kDbBadInitString = MakeHresult(0x80040E73u);    // connection string
inline constexpr HRESULT kDbRowNotFound = MakeHresult(0x80040E38u);      // update/delete lost its row
inline constexpr HRESULT kDbDataOverflow = MakeHresult(0x80040E57u);     // a value too large

/// The source of provider errors.
inline constexpr std::u16string_view kProviderSource = u"OLE DB Provider for ODBC Drivers";

/// One diagnostic record of the driver: what the Errors collection lists.
struct ProviderDiagnostic {
  HRESULT number = 0;
  std::u16string sql_state;   // five characters, e.g. "42000"
  int32_t native_error = 0;
  std::u16string description; // the driver's message
  std::u16string source;
};

/// The Error raised for diagnostics: `number` with "[SQLSTATE] message" of the first record
/// (the only text when there is no record) as its description.
Error ProviderError(HRESULT number, const std::vector<ProviderDiagnostic>& diagnostics,
                    std::u16string_view fallback_text);
