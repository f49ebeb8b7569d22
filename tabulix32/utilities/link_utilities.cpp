// Link members of UtilitiesClass: escaping and URL encoding of key values, filling a row's keys
// into its link clause, the external-link icon, fields of backtick-delimited descriptions and
// the first entry of a keyed collection.
#include "tabulix32/utilities/utilities_class.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/compare.h"
#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "platform/com/com_ptr.h"
#include "platform/com/enum_variant.h"
#include "tabulix32/utilities/link_utilities_internal.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using namespace utilities_internal;

namespace {

// --- URL encoding -----------------------------------------------------------------------------

// Characters that stand for themselves in an encoded value: ASCII digits and letters.
constexpr std::array<bool, 256> MakeUnreservedTable() {
  std::array<bool, 256> table{};
  for (int c = '0'; c <= '9'; ++c) table[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) table[c] = true;
  return table;
}
constexpr std::array<bool, 256> kUnreserved = MakeUnreservedTable();

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

void AppendEncodedByte(std::u16string& out, uint32_t byte) {
  out += u'%';
  out += kHexDigits[(byte >> 4) & 0xF];
  out += kHexDigits[byte & 0xF];
}

// One UTF-16 code unit in encoded form.
void AppendEncodedUnit(std::u16string& out, char16_t unit) {
  uint32_t c = unit;
  if (c == u' ') {
    out += u'+';
  } else if (c < 128 && kUnreserved[c]) {
    out += unit;
  } else if (c < 128) {
    AppendEncodedByte(out, c);
  } else if (c < 2048) {
    AppendEncodedByte(out, 0xC0 + c / 64);
    AppendEncodedByte(out, 0x80 + c % 64);
  } else {
    AppendEncodedByte(out, 0xE0 + c / 4096);
    AppendEncodedByte(out, 0x80 + (c / 64) % 64);
    AppendEncodedByte(out, 0x80 + c % 64);
  }
}

// --- External-link icon -----------------------------------------------------------------------

constexpr std::u16string_view kLinkOpen = u"&nbsp;&nbsp;<a href=\"";
constexpr std::u16string_view kLinkTarget = u"\" target=";
constexpr std::u16string_view kNewWindowTarget = u"_blank";
constexpr std::u16string_view kTagClose = u">";
constexpr std::u16string_view kLinkIcon =
    u"<IMG title=\"Direct to External Link\" src=\"images/arrows_blue_060.gif\" border=\"0\"";
constexpr std::u16string_view kLinkIconEnd = u" width=\"9\" height=\"10\"></a>";
// A template starting with this opens its link in a new window.
constexpr char16_t kNewWindowMark = u'+';
constexpr char16_t kTokenMark = u'%';
constexpr std::u16string_view kBoldOpen = u"<b>";
constexpr std::u16string_view kBoldClose = u"</b>";

// --- Link keys --------------------------------------------------------------------------------

constexpr std::u16string_view kKeyPlaceholder = u"%key%";
constexpr std::u16string_view kGroupKeyPlaceholder = u"%keygroupby%";
constexpr std::u16string_view kListSeparator = u",";
constexpr std::u16string_view kAmpersand = u"&";

// getEnableLink's arguments, first first.
enum EnableLinkArgument : size_t {
  kIsGrouped,
  kRowsReport,
  kKeyGroupby,
  kRowCounter,
  kLinkClause,
  kRangeChar,
  kEscapeChar,
  kHasKeyField,
  kKey,
  kEnableLink,
};

// --- Descriptions -----------------------------------------------------------------------------

constexpr char16_t kFieldDelimiter = u'`';

// The cell (column, row) of the page's two-dimensional row array; an object stands for its
// default member with the two indices.
Result<Variant> RowCell(const VARIANT& rows, const VARIANT& column, const VARIANT& row) {
  VARIANT shallow = PeekValue(rows);
  if (shallow.vt == VT_DISPATCH && shallow.pdispVal != nullptr) {
    VARIANT indices[] = {PeekValue(column), PeekValue(row)};
    return InvokeDispatch(shallow.pdispVal, DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                          indices);
  }
  if ((shallow.vt & VT_ARRAY) == 0 || shallow.parray == nullptr) return ErrorNumber::TypeMismatch;
  int32_t indices[] = {TRY(ToInt32(column)), TRY(ToInt32(row))};
  return SafeArrayGetElement(shallow.parray, indices, 2);
}

// A key value as it enters a link: escaped (unless it reads as a date) and URL-encoded.
Result<std::u16string> EncodedKey(std::u16string_view key, const DispatchArguments& arguments,
                                  bool escape) {
  if (!escape) return UrlEncode(key);
  std::u16string range = TRY(RequiredText(arguments[kRangeChar]));
  std::u16string escape_char = TRY(ConcatenatedText(arguments[kEscapeChar]));
  std::u16string escaped = TRY(EscapeLinkValue(key, range, escape_char));
  return UrlEncode(escaped);
}

// Sets `placeholder` in the link clause to `encoded`, in `clause` (the clause as this call
// sees it, also when it was passed by value) and in the caller's variable.
Result<void> SetLinkClauseKey(const DispatchArguments& arguments, Variant& clause,
                              std::u16string_view placeholder, std::u16string_view encoded) {
  std::u16string text = TRY(RequiredText(clause));
  std::u16string changed = TRY(SetQueryStringVariable(text, placeholder, encoded));
  clause = TRY(TextResult(changed));
  return arguments.Assign(kLinkClause, clause);
}

// getEnableLink step 1: the group key (the key itself, or its cell of the row array) goes into
// %keygroupby%; a Null cell disables the link instead.
Result<void> FillGroupKey(const DispatchArguments& arguments, Variant& clause) {
  Variant empty_text = Variant::FromString(u"");
  bool whole_group = TRY(Compare(arguments[kRowCounter], empty_text)) == Comparison::Equal;
  std::u16string key;
  if (whole_group) {
    key = TRY(RequiredText(arguments[kKeyGroupby]));
  } else {
    Variant cell = TRY(RowCell(arguments[kRowsReport], arguments[kKeyGroupby],
                               arguments[kRowCounter]));
    if (cell.IsNull()) return arguments.Assign(kEnableLink, Variant::FromBool(false));
    std::u16string text = TRY(RequiredText(cell));
    key = TRY(SubstituteQuoteAndPlus(text));
  }
  std::u16string encoded = TRY(EncodedKey(key, arguments, /*escape=*/true));
  return SetLinkClauseKey(arguments, clause, kGroupKeyPlaceholder, encoded);
}

// The text of `description` cut as getDescriptionField does for an absent field: the
// characters from the second on, as many as the trimmed text has less two, then from the first
// backtick on. Invalid procedure call (5) when either cut is impossible.
Result<std::u16string> CutDescription(std::u16string_view description) {
  int64_t length = static_cast<int64_t>(TrimSpaces(description).size()) - 2;
  if (length < 0) return ErrorNumber::InvalidProcedureCall;
  std::u16string_view inner = description.substr(std::min<size_t>(1, description.size()));
  inner = inner.substr(0, static_cast<size_t>(length));
  size_t delimiter = inner.find(kFieldDelimiter);
  if (delimiter == std::u16string_view::npos) return ErrorNumber::InvalidProcedureCall;
  return std::u16string(inner.substr(delimiter));
}

// The collection object of getFirstCollectionKey / getFirstCollectionValue.
Result<IDispatch*> CollectionObject(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt != VT_DISPATCH) return ErrorNumber::ObjectRequired;
  if (shallow.pdispVal == nullptr) return ErrorNumber::ObjectVariableNotSet;
  return shallow.pdispVal;
}

