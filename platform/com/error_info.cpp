#include "platform/com/error_info.h"

namespace {

std::optional<ThreadErrorInfo>& CurrentErrorInfo() {
  thread_local std::optional<ThreadErrorInfo> info;
  return info;
}

std::u16string_view SourceOf(const Error& error, std::u16string_view fallback) {
  return error.Source().empty() ? fallback : error.Source();
}

}  // namespace

void SetThreadErrorInfo(const Error& error, std::u16string_view source) {
  CurrentErrorInfo() = ThreadErrorInfo{error.Hresult(), error.Number(), error.Description(),
                                       std::u16string(SourceOf(error, source))};
}

std::optional<ThreadErrorInfo> TakeThreadErrorInfo() {
  std::optional<ThreadErrorInfo> info = std::move(CurrentErrorInfo());
  CurrentErrorInfo().reset();
  return info;
}

void ClearThreadErrorInfo() { CurrentErrorInfo().reset(); }

HRESULT ReportInvokeException(const Error& error, std::u16string_view source, EXCEPINFO* exception) {
  SetThreadErrorInfo(error, source);
  if (exception == nullptr) return DISP_E_EXCEPTION;
  *exception = EXCEPINFO{};
  std::u16string description = error.Description();
  std::u16string_view error_source = SourceOf(error, source);
  exception->scode = error.Hresult();
  exception->bstrDescription = SysAllocStringLen(description.data(), static_cast<uint32_t>(description.size()));
  exception->bstrSource = SysAllocStringLen(error_source.data(), static_cast<uint32_t>(error_source.size()));
  std::u16string_view help_file = error.HelpFile();
  if (!help_file.empty()) {
    exception->bstrHelpFile = SysAllocStringLen(help_file.data(), static_cast<uint32_t>(help_file.size()));
  }
  exception->dwHelpContext = static_cast<DWORD>(error.HelpContext());
  return DISP_E_EXCEPTION;
}
