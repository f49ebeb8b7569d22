// Marked-region expansion on hostile text: the marks, the text and the handler's answers all
// come from the input. The linear splice must agree with a plain in-place splice (the rule as
// written: replace the region in the text, search again at the end of the replacement) on the
// result and on every region handed out, and the TextParser object must give the same text
// through its native callback.
//
// Input: byte 0 = start-mark length (low 3 bits) and end-mark length (next 3 bits); byte 1 =
// the answer mode; then the marks, then the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/dispatch_call.h"
#include "platform/system/code_page.h"
#include "wendrel/components/marked_regions.h"
#include "wendrel/components/text_parser.h"

namespace {

struct Seen {
  int32_t start;
  int32_t end;
  std::string region;
  bool operator==(const Seen&) const = default;
};

// The handler's answer for the n-th region, by mode: the region itself, nothing, the region
// twice, a text holding both marks, or a short fixed text.
std::string Answer(uint8_t mode, size_t n, std::string_view region, std::string_view start_mark,
                   std::string_view end_mark) {
  switch ((mode + n) % 5) {
    case 0: return std::string(region);
    case 1: return {};
    case 2: return region.size() < 256 ? std::string(region) + std::string(region) : std::string(region);
    case 3: return std::string(start_mark) + "x" + std::string(end_mark);
    default: return "R";
  }
}

// The rule as written, splicing in place: quadratic, but plain.
std::string SpliceInPlace(std::string text, std::string_view start_mark, std::string_view end_mark,
                          uint8_t mode, std::vector<Seen>& seen) {
  if (start_mark.empty()) return text;
  size_t start = text.find(start_mark);
  while (start != std::string::npos) {
    size_t end = text.find(end_mark, start + start_mark.size());
    if (end == std::string::npos) break;
    std::string region = text.substr(start, end + end_mark.size() - start);
    seen.push_back({static_cast<int32_t>(start + 1), static_cast<int32_t>(end + 1), region});
    std::string answer = Answer(mode, seen.size() - 1, region, start_mark, end_mark);
    text.replace(start, region.size(), answer);
    start = text.find(start_mark, start + answer.size());
  }
  return text;
}

struct CallbackState {
  uint8_t mode;
  size_t count;
  std::string_view start_mark;
  std::string_view end_mark;
};

void ObjectCallback(int32_t, int32_t, BSTR* region, intptr_t parameter) {
  auto* state = reinterpret_cast<CallbackState*>(parameter);
  std::string bytes = TextToBytes(BstrView(*region), CP_ACP);
  std::string answer = Answer(state->mode, state->count++, bytes, state->start_mark, state->end_mark);
  SysFreeString(*region);
  std::u16string text = BytesToText(answer, CP_ACP);
  *region = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
}

Variant Address(const void* address) {
  Variant value;
  value.vt = VT_I8;
  value.llVal = reinterpret_cast<intptr_t>(address);
  return value;
}

// The object through its members, on text whose bytes are all Windows-1252 characters that
// come back as themselves (what the code page leaves undefined maps to the same value).
void CheckObject(std::string_view text, std::string_view start_mark, std::string_view end_mark,
                 uint8_t mode, const std::string& expected) {
  if (text.find('\0') != std::string_view::npos || start_mark.find('\0') != std::string_view::npos ||
      end_mark.find('\0') != std::string_view::npos) {
    return;  // a NUL ends the object's strings, so the two would differ by rule
  }
  ComPtr<TextParser> parser = MakeObject<TextParser>();
  CallbackState state{mode, 0, start_mark, end_mark};
  Variant start = Variant::FromString(BytesToText(start_mark, CP_ACP));
  Variant end = Variant::FromString(BytesToText(end_mark, CP_ACP));
  if (!PutMember(parser.get(), u"StartMark", {}, start).ok()) std::abort();
  if (!PutMember(parser.get(), u"EndMark", {}, end).ok()) std::abort();
  VARIANT callback[2] = {Address(reinterpret_cast<const void*>(&ObjectCallback)).Detach(),
                         Address(&state).Detach()};
  if (!CallMember(parser.get(), u"SetParseCallback", callback).ok()) std::abort();
  Variant input = Variant::FromString(BytesToText(text, CP_ACP));
  const VARIANT* argument = &input;
  Result<Variant> result = CallMember(parser.get(), u"ParseString", {argument, 1});
  if (!result.ok() || result.value().vt != VT_BSTR) std::abort();
  if (TextToBytes(result.value().StringView(), CP_ACP) != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 4096) return 0;
  size_t start_length = data[0] & 7;
  size_t end_length = (data[0] >> 3) & 7;
  uint8_t mode = data[1];
  std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  if (rest.size() < start_length + end_length) return 0;
  std::string_view start_mark = rest.substr(0, start_length);
  std::string_view end_mark = rest.substr(start_length, end_length);
  std::string_view text = rest.substr(start_length + end_length);

  std::vector<Seen> seen;
  size_t count = 0;
  Result<std::string> linear = ExpandMarkedRegions(
      text, start_mark, end_mark, [&](int32_t start, int32_t end, std::string_view region) {
        seen.push_back({start, end, std::string(region)});
        return Answer(mode, count++, region, start_mark, end_mark);
      });
  if (!linear.ok()) std::abort();  // far below the size limit
  std::vector<Seen> expected_seen;
  std::string expected = SpliceInPlace(std::string(text), start_mark, end_mark, mode, expected_seen);
  if (linear.value() != expected || seen != expected_seen) std::abort();
  CheckObject(text, start_mark, end_mark, mode, expected);
  return 0;
}
