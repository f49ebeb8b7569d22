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
    {E_NOTIMPL, 445},
    // Type library, storage, moniker and RPC failures, by their platform codes.
    {MakeHresult(0x8002802Fu), 453},  // TYPE_E_DLLFUNCTIONNOTFOUND
    {MakeHresult(0x80028CA1u), 9},    // TYPE_E_OUTOFBOUNDS
    {MakeHresult(0x80028CA2u), 57},   // TYPE_E_IOERROR
    {MakeHresult(0x80028CA3u), 322},  // TYPE_E_CANTCREATETMPFILE
    {MakeHresult(0x80030002u), 432},  // STG_E_FILENOTFOUND
    {MakeHresult(0x80030003u), 76},   // STG_E_PATHNOTFOUND
    {MakeHresult(0x80030004u), 67},   // STG_E_TOOMANYOPENFILES
    {MakeHresult(0x80030005u), 70},   // STG_E_ACCESSDENIED
    {MakeHresult(0x80030008u), 7},    // STG_E_INSUFFICIENTMEMORY
    {MakeHresult(0x80030012u), 67},   // STG_E_NOMOREFILES
    {MakeHresult(0x80030013u), 70},   // STG_E_DISKISWRITEPROTECTED
    {MakeHresult(0x8003001Du), 57},   // STG_E_WRITEFAULT
    {MakeHresult(0x8003001Eu), 57},   // STG_E_READFAULT
    {MakeHresult(0x80030020u), 75},   // STG_E_SHAREVIOLATION
    {MakeHresult(0x80030021u), 70},   // STG_E_LOCKVIOLATION
    {MakeHresult(0x80030050u), 58},   // STG_E_FILEALREADYEXISTS
    {MakeHresult(0x80030070u), 61},   // STG_E_MEDIUMFULL
    {MakeHresult(0x800300FCu), 53},   // STG_E_INVALIDNAME
    {MakeHresult(0x80030100u), 70},   // STG_E_INUSE
    {MakeHresult(0x80030101u), 70},   // STG_E_NOTCURRENT
    {MakeHresult(0x80030103u), 57},   // STG_E_CANTSAVE
    {MakeHresult(0x800401E3u), 429},  // MK_E_UNAVAILABLE
    {MakeHresult(0x800401E6u), 432},  // MK_E_INVALIDEXTENSION
    {MakeHresult(0x800401EAu), 432},  // MK_E_CANTOPENFILE
    {MakeHresult(0x800401F5u), 429},  // CO_E_APPNOTFOUND
    {MakeHresult(0x800401FEu), 429},  // CO_E_APPDIDNTREG
    {MakeHresult(0x800706BAu), 462},  // RPC_S_SERVER_UNAVAILABLE
    {MakeHresult(0x80080005u), 429},  // CO_E_SERVER_EXEC_FAILURE
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
