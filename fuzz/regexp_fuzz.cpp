// RegExp patterns and subjects: compiling, Test, Execute with every match and group read, and
// Replace with every kind of "$" reference. Input: one byte of switches (bit 0 IgnoreCase,
// bit 1 Multiline, bit 2 Global), then UTF-16LE units, pattern and subject split at the first
// U+0000 (units are taken as they are, so lone surrogates reach the engine too).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/automation/dispatch_call.h"
#include "platform/vbscript/regexp_module.h"

namespace {

void Put(IDispatch* regexp, std::u16string_view name, const Variant& value) {
  (void)PutMember(regexp, name, {}, value);
}

Result<Variant> Call(IDispatch* object, std::u16string_view name, std::vector<Variant> arguments) {
  std::vector<VARIANT> borrowed(arguments.begin(), arguments.end());
  return CallMember(object, name, borrowed);
}

// Reads everything a script could read from a Matches collection.
void WalkMatches(IDispatch* matches) {
  Result<Variant> count = Call(matches, u"Count", {});
  if (!count.ok() || count.value().Type() != VT_I4) return;
  for (int32_t i = 0; i <= count.value().lVal; ++i) {  // one past the end on purpose
    Result<Variant> match = Call(matches, u"Item", {Variant::FromI4(i)});
    if (!match.ok() || match.value().Type() != VT_DISPATCH) continue;
    IDispatch* object = match.value().pdispVal;
    for (std::u16string_view member : {u"Value", u"FirstIndex", u"Length"}) {
      (void)Call(object, member, {});
    }
    Result<Variant> groups = Call(object, u"SubMatches", {});
    if (!groups.ok() || groups.value().Type() != VT_DISPATCH) continue;
    for (int32_t g = 0; g < 12; ++g) (void)Call(groups.value().pdispVal, u"Item", {Variant::FromI4(g)});
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint8_t switches = data[0];
  std::u16string units;
  for (size_t i = 1; i + 1 < size; i += 2) units += char16_t(data[i] | (data[i + 1] << 8));
  size_t split = units.find(u'\0');
  std::u16string pattern = units.substr(0, split);
  std::u16string subject = split == std::u16string::npos ? u"" : units.substr(split + 1);

  ComPtr<IDispatch> regexp = CreateRegExp();
  Put(regexp.get(), u"Pattern", Variant::FromString(pattern));
  Put(regexp.get(), u"IgnoreCase", Variant::FromBool(switches & 1));
  Put(regexp.get(), u"Multiline", Variant::FromBool(switches & 2));
  Put(regexp.get(), u"Global", Variant::FromBool(switches & 4));
  if (!Call(regexp.get(), u"Test", {Variant::FromString(subject)}).ok()) return 0;
  Result<Variant> matches = Call(regexp.get(), u"Execute", {Variant::FromString(subject)});
  if (matches.ok() && matches.value().Type() == VT_DISPATCH) WalkMatches(matches.value().pdispVal);
  (void)Call(regexp.get(), u"Replace",
             {Variant::FromString(subject), Variant::FromString(u"[$1|$&|$`|$'|$$|$10|$]")});
  return 0;
}