// The first element of an array in storage order, or nothing for an empty one.
Result<std::optional<Variant>> FirstArrayElement(const SAFEARRAY* array) {
  if (array == nullptr || SafeArrayElementCount(array) == 0) return std::optional<Variant>();
  uint32_t dimensions = SafeArrayGetDim(array);
  std::vector<int32_t> indices(dimensions);
  for (uint32_t i = 0; i < dimensions; ++i) indices[i] = TRY(SafeArrayLowerBound(array, i + 1));
  Variant element = TRY(SafeArrayGetElement(array, indices.data(), dimensions));
  return std::optional<Variant>(std::move(element));
}

// The first value an enumerable object gives through _NewEnum, or nothing.
Result<std::optional<Variant>> FirstEnumeratedValue(IDispatch* list) {
  Variant enumerator = TRY(InvokeDispatch(list, DISPID_NEWENUM,
                                          DISPATCH_METHOD | DISPATCH_PROPERTYGET));
  VARIANT shallow = PeekValue(enumerator);
  if ((shallow.vt != VT_UNKNOWN && shallow.vt != VT_DISPATCH) || shallow.punkVal == nullptr) {
    return ErrorNumber::ObjectNotACollection;
  }
  ComPtr<IEnumVARIANT> values = ComPtr<IUnknown>(shallow.punkVal).As<IEnumVARIANT>(
      IID_IEnumVARIANT);
  if (!values) return ErrorNumber::ObjectNotACollection;
  VARIANT first;
  VariantInit(&first);
  ULONG fetched = 0;
  HRESULT hr = values->Next(1, &first, &fetched);
  if (FAILED(hr)) return Error::FromHresult(hr);
  Variant owned;
  owned.Attach(first);
  if (hr != S_OK || fetched == 0) return std::optional<Variant>();
  return std::optional<Variant>(std::move(owned));
}

