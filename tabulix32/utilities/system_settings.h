#pragma once
// SystemSettings: the rendering defaults of one report page (font size, family and colour of
// cells, the currency symbols, the range and escape characters of query-string values), kept
// as text. A new object holds seven empty strings; nothing is persisted.

#include <span>
#include <string>

#include "platform/com/dispatch_object.h"

class SystemSettings : public DispatchObject<SystemSettings> {
 public:
  static std::span<const DispatchMember<SystemSettings>> Members();
  std::u16string_view TypeName() override { return u"SystemSettings"; }

  /// setDefaultFontSize(l_default_font_size), by value: Null counts as ""; a value that is
  /// blank (spaces only) or not numeric in the locale's syntax stores "8"; anything else is
  /// stored as its text, untrimmed (the number 10 as "10").
  Result<Variant> setDefaultFontSize(const DispatchArguments& arguments);
  /// setDefaultFontFamily(l_default_font_family), by value: "Tahoma" for Null or blank.
  Result<Variant> setDefaultFontFamily(const DispatchArguments& arguments);
  /// setDefaultFontColor(l_default_font_color), by value: "#000000" for Null or blank; the
  /// colour syntax is not checked.
  Result<Variant> setDefaultFontColor(const DispatchArguments& arguments);
  /// The four plain setters take their argument by reference and store its text unchanged (no
  /// trimming, default or length check; Empty is ""). Null fails with invalid use of Null (94)
  /// and keeps the old value.
  Result<Variant> setCurrencySymbol(const DispatchArguments& arguments);
  Result<Variant> setSystemCurrencySymbol(const DispatchArguments& arguments);
  Result<Variant> setRangeChar(const DispatchArguments& arguments);
  Result<Variant> setEscapeChar(const DispatchArguments& arguments);

  /// The getters give the stored text as a string and cannot fail.
  Result<Variant> getDefaultFontSize(const DispatchArguments& arguments);
  Result<Variant> getDefaultFontFamily(const DispatchArguments& arguments);
  Result<Variant> getDefaultFontColor(const DispatchArguments& arguments);
  Result<Variant> getCurrencySymbol(const DispatchArguments& arguments);
  Result<Variant> getSystemCurrencySymbol(const DispatchArguments& arguments);
  Result<Variant> getRangeChar(const DispatchArguments& arguments);
  Result<Variant> getEscapeChar(const DispatchArguments& arguments);

 private:
  std::u16string default_font_size_;
  std::u16string default_font_family_;
  std::u16string default_font_color_;
  std::u16string currency_symbol_;
  std::u16string system_currency_symbol_;
  std::u16string range_char_;
  std::u16string escape_char_;
};

/// A new SystemSettings for the module's class factory; null when memory runs out.
IUnknown* CreateSystemSettings();
