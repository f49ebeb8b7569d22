#include "platform/com/dispatch_object.h"

#include <algorithm>

#include "platform/automation/conversion.h"
#include "platform/automation/text_case.h"
#include "platform/com/error_info.h"

namespace {

// A missing optional argument, shared by every call (never written).
constexpr VARIANT kMissingArgument{VT_ERROR, 0, 0, 0, {.scode = DISP_E_PARAMNOTFOUND}};

bool IsPut(WORD flags) { return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }

bool IsMissingValue(const VARIANT* value) {
  if (value == nullptr) return true;
  VARIANT shallow = PeekValue(*value);
  return shallow.vt == VT_ERROR && shallow.scode == DISP_E_PARAMNOTFOUND;
}

// The parameter name at `index` of a ','-separated list.
std::u16string_view ParameterAt(std::u16string_view parameters, size_t index) {
  size_t start = 0;
  for (size_t i = 0; i < index; ++i) {
    size_t comma = parameters.find(u',', start);
    if (comma == std::u16string_view::npos) return {};
    start = comma + 1;
  }
  size_t end = parameters.find(u',', start);
  return parameters.substr(start, end == std::u16string_view::npos ? end : end - start);
}

DISPID FindParameter(std::u16string_view parameters, const OLECHAR* name) {
  if (name == nullptr) return DISPID_UNKNOWN;
  std::u16string_view wanted(name);
  for (size_t index = 0; index < DispatchArguments::kMaxArguments; ++index) {
    std::u16string_view parameter = ParameterAt(parameters, index);
    if (parameter.empty()) break;
    if (EqualsIgnoringCase(parameter, wanted)) return static_cast<DISPID>(index);
  }
  return DISPID_UNKNOWN;
}

}  // namespace

const VARIANT& DispatchArguments::operator[](size_t index) const {
  if (index >= count_ || slots_[index] == nullptr) return kMissingArgument;
  return *slots_[index];
}

bool DispatchArguments::IsMissing(size_t index) const {
  return index >= count_ || IsMissingValue(slots_[index]);
}

Result<void> DispatchArguments::Assign(size_t index, const VARIANT& value) const {
  if (index >= count_ || slots_[index] == nullptr) return {};
  VARIANT& slot = *slots_[index];
  if ((slot.vt & VT_BYREF) == 0) return {};
  return AssignThroughReference(slot, value);
}

const VARIANT& DispatchArguments::value() const {
  if (value_ == nullptr) return kMissingArgument;
  return *value_;
}