// The first key of a collection: the first element of what its "keys" member gives (an array
// or an enumerable object); nothing when the collection is empty.
Result<std::optional<Variant>> FirstCollectionKey(IDispatch* collection) {
  Variant keys = TRY(CallMember(collection, u"keys"));
  VARIANT shallow = PeekValue(keys);
  if ((shallow.vt & VT_ARRAY) != 0) return FirstArrayElement(shallow.parray);
  if (shallow.vt == VT_DISPATCH && shallow.pdispVal != nullptr) {
    return FirstEnumeratedValue(shallow.pdispVal);
  }
  return ErrorNumber::ObjectNotACollection;
}

}  // namespace

namespace utilities_internal {

Result<std::u16string> UrlEncode(std::u16string_view text) {
  // 1. NULs go first, then the outer spaces.
  std::u16string cleaned;
  cleaned.reserve(text.size());
  for (char16_t c : text) {
    if (c != u'\0') cleaned += c;
  }
  std::u16string_view value = TrimSpaces(cleaned);
  // 3. The counter that walks the text is 16 bits wide.
  if (value.size() > kMaxUrlEncodedInput) return ErrorNumber::Overflow;
  // 2. At most nine output characters per code unit.
  std::u16string encoded;
  encoded.reserve(value.size() * 3);
  for (char16_t unit : value) AppendEncodedUnit(encoded, unit);
  return encoded;
}

Result<std::u16string> EscapeCharacter(std::u16string_view text, std::u16string_view character,
                                       std::u16string_view escape) {
  if (character.empty()) return std::u16string(text);
  std::u16string escaped_character;
  escaped_character.reserve(escape.size() + character.size());
  escaped_character.append(escape).append(character);
  return ReplaceAll(text, character, escaped_character);
}

Result<std::u16string> EscapeLinkValue(std::u16string_view text, std::u16string_view range,
                                       std::u16string_view escape) {
  std::u16string escaped = TRY(EscapeCharacter(text, kListSeparator, escape));
  escaped = TRY(EscapeCharacter(escaped, range, escape));
  return EscapeCharacter(escaped, kAmpersand, escape);
}

Result<std::u16string> SubstituteQuoteAndPlus(std::u16string_view text) {
  std::u16string substituted = TRY(ReplaceAll(text, u"'", u"*$*"));
  return ReplaceAll(substituted, u"+", u"%2B");
}

}  // namespace utilities_internal

// myescape3(l_val5, l_chr, escape_char)
Result<Variant> UtilitiesClass::myescape3(const DispatchArguments& arguments) {
  std::u16string text = TRY(RequiredText(arguments[0]));
  std::u16string character = TRY(RequiredText(arguments[1]));
  std::u16string escape = TRY(ConcatenatedText(arguments[2]));
  std::u16string escaped = TRY(EscapeCharacter(text, character, escape));
  return TextResult(escaped);
}

// myescape2(l_val3, range_char, escape_char)
Result<Variant> UtilitiesClass::myescape2(const DispatchArguments& arguments) {
  std::u16string text = TRY(RequiredText(arguments[0]));
  std::u16string range = TRY(RequiredText(arguments[1]));
  std::u16string escape = TRY(ConcatenatedText(arguments[2]));
  std::u16string escaped = TRY(EscapeLinkValue(text, range, escape));
  return TextResult(escaped);
}

// getEnableLink(isGrouped, rowsReport, l_keyGroupby, repRowCounter, linkClause, range_char,
// escape_char, hasKeyField, l_key, enableLink): fills the row's keys into linkClause; only ever
// sets enableLink to false (the caller sets it to true beforehand).
Result<Variant> UtilitiesClass::getEnableLink(const DispatchArguments& arguments) {
  Variant clause = TRY(CopyOfValue(arguments[kLinkClause]));
  // 1.
  if (TRY(IsTrue(arguments[kIsGrouped]))) TRY(FillGroupKey(arguments, clause));
  // 2.
  if (!TRY(IsTrue(arguments[kHasKeyField])) || IsNullValue(arguments[kKey])) {
    TRY(arguments.Assign(kEnableLink, Variant::FromBool(false)));
    return Variant();
  }
  // 3. The substituted key replaces the caller's key (as text).
  std::u16string key = TRY(RequiredText(arguments[kKey]));
  key = TRY(SubstituteQuoteAndPlus(key));
  Variant key_text = TRY(TextResult(key));
  TRY(arguments.Assign(kKey, key_text));
  // 4. A key that reads as a date goes in unescaped.
  std::u16string encoded = TRY(EncodedKey(key, arguments, /*escape=*/!IsDate(key_text)));
  TRY(SetLinkClauseKey(arguments, clause, kKeyPlaceholder, encoded));
  return Variant();
}

