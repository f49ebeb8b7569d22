#include "platform/automation/error.h"

#include <iterator>

namespace {

struct ErrorMessage {
  int32_t number;
  std::u16string_view text;
};

constexpr ErrorMessage kErrorMessages[] = {
#define ERROR_MESSAGE(name, number, text) {number, u"" text},
#include "platform/automation/error_messages.def"
#undef ERROR_MESSAGE
};

struct HresultNumber {
  HRESULT hresult;
  int32_t number;
};

// How failing HRESULTs from objects and the platform read as script error numbers.
constexpr HresultNumber kHresultNumbers[] = {
    {E_OUTOFMEMORY, 7},
    {E_ACCESSDENIED, 70},
    {E_NOINTERFACE, 430},
    {E_INVALIDARG, 5},
    {DISP_E_UNKNOWNINTERFACE, 438},
    {DISP_E_MEMBERNOTFOUND, 438},
    {DISP_E_UNKNOWNNAME, 438},
    {DISP_E_PARAMNOTFOUND, 448},
    {DISP_E_TYPEMISMATCH, 13},
    {DISP_E_NONAMEDARGS, 446},
    {DISP_E_BADVARTYPE, 458},
    {DISP_E_OVERFLOW, 6},
    {DISP_E_BADINDEX, 9},
    {DISP_E_UNKNOWNLCID, 447},
    {DISP_E_ARRAYISLOCKED, 10},
    {DISP_E_BADPARAMCOUNT, 450},
    {DISP_E_PARAMNOTOPTIONAL, 449},
    {DISP_E_NOTACOLLECTION, 451},
    {DISP_E_DIVBYZERO, 11},
    {TYPE_E_TYPEMISMATCH, 13},
    {CO_E_CLASSSTRING, 429},
    {REGDB_E_CLASSNOTREG, 429},
    {CLASS_E_CLASSNOTAVAILABLE, 429},
};

}  // namespace

std::u16string_view StandardErrorDescription(int32_t number) {
  for (const ErrorMessage& message : kErrorMessages) {
    if (message.number == number) return message.text;
  }
  return {};
}

int32_t ScriptErrorNumberFromHresult(HRESULT hr) {
  if (IsScriptErrorHresult(hr)) return static_cast<int32_t>(static_cast<uint32_t>(hr) & 0xFFFFu);
  for (const HresultNumber& entry : kHresultNumbers) {
    if (entry.hresult == hr) return entry.number;
  }
  return hr;
}

Error::Error(ErrorNumber number) : hresult_(ScriptErrorHresult(static_cast<int32_t>(number))) {}

Error Error::Script(int32_t number, std::u16string description, std::u16string source) {
  return FromHresult(ScriptErrorHresult(number), std::move(description), std::move(source));
}

Error Error::FromHresult(HRESULT hr, std::u16string description, std::u16string source) {
  Error error(hr);
  if (!description.empty() || !source.empty()) {
    error.details_ = std::make_shared<const Details>(Details{std::move(description), std::move(source), {}, 0});
  }
  return error;
}

std::u16string Error::Description() const {
  if (HasCustomDescription()) return details_->description;
  return std::u16string(StandardErrorDescription(Number()));
}

std::u16string_view Error::Source() const {
  if (!details_) return {};
  return details_->source;
}

Error Error::WithHelp(std::u16string help_file, int32_t help_context) const {
  if (help_file.empty() && help_context == 0) return *this;
  Details details = details_ ? *details_ : Details{};
  details.help_file = std::move(help_file);
  details.help_context = help_context;
  Error error(hresult_);
  error.details_ = std::make_shared<const Details>(std::move(details));
  return error;
}

std::u16string_view Error::HelpFile() const {
  if (!details_) return {};
  return details_->help_file;
}