HRESULT DispatchArguments::Fill(DISPPARAMS* params, WORD flags, uint8_t min_arguments,
                                uint8_t max_arguments) {
  std::fill_n(slots_.begin(), std::min<size_t>(max_arguments, kMaxArguments), nullptr);
  UINT total = params == nullptr ? 0 : params->cArgs;
  UINT named = params == nullptr ? 0 : params->cNamedArgs;
  if (named > total || (total > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
  if (named > 0 && params->rgdispidNamedArgs == nullptr) return E_INVALIDARG;
  for (UINT i = 0; i < named; ++i) {
    DISPID position = params->rgdispidNamedArgs[i];
    if (position == DISPID_PROPERTYPUT && IsPut(flags)) {
      value_ = &params->rgvarg[i];
      continue;
    }
    if (position < 0 || position >= max_arguments || static_cast<size_t>(position) >= kMaxArguments) {
      return DISP_E_PARAMNOTFOUND;
    }
    slots_[position] = &params->rgvarg[i];
    count_ = std::max(count_, static_cast<size_t>(position) + 1);
  }
  UINT positional = total - named;
  if (IsPut(flags) && value_ == nullptr) {
    // A put without the named value passes it as the last argument.
    if (positional == 0) return DISP_E_BADPARAMCOUNT;
    value_ = &params->rgvarg[named];
    --positional;
    ++named;
  }
  if (positional > kMaxArguments || positional > max_arguments) return DISP_E_BADPARAMCOUNT;
  for (UINT i = 0; i < positional; ++i) {
    if (slots_[i] != nullptr) return DISP_E_BADPARAMCOUNT;  // named twice
    slots_[i] = &params->rgvarg[total - 1 - i];
  }
  count_ = std::max(count_, static_cast<size_t>(positional));
  if (count_ > max_arguments) return DISP_E_BADPARAMCOUNT;
  for (size_t i = 0; i < min_arguments; ++i) {
    if (i >= count_ && named == 0) return DISP_E_BADPARAMCOUNT;
    if (IsMissingValue(slots_[i])) return DISP_E_PARAMNOTOPTIONAL;
  }
  return S_OK;
}

HRESULT DispatchArguments::FillInOrder(VARIANT* arguments, UINT count, WORD flags,
                                       uint8_t min_arguments, uint8_t max_arguments) {
  std::fill_n(slots_.begin(), std::min<size_t>(max_arguments, kMaxArguments), nullptr);
  if (count > 0 && arguments == nullptr) return E_INVALIDARG;
  UINT positional = count;
  if (IsPut(flags)) {
    if (positional == 0) return DISP_E_BADPARAMCOUNT;
    value_ = &arguments[--positional];
  }
  if (positional > kMaxArguments || positional > max_arguments) return DISP_E_BADPARAMCOUNT;
  for (UINT i = 0; i < positional; ++i) slots_[i] = &arguments[i];
  count_ = positional;
  for (size_t i = 0; i < min_arguments; ++i) {
    if (i >= count_) return DISP_E_BADPARAMCOUNT;
    if (IsMissingValue(slots_[i])) return DISP_E_PARAMNOTOPTIONAL;
  }
  return S_OK;
}

HRESULT MapParameterNames(std::u16string_view parameters, LPOLESTR* names, UINT count, DISPID* dispids) {
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    dispids[i] = FindParameter(parameters, names[i]);
    if (dispids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

bool MemberNameMatches(std::u16string_view member, const OLECHAR* name) {
  return name != nullptr && EqualsIgnoringCase(member, std::u16string_view(name));
}

int MatchQuality(uint16_t kinds, WORD flags) {
  if ((kinds & flags) != 0) return 2;
  WORD reading = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  WORD writing = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
  if ((flags & reading) != 0 && (kinds & reading) != 0) return 1;
  if ((flags & writing) != 0 && (kinds & writing) != 0) return 1;
  return 0;
}

HRESULT PutThroughMemberValue(IDispatch* object, DISPID member, WORD flags, DISPPARAMS* params,
                              uint8_t reader_max_arguments, EXCEPINFO* exception) {
  // rgvarg[0] is the value (named DISPID_PROPERTYPUT or the last positional argument); the
  // indices follow, last first.
  if (params == nullptr || params->cArgs < 2 || params->rgvarg == nullptr ||
      params->cNamedArgs > 1 ||
      (params->cNamedArgs == 1 && (params->rgdispidNamedArgs == nullptr ||
                                   params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))) {
    return DISP_E_MEMBERNOTFOUND;
  }
  UINT indices = params->cArgs - 1;
  bool reader_takes_indices = indices <= reader_max_arguments;
  DISPPARAMS read{reader_takes_indices ? params->rgvarg + 1 : nullptr, nullptr,
                  reader_takes_indices ? indices : 0, 0};
  Variant holder;
  HRESULT hr = object->Invoke(member, GUID_NULL, 0, DISPATCH_PROPERTYGET, &read, &holder,
                              exception, nullptr);
  if (FAILED(hr)) return hr;
  VARIANT target = PeekValue(holder);
  if (target.vt != VT_DISPATCH || target.pdispVal == nullptr) return DISP_E_MEMBERNOTFOUND;
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS write = reader_takes_indices ? DISPPARAMS{params->rgvarg, &put_id, 1, 1}
                                          : DISPPARAMS{params->rgvarg, &put_id, params->cArgs, 1};
  return target.pdispVal->Invoke(DISPID_VALUE, GUID_NULL, 0, flags, &write, nullptr, exception,
                                 nullptr);
}

HRESULT CompleteInvoke(Result<Variant> outcome, std::u16string_view source, VARIANT* result,
                       EXCEPINFO* exception) {
  if (!outcome.ok()) {
    const Error& error = outcome.error();
    // Platform codes that are not script errors travel as themselves unless described.
    bool plain_code = !IsScriptErrorHresult(error.Hresult()) && !error.HasCustomDescription();
    if (plain_code) return error.Hresult();
    return ReportInvokeException(error, source, exception);
  }
  if (result != nullptr) {
    VariantClear(result);
    *result = std::move(outcome).value().Detach();
  }
  return S_OK;
}