// substituteLink(linkurl, replaceWith, enable_drilldown_hyperlinks): the external-link icon
// for a link template whose %token% is replaced by the description; "" when there is no
// template or drill-down links are off. The caller's replaceWith loses "<b>" and "</b>".
Result<Variant> UtilitiesClass::substituteLink(const DispatchArguments& arguments) {
  // 1. A Null description stays Null and fills the token as "".
  std::u16string replacement;
  if (!IsNullValue(arguments[1])) {
    std::u16string description = TRY(RequiredText(arguments[1]));
    description = TRY(ReplaceAll(description, kBoldOpen, u""));
    replacement = TRY(ReplaceAll(description, kBoldClose, u""));
    TRY(arguments.Assign(1, Variant::FromString(replacement)));
  }
  // 2.
  std::u16string template_text = TRY(RequiredText(arguments[0]));
  if (TrimSpaces(template_text).empty() || !TRY(IsTrue(arguments[2]))) {
    return Variant::FromString(u"");
  }
  // 3. The token runs from the first "%" to the last.
  std::u16string url = template_text;
  size_t first = template_text.find(kTokenMark);
  if (first != std::u16string::npos) {
    size_t last = template_text.rfind(kTokenMark);
    std::u16string_view token = std::u16string_view(template_text).substr(first, last - first + 1);
    std::u16string replaced = TRY(ReplaceAll(template_text, token, replacement));
    url = std::u16string(TrimSpaces(replaced));
  }
  // 4.
  std::u16string_view target;
  std::u16string_view address = url;
  if (address.starts_with(kNewWindowMark)) {
    target = kNewWindowTarget;
    address.remove_prefix(1);
  }
  // 5.
  std::u16string html;
  html.append(kLinkOpen).append(address).append(kLinkTarget).append(target).append(kTagClose);
  html.append(kLinkIcon).append(kLinkIconEnd);
  return TextResult(html);
}

// getDescriptionField(l_descr, l_field): the value after `field` in a description
// `name`value``name`value`; "" when absent, and then the caller's text is cut (see
// CutDescription).
Result<Variant> UtilitiesClass::getDescriptionField(const DispatchArguments& arguments) {
  std::u16string description = TRY(RequiredText(arguments[0]));
  std::u16string field = TRY(ConcatenatedText(arguments[1]));
  std::u16string marker;
  marker.reserve(field.size() + 2);
  marker.append(1, kFieldDelimiter).append(field).append(1, kFieldDelimiter);
  size_t found = description.find(marker);
  if (found == std::u16string::npos) {
    // Cut in full before writing, so that a failing cut leaves the caller's text as it was.
    std::u16string cut = TRY(CutDescription(description));
    TRY(arguments.Assign(0, Variant::FromString(cut)));
    return Variant::FromString(u"");
  }
  std::u16string_view rest = std::u16string_view(description).substr(found + marker.size());
  size_t end = rest.find(kFieldDelimiter);
  if (end == std::u16string_view::npos) return Variant::FromString(u"");
  return Variant::FromString(rest.substr(0, end));
}

// getFirstCollectionKey(l_collection2): the first key, or "" for an empty collection.
Result<Variant> UtilitiesClass::getFirstCollectionKey(const DispatchArguments& arguments) {
  IDispatch* collection = TRY(CollectionObject(arguments[0]));
  std::optional<Variant> key = TRY(FirstCollectionKey(collection));
  if (!key) return Variant::FromString(u"");
  return std::move(*key);
}

// getFirstCollectionValue(l_collection2): the item under the first key (through the default
// member), or "" for an empty collection.
Result<Variant> UtilitiesClass::getFirstCollectionValue(const DispatchArguments& arguments) {
  IDispatch* collection = TRY(CollectionObject(arguments[0]));
  std::optional<Variant> key = TRY(FirstCollectionKey(collection));
  if (!key) return Variant::FromString(u"");
  VARIANT item_key[] = {*key};
  return InvokeDispatch(collection, DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                        item_key);
}
