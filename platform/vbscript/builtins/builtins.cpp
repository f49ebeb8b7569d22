// The function table and the vb... constants. Both are constant data (no constructor runs when
// the library is loaded); lookups compare names ignoring case, as script names are.

#include "platform/vbscript/builtins/builtins.h"

#include "platform/automation/text_case.h"
#include "platform/vbscript/builtins/builtin_functions_internal.h"

namespace {

using namespace builtins;

constexpr BuiltinUse kValue = BuiltinUse::ValueOnly;

// The most arguments one call of Array may pass, as on the platform.
constexpr uint8_t kMaxArrayArguments = 255;

// clang-format off
constexpr BuiltinEntry kFunctions[] = {
    // Conversion
    {u"CBool", 1, 1, CBool, kValue},    {u"CByte", 1, 1, CByte, kValue},
    {u"CCur", 1, 1, CCur, kValue},      {u"CDate", 1, 1, CDate, kValue},
    {u"CDbl", 1, 1, CDbl, kValue},      {u"CInt", 1, 1, CInt, kValue},
    {u"CLng", 1, 1, CLng, kValue},      {u"CSng", 1, 1, CSng, kValue},
    {u"CStr", 1, 1, CStr, kValue},      {u"Hex", 1, 1, Hex},
    {u"Oct", 1, 1, Oct},                {u"Fix", 1, 1, Fix},
    {u"Int", 1, 1, Int},                {u"Round", 1, 2, Round},
    {u"Asc", 1, 1, Asc},                {u"AscB", 1, 1, AscB},
    {u"AscW", 1, 1, AscW},              {u"Chr", 1, 1, Chr},
    {u"ChrB", 1, 1, ChrB},              {u"ChrW", 1, 1, ChrW},
    // Strings
    {u"Left", 2, 2, Left},              {u"LeftB", 2, 2, LeftB},
    {u"Right", 2, 2, Right},            {u"RightB", 2, 2, RightB},
    {u"Mid", 2, 3, Mid},                {u"MidB", 2, 3, MidB},
    {u"Len", 1, 1, Len},                {u"LenB", 1, 1, LenB},
    {u"LCase", 1, 1, LCase},            {u"UCase", 1, 1, UCase},
    {u"LTrim", 1, 1, LTrim},            {u"RTrim", 1, 1, RTrim},
    {u"Trim", 1, 1, Trim},              {u"Space", 1, 1, Space},
    {u"String", 2, 2, String},          {u"StrReverse", 1, 1, StrReverse},
    {u"Escape", 1, 1, Escape},          {u"Unescape", 1, 1, Unescape},
    {u"InStr", 2, 4, InStr},            {u"InStrB", 2, 4, InStrB},
    {u"InStrRev", 2, 4, InStrRev},      {u"Replace", 3, 6, Replace},
    {u"Split", 1, 4, Split},            {u"Join", 1, 2, Join},
    {u"Filter", 2, 4, Filter},          {u"StrComp", 2, 3, StrComp},
    // Math
    {u"Abs", 1, 1, Abs},                {u"Atn", 1, 1, Atn},
    {u"Cos", 1, 1, Cos},                {u"Exp", 1, 1, Exp},
    {u"Log", 1, 1, Log},                {u"Rnd", 0, 1, Rnd},
    {u"Randomize", 0, 1, Randomize, BuiltinUse::StatementOnly},
    {u"Sgn", 1, 1, Sgn},
    {u"Sin", 1, 1, Sin},                {u"Sqr", 1, 1, Sqr},
    {u"Tan", 1, 1, Tan},                {u"RGB", 3, 3, RGB},
    // Dates and times
    {u"Date", 0, 0, Date},              {u"Time", 0, 0, Time},
    {u"Now", 0, 0, Now},                {u"Timer", 0, 0, Timer},
    {u"DateAdd", 3, 3, DateAdd},        {u"DateDiff", 3, 5, DateDiff},
    {u"DatePart", 2, 4, DatePart},      {u"DateSerial", 3, 3, DateSerial},
    {u"DateValue", 1, 1, DateValue},    {u"TimeSerial", 3, 3, TimeSerial},
    {u"TimeValue", 1, 1, TimeValue},    {u"Day", 1, 1, Day},
    {u"Month", 1, 1, Month},            {u"Year", 1, 1, Year},
    {u"Hour", 1, 1, Hour},              {u"Minute", 1, 1, Minute},
    {u"Second", 1, 1, Second},          {u"Weekday", 1, 2, Weekday},
    {u"MonthName", 1, 2, MonthName},    {u"WeekdayName", 1, 3, WeekdayName},
    {u"IsDate", 1, 1, IsDate},
    // Formatting
    {u"FormatNumber", 1, 5, FormatNumber},      {u"FormatCurrency", 1, 5, FormatCurrency},
    {u"FormatPercent", 1, 5, FormatPercent},    {u"FormatDateTime", 1, 2, FormatDateTime},
    // Inspection, arrays and the engine
    {u"IsArray", 1, 1, IsArray},        {u"IsEmpty", 1, 1, IsEmpty},
    {u"IsNull", 1, 1, IsNull},          {u"IsNumeric", 1, 1, IsNumeric},
    {u"IsObject", 1, 1, IsObject},      {u"TypeName", 1, 1, TypeName},
    {u"VarType", 1, 1, VarType},        {u"LBound", 1, 2, LBound},
    {u"UBound", 1, 2, UBound},          {u"Array", 0, kMaxArrayArguments, Array},
    {u"ScriptEngine", 0, 0, ScriptEngine},
    {u"ScriptEngineMajorVersion", 0, 0, ScriptEngineMajorVersion},
    {u"ScriptEngineMinorVersion", 0, 0, ScriptEngineMinorVersion},
    {u"ScriptEngineBuildVersion", 0, 0, ScriptEngineBuildVersion},
    {u"GetLocale", 0, 0, GetLocale},    {u"SetLocale", 0, 1, SetLocale},
    {u"MsgBox", 1, 5, MsgBox},          {u"InputBox", 1, 7, InputBox},
};
// clang-format on

using Kind = BuiltinConstant::Kind;

// A numeric constant is an Integer when its value fits one, as the same literal would be.
constexpr BuiltinConstant Number(std::u16string_view name, int32_t value) {
  return {name, value >= -32768 && value <= 32767 ? Kind::Integer : Kind::Long, value, 0.0, {}};
}

// Colors are Longs whatever their value.
constexpr BuiltinConstant Color(std::u16string_view name, int32_t value) {
  return {name, Kind::Long, value, 0.0, {}};
}

constexpr BuiltinConstant Text(std::u16string_view name, std::u16string_view text) {
  return {name, Kind::String, 0, 0.0, text};
}

constexpr BuiltinConstant kConstants[] = {
    // Characters
    Text(u"vbCr", u"\r"), Text(u"vbLf", u"\n"), Text(u"vbCrLf", u"\r\n"),
    Text(u"vbNewLine", u"\r\n"), Text(u"vbNullChar", std::u16string_view(u"\0", 1)),
    Text(u"vbNullString", u""), Text(u"vbTab", u"\t"), Text(u"vbVerticalTab", u"\v"),
    Text(u"vbFormFeed", u"\f"), Text(u"vbBack", u"\b"),
    // Comparison
    Number(u"vbBinaryCompare", 0), Number(u"vbTextCompare", 1), Number(u"vbDatabaseCompare", 2),
    // Days and weeks
    Number(u"vbUseSystemDayOfWeek", 0), Number(u"vbSunday", 1), Number(u"vbMonday", 2),
    Number(u"vbTuesday", 3), Number(u"vbWednesday", 4), Number(u"vbThursday", 5),
    Number(u"vbFriday", 6), Number(u"vbSaturday", 7), Number(u"vbUseSystem", 0),
    Number(u"vbFirstJan1", 1), Number(u"vbFirstFourDays", 2), Number(u"vbFirstFullWeek", 3),
    // Date formats
    Number(u"vbGeneralDate", 0), Number(u"vbLongDate", 1), Number(u"vbShortDate", 2),
    Number(u"vbLongTime", 3), Number(u"vbShortTime", 4),
    // Tri-states
    Number(u"vbTrue", -1), Number(u"vbFalse", 0), Number(u"vbUseDefault", -2),
    // Variant types
    Number(u"vbEmpty", 0), Number(u"vbNull", 1), Number(u"vbInteger", 2), Number(u"vbLong", 3),
    Number(u"vbSingle", 4), Number(u"vbDouble", 5), Number(u"vbCurrency", 6), Number(u"vbDate", 7),
    Number(u"vbString", 8), Number(u"vbObject", 9), Number(u"vbError", 10),
    Number(u"vbBoolean", 11), Number(u"vbVariant", 12), Number(u"vbDataObject", 13),
    Number(u"vbDecimal", 14), Number(u"vbByte", 17), Number(u"vbArray", 8192),
    // Message boxes
    Number(u"vbOKOnly", 0), Number(u"vbOKCancel", 1), Number(u"vbAbortRetryIgnore", 2),
    Number(u"vbYesNoCancel", 3), Number(u"vbYesNo", 4), Number(u"vbRetryCancel", 5),
    Number(u"vbCritical", 16), Number(u"vbQuestion", 32), Number(u"vbExclamation", 48),
    Number(u"vbInformation", 64), Number(u"vbDefaultButton1", 0),
    Number(u"vbDefaultButton2", 256), Number(u"vbDefaultButton3", 512),
    Number(u"vbDefaultButton4", 768), Number(u"vbApplicationModal", 0),
    Number(u"vbSystemModal", 4096), Number(u"vbMsgBoxHelpButton", 16384),
    Number(u"vbMsgBoxSetForeground", 65536), Number(u"vbMsgBoxRight", 524288),
    Number(u"vbMsgBoxRtlReading", 1048576), Number(u"vbOK", 1), Number(u"vbCancel", 2),
    Number(u"vbAbort", 3), Number(u"vbRetry", 4), Number(u"vbIgnore", 5), Number(u"vbYes", 6),
    Number(u"vbNo", 7),
    // Errors
    Number(u"vbObjectError", -2147221504),
    // Colors
    Color(u"vbBlack", 0x000000), Color(u"vbRed", 0x0000FF), Color(u"vbGreen", 0x00FF00),
    Color(u"vbYellow", 0x00FFFF), Color(u"vbBlue", 0xFF0000), Color(u"vbMagenta", 0xFF00FF),
    Color(u"vbCyan", 0xFFFF00), Color(u"vbWhite", 0xFFFFFF),
};

}  // namespace

