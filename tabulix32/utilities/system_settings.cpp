// SystemSettings: the rendering defaults of one report page (see system_settings.h).
#include "tabulix32/utilities/system_settings.h"

#include <new>
#include <string_view>
#include <utility>

#include "platform/automation/conversion.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using namespace utilities_internal;

namespace {

constexpr std::u16string_view kDefaultFontSize = u"8";
constexpr std::u16string_view kDefaultFontFamily = u"Tahoma";
constexpr std::u16string_view kDefaultFontColor = u"#000000";

// The text a font setter stores: Null counts as "", and a blank text becomes the default.
Result<std::u16string> FontSettingText(const VARIANT& value, std::u16string_view fallback) {
  std::u16string text = TRY(ConcatenatedText(value));
  if (TrimSpaces(text).empty()) return std::u16string(fallback);
  return text;
}

}  // namespace

std::span<const DispatchMember<SystemSettings>> SystemSettings::Members() {
  using S = SystemSettings;
  constexpr uint16_t kCallable = kMethod | kPropertyGet;
  static constexpr DispatchMember<S> kMembers[] = {
      {u"setDefaultFontSize", 1, kCallable, 1, 1, &S::setDefaultFontSize,
       u"l_default_font_size"},
      {u"setDefaultFontFamily", 2, kCallable, 1, 1, &S::setDefaultFontFamily,
       u"l_default_font_family"},
      {u"setDefaultFontColor", 3, kCallable, 1, 1, &S::setDefaultFontColor,
       u"l_default_font_color"},
      {u"setCurrencySymbol", 4, kCallable, 1, 1, &S::setCurrencySymbol, u"l_currency_symbol"},
      {u"setSystemCurrencySymbol", 5, kCallable, 1, 1, &S::setSystemCurrencySymbol,
       u"l_system_currency_symbol"},
      {u"setRangeChar", 6, kCallable, 1, 1, &S::setRangeChar, u"l_range_char"},
      {u"setEscapeChar", 7, kCallable, 1, 1, &S::setEscapeChar, u"l_escape_char"},
      {u"getDefaultFontSize", 8, kCallable, 0, 0, &S::getDefaultFontSize},
      {u"getDefaultFontFamily", 9, kCallable, 0, 0, &S::getDefaultFontFamily},
      {u"getDefaultFontColor", 10, kCallable, 0, 0, &S::getDefaultFontColor},
      {u"getCurrencySymbol", 11, kCallable, 0, 0, &S::getCurrencySymbol},
      {u"getSystemCurrencySymbol", 12, kCallable, 0, 0, &S::getSystemCurrencySymbol},
      {u"getRangeChar", 13, kCallable, 0, 0, &S::getRangeChar},
      {u"getEscapeChar", 14, kCallable, 0, 0, &S::getEscapeChar},
  };
  return kMembers;
}

Result<Variant> SystemSettings::setDefaultFontSize(const DispatchArguments& arguments) {
  const VARIANT& size = arguments[0];
  std::u16string text = TRY(ConcatenatedText(size));
  bool usable = !TrimSpaces(text).empty() && IsNumeric(size);
  default_font_size_ = usable ? std::move(text) : std::u16string(kDefaultFontSize);
  return Variant();
}

Result<Variant> SystemSettings::setDefaultFontFamily(const DispatchArguments& arguments) {
  default_font_family_ = TRY(FontSettingText(arguments[0], kDefaultFontFamily));
  return Variant();
}

Result<Variant> SystemSettings::setDefaultFontColor(const DispatchArguments& arguments) {
  default_font_color_ = TRY(FontSettingText(arguments[0], kDefaultFontColor));
  return Variant();
}

Result<Variant> SystemSettings::setCurrencySymbol(const DispatchArguments& arguments) {
  currency_symbol_ = TRY(RequiredText(arguments[0]));
  return Variant();
}

Result<Variant> SystemSettings::setSystemCurrencySymbol(const DispatchArguments& arguments) {
  system_currency_symbol_ = TRY(RequiredText(arguments[0]));
  return Variant();
}

Result<Variant> SystemSettings::setRangeChar(const DispatchArguments& arguments) {
  range_char_ = TRY(RequiredText(arguments[0]));
  return Variant();
}

Result<Variant> SystemSettings::setEscapeChar(const DispatchArguments& arguments) {
  escape_char_ = TRY(RequiredText(arguments[0]));
  return Variant();
}

Result<Variant> SystemSettings::getDefaultFontSize(const DispatchArguments&) {
  return Variant::FromString(default_font_size_);
}

Result<Variant> SystemSettings::getDefaultFontFamily(const DispatchArguments&) {
  return Variant::FromString(default_font_family_);
}

Result<Variant> SystemSettings::getDefaultFontColor(const DispatchArguments&) {
  return Variant::FromString(default_font_color_);
}

Result<Variant> SystemSettings::getCurrencySymbol(const DispatchArguments&) {
  return Variant::FromString(currency_symbol_);
}

Result<Variant> SystemSettings::getSystemCurrencySymbol(const DispatchArguments&) {
  return Variant::FromString(system_currency_symbol_);
}

Result<Variant> SystemSettings::getRangeChar(const DispatchArguments&) {
  return Variant::FromString(range_char_);
}

Result<Variant> SystemSettings::getEscapeChar(const DispatchArguments&) {
  return Variant::FromString(escape_char_);
}

IUnknown* CreateSystemSettings() {
  return static_cast<IDispatch*>(new (std::nothrow) SystemSettings());
}
