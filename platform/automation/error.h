#pragma once
// The error value that travels inside the system: a script error number (5, 6, 9, 11, 13,
// 94, ...) or any HRESULT, with an optional description and source that override the
// standard texts. At a dispatch boundary it becomes DISP_E_EXCEPTION with 0x800A0000 + n.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/automation/hresult.h"

enum class ErrorNumber : int32_t {
#define ERROR_MESSAGE(name, number, text) name = number,
#include "platform/automation/error_messages.def"
#undef ERROR_MESSAGE
};

/// The standard description of a script error number; empty when the number has none.
std::u16string_view StandardErrorDescription(int32_t number);

/// The script error number the platform reports for a failing HRESULT: the low word of a
/// 0x800A.... code, the usual number for the DISP_E_ codes (13 for DISP_E_TYPEMISMATCH, 438 for
/// DISP_E_MEMBERNOTFOUND, ...), else the HRESULT itself.
int32_t ScriptErrorNumberFromHresult(HRESULT hr);

class Error {
 public:
  Error(ErrorNumber number);  // NOLINT(google-explicit-constructor): errors are raised by name
  /// A script error with a non-standard number or description.
  static Error Script(int32_t number, std::u16string description = {},
                      std::u16string source = {});
  /// Any HRESULT; script numbers are taken from it by ScriptErrorNumberFromHresult.
  static Error FromHresult(HRESULT hr, std::u16string description = {},
                           std::u16string source = {});

  HRESULT Hresult() const { return hresult_; }
  /// The script error number (see ScriptErrorNumberFromHresult).
  int32_t Number() const { return ScriptErrorNumberFromHresult(hresult_); }
  bool Is(ErrorNumber number) const { return Number() == static_cast<int32_t>(number); }
  /// The description given when the error was raised, else the standard text of its number.
  std::u16string Description() const;
  std::u16string_view Source() const;
  bool HasCustomDescription() const { return details_ && !details_->description.empty(); }
  /// The same error with a help file and context (what Err.HelpFile and Err.HelpContext show).
  Error WithHelp(std::u16string help_file, int32_t help_context) const;
  std::u16string_view HelpFile() const;
  int32_t HelpContext() const { return details_ ? details_->help_context : 0; }

 private:
  struct Details {
    std::u16string description;
    std::u16string source;
    std::u16string help_file;
    int32_t help_context = 0;
  };
  explicit Error(HRESULT hr) : hresult_(hr) {}

  HRESULT hresult_;
  std::shared_ptr<const Details> details_;
};