bool BuiltinCall::Has(size_t index) const {
  if (index >= arguments.size()) return false;
  VARIANT value = PeekValue(arguments[index]);
  return !(value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND);
}

std::span<const BuiltinEntry> BuiltinFunctions() { return kFunctions; }

const BuiltinEntry* FindBuiltin(std::u16string_view name) {
  for (const BuiltinEntry& entry : kFunctions) {
    if (EqualsIgnoringCase(entry.name, name)) return &entry;
  }
  return nullptr;
}

Variant BuiltinConstant::Value() const {
  switch (kind) {
    case Kind::Integer: return Variant::FromI2(static_cast<int16_t>(integer));
    case Kind::Long: return Variant::FromI4(integer);
    case Kind::Double: return Variant::FromR8(real);
    // vbNullString is the null string, which reads as "" everywhere.
    case Kind::String: return text.empty() ? Variant::FromBstr(Bstr()) : Variant::FromString(text);
  }
  return Variant();
}

std::span<const BuiltinConstant> BuiltinConstants() { return kConstants; }

const BuiltinConstant* FindBuiltinConstant(std::u16string_view name) {
  for (const BuiltinConstant& constant : kConstants) {
    if (EqualsIgnoringCase(constant.name, name)) return &constant;
  }
  return nullptr;
}
