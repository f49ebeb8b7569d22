#pragma once
// Error information of the calling thread (what the last failing call on an object said), and
// the reporting of an Error as the DISP_E_EXCEPTION of an Invoke.

#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/error.h"
#include "platform/automation/ole_interfaces.h"

inline constexpr IID IID_ISupportErrorInfo = {
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

/// Objects that set error information say for which interfaces.
class ISupportErrorInfo : public IUnknown {
 public:
  virtual HRESULT InterfaceSupportsErrorInfo(REFIID iid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

struct ThreadErrorInfo {
  HRESULT hresult = S_OK;
  int32_t number = 0;  // the script error number of hresult
  std::u16string description;
  std::u16string source;
};

void SetThreadErrorInfo(const Error& error, std::u16string_view source);
/// The calling thread's error information, cleared by reading it (as GetErrorInfo does).
std::optional<ThreadErrorInfo> TakeThreadErrorInfo();
void ClearThreadErrorInfo();

/// Fills `exception` (when given) and the thread's error information from `error`, and returns
/// DISP_E_EXCEPTION. The description is the error's own or the standard text of its number;
/// the source is the error's own or `source`.
HRESULT ReportInvokeException(const Error& error, std::u16string_view source, EXCEPINFO* exception);
