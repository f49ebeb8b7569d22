#include "platform/ado/ado_error.h"

#include <span>
#include <string_view>

namespace {

struct AdoErrorEntry {
  int32_t number;
  std::u16string_view text;
};

constexpr AdoErrorEntry kAdoErrors[] = {
#define ADO_ERROR(name, number, text) {number, u"" text},
#include "platform/ado/ado_errors.def"
#undef ADO_ERROR
};

}  // namespace

int32_t AdoErrorNumber(AdoError error) { return kAdoErrors[static_cast<int32_t>(error)].number; }

Error MakeAdoError(AdoError error, std::u16string_view source) {
  const AdoErrorEntry& entry = kAdoErrors[static_cast<int32_t>(error)];
  return Error::Script(entry.number, std::u16string(entry.text), std::u16string(source));
}

Error ProviderError(HRESULT number, const std::vector<ProviderDiagnostic>& diagnostics,
                    std::u16string_view fallback_text) {
  if (diagnostics.empty()) {
    return Error::FromHresult(number, std::u16string(fallback_text),
                              std::u16string(kProviderSource));
  }
  const ProviderDiagnostic& first = diagnostics.front();
  std::u16string description = u"[" + first.sql_state + u"] " + first.description;
  return Error::FromHresult(number, std::move(description), std::u16string(kProviderSource));
}
