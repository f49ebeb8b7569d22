// The string functions that cut, measure, case, trim, build and encode text, with the byte
// forms (LeftB, MidB, RightB, LenB) that read a string as its UTF-16LE bytes.

#include <algorithm>
#include <string>

#include "platform/automation/conversion.h"
#include "platform/automation/text_case.h"
#include "platform/system/code_page.h"
#include "platform/vbscript/builtins/builtin_functions_internal.h"

namespace builtins {
namespace {

// ---- Cutting by characters ----

// A length or count argument: a Long that may not be negative.
Result<uint32_t> ReadCount(const VARIANT& argument) {
  int32_t count = TRY(ToInt32(argument));
  if (count < 0) return ErrorNumber::InvalidProcedureCall;
  return static_cast<uint32_t>(count);
}

// A start position argument: a Long from 1.
Result<uint32_t> ReadStart(const VARIANT& argument) {
  int32_t start = TRY(ToInt32(argument));
  if (start < 1) return ErrorNumber::InvalidProcedureCall;
  return static_cast<uint32_t>(start);
}

enum class Side { Left, Right };

Result<Variant> TakeSide(const BuiltinCall& call, Side side) {
  TextArgument text = TRY(ReadText(call[0]));
  uint32_t count = TRY(ReadCount(call[1]));
  if (text.is_null) return Variant::Null();
  size_t taken = std::min<size_t>(count, text.view.size());
  size_t first = side == Side::Left ? 0 : text.view.size() - taken;
  return MakeString(text.view.substr(first, taken));
}

// ---- Cutting by bytes ----

// Byte `index` of a string's UTF-16LE storage.
uint8_t ByteAt(std::u16string_view text, size_t index) {
  char16_t unit = text[index / 2];
  return static_cast<uint8_t>(index % 2 == 0 ? unit & 0xFF : unit >> 8);
}

// Bytes [first, first + count) as a string: byte pairs make code units, and an odd last byte
// is padded with a zero high byte since strings hold whole units.
Result<Variant> ByteRange(std::u16string_view text, size_t first, size_t count) {
  Bstr result = TRY(AllocateString((count + 1) / 2));
  BSTR units = result.get();
  for (size_t i = 0; i < count; ++i) {
    uint8_t byte = ByteAt(text, first + i);
    units[i / 2] = static_cast<char16_t>(i % 2 == 0 ? byte : units[i / 2] | (byte << 8));
  }
  return Variant::FromBstr(std::move(result));
}

Result<Variant> TakeSideBytes(const BuiltinCall& call, Side side) {
  TextArgument text = TRY(ReadText(call[0]));
  uint32_t count = TRY(ReadCount(call[1]));
  if (text.is_null) return Variant::Null();
  size_t byte_length = text.view.size() * 2;
  size_t taken = std::min<size_t>(count, byte_length);
  return ByteRange(text.view, side == Side::Left ? 0 : byte_length - taken, taken);
}

// ---- Case and blanks ----

using CaseMapping = std::u16string (*)(std::u16string_view);

Result<Variant> MapCase(const BuiltinCall& call, CaseMapping mapping) {
  TextArgument text = TRY(ReadText(call[0]));
  if (text.is_null) return Variant::Null();
  return MakeString(mapping(text.view));
}

// Only the space character counts as a blank here; tabs and line breaks stay.
enum class TrimSides { Leading, Trailing, Both };

Result<Variant> TrimSpaces(const BuiltinCall& call, TrimSides sides) {
  TextArgument text = TRY(ReadText(call[0]));
  if (text.is_null) return Variant::Null();
  std::u16string_view view = text.view;
  if (sides != TrimSides::Trailing) {
    size_t first = view.find_first_not_of(u' ');
    view.remove_prefix(first == std::u16string_view::npos ? view.size() : first);
  }
  if (sides != TrimSides::Leading) {
    size_t last = view.find_last_not_of(u' ');
    view = view.substr(0, last == std::u16string_view::npos ? 0 : last + 1);
  }
  return MakeString(view);
}

// ---- Building ----

Result<Variant> Repeat(uint32_t count, char16_t character) {
  Bstr result = TRY(AllocateString(count));
  std::fill_n(result.get(), count, character);
  return Variant::FromBstr(std::move(result));
}

// String's character: a string's first character (an empty string is refused), or a code,
// taken modulo 256 and read in the ANSI code page as Chr does.
Result<char16_t> RepeatedCharacter(const VARIANT& value) {
  if (value.vt == VT_BSTR) {
    std::u16string_view text = BstrView(value.bstrVal);
    if (text.empty()) return ErrorNumber::InvalidProcedureCall;
    return text.front();
  }
  int32_t code = TRY(ToInt32(value));
  if (code < 0) return ErrorNumber::InvalidProcedureCall;
  const char byte = static_cast<char>(code % 256);
  return BytesToText(std::string_view(&byte, 1), kCodePageWindows1252).front();
}

// ---- Escape and Unescape ----

// Characters Escape leaves as they are: letters, digits and @*_+-./ (the others are encoded).
bool IsUnreserved(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return true;
  return std::u16string_view(u"@*_+-./").find(c) != std::u16string_view::npos;
}

void AppendHex(std::u16string& out, unsigned value, int digits) {
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out.push_back(kDigits[(value >> shift) & 0xF]);
}

// The value of `digits` hexadecimal characters at `text[at]`, or -1 when they are not all hex.
int HexValue(std::u16string_view text, size_t at, size_t digits) {
  if (at + digits > text.size()) return -1;
  int value = 0;
  for (size_t i = at; i < at + digits; ++i) {
    char16_t c = text[i];
    int digit = (c >= u'0' && c <= u'9') ? c - u'0'
                : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                : (c >= u'A' && c <= u'F') ? c - u'A' + 10 : -1;
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

Result<Variant> Left(const BuiltinCall& call) { return TakeSide(call, Side::Left); }
Result<Variant> Right(const BuiltinCall& call) { return TakeSide(call, Side::Right); }
Result<Variant> LeftB(const BuiltinCall& call) { return TakeSideBytes(call, Side::Left); }
Result<Variant> RightB(const BuiltinCall& call) { return TakeSideBytes(call, Side::Right); }

// A Null start or length is refused before either is read as a number; a Null text gives Null
// only once they are valid.
Result<Variant> Mid(const BuiltinCall& call) {
  if (IsNullValue(call[1]) || (call.Has(2) && IsNullValue(call[2]))) return ErrorNumber::InvalidUseOfNull;
  TextArgument text = TRY(ReadText(call[0]));
  uint32_t start = TRY(ReadStart(call[1]));
  uint32_t length = call.Has(2) ? TRY(ReadCount(call[2])) : UINT32_MAX;
  if (text.is_null) return Variant::Null();
  if (start > text.view.size()) return MakeString(u"");
  return MakeString(text.view.substr(start - 1, length));
}

Result<Variant> MidB(const BuiltinCall& call) {
  TextArgument text = TRY(ReadText(call[0]));
  uint32_t start = TRY(ReadStart(call[1]));
  uint32_t length = call.Has(2) ? TRY(ReadCount(call[2])) : UINT32_MAX;
  if (text.is_null) return Variant::Null();
  size_t byte_length = text.view.size() * 2;
  if (start > byte_length) return MakeString(u"");
  size_t first = start - 1;
  return ByteRange(text.view, first, std::min<size_t>(length, byte_length - first));
}

// Len of a number is the length of its text form (Len(1.5) = 3).
Result<Variant> Len(const BuiltinCall& call) {
  TextArgument text = TRY(ReadText(call[0]));
  if (text.is_null) return Variant::Null();
  return Variant::FromI4(static_cast<int32_t>(text.view.size()));
}

Result<Variant> LenB(const BuiltinCall& call) {
  TextArgument text = TRY(ReadText(call[0]));
  if (text.is_null) return Variant::Null();
  return Variant::FromI4(static_cast<int32_t>(text.view.size() * 2));
}

Result<Variant> LCase(const BuiltinCall& call) { return MapCase(call, ToLower); }
Result<Variant> UCase(const BuiltinCall& call) { return MapCase(call, ToUpper); }

Result<Variant> LTrim(const BuiltinCall& call) { return TrimSpaces(call, TrimSides::Leading); }
Result<Variant> RTrim(const BuiltinCall& call) { return TrimSpaces(call, TrimSides::Trailing); }
Result<Variant> Trim(const BuiltinCall& call) { return TrimSpaces(call, TrimSides::Both); }

Result<Variant> Space(const BuiltinCall& call) {
  uint32_t count = TRY(ReadCount(call[0]));
  return Repeat(count, u' ');
}

Result<Variant> String(const BuiltinCall& call) {
  uint32_t count = TRY(ReadCount(call[0]));
  Variant holder;
  VARIANT character = TRY(ReadValue(call[1], holder));
  if (character.vt == VT_NULL) return Variant::Null();
  return Repeat(count, TRY(RepeatedCharacter(character)));
}

// Reverses code units, as the platform does (a surrogate pair comes out swapped).
Result<Variant> StrReverse(const BuiltinCall& call) {
  TextArgument text = TRY(ReadNonNullText(call[0]));
  return MakeString(std::u16string(text.view.rbegin(), text.view.rend()));
}

Result<Variant> Escape(const BuiltinCall& call) {
  TextArgument text = TRY(ReadText(call[0]));
  if (text.is_null) return Variant::Null();
  std::u16string out;
  for (char16_t c : text.view) {
    if (IsUnreserved(c)) {
      out.push_back(c);
    } else if (c < 0x100) {
      out.push_back(u'%');
      AppendHex(out, c, 2);
    } else {
      out.append(u"%u");
      AppendHex(out, c, 4);
    }
    TRY(CheckStringLength(out.size()));
  }
  return MakeString(out);
}

// %uXXXX and %XX become the characters they name; any other '%' stays as it is.
Result<Variant> Unescape(const BuiltinCall& call) {
  TextArgument text = TRY(ReadText(call[0]));
  if (text.is_null) return Variant::Null();
  std::u16string_view in = text.view;
  std::u16string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    int value = -1;
    if (in[i] == u'%' && i + 1 < in.size() && in[i + 1] == u'u') {
      value = HexValue(in, i + 2, 4);
      if (value >= 0) i += 5;
    } else if (in[i] == u'%') {
      value = HexValue(in, i + 1, 2);
      if (value >= 0) i += 2;
    }
    out.push_back(value >= 0 ? static_cast<char16_t>(value) : in[i]);
  }
  return MakeString(out);
}

}  // namespace builtins
