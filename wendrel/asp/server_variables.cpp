#include "wendrel/asp/server_variables.h"

#include "platform/automation/conversion.h"
#include "wendrel/asp/item.h"
#include "wendrel/asp/request.h"
#include "wendrel/common/narrow_text.h"

ServerVariables::ServerVariables(const Request* request)
    : Collection(&Item::MakeSingleValue,
                 CollectionOptions{.merge_duplicate_keys = true,
                                   .empty_item_for_missing_key = true}),
      request_(request) {}

Result<std::optional<Variant>> ServerVariables::ComputedItem(const VARIANT& index) {
  VARIANT name = PeekValue(index);
  Variant default_value;
  if (name.vt == VT_DISPATCH && name.pdispVal != nullptr) {
    default_value = TRY(DefaultValueOf(name.pdispVal));
    name = PeekValue(default_value);
  }
  if (name.vt != VT_BSTR || request_ == nullptr) return std::optional<Variant>();
  std::optional<std::string> value =
      request_->ComputedVariable(TextToBytes(BstrView(name.bstrVal), CP_ACP));
  if (!value) return std::optional<Variant>();
  return std::optional<Variant>(NarrowTextVariant(*value));
}
