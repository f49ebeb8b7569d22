#include "platform/vbscript/program.h"

#include "platform/automation/text_case.h"

namespace vbscript {
namespace {

struct OpcodeInfo {
  const char* name;
  int8_t pops;
  int8_t pops_count;
  int8_t pushes;
};

constexpr OpcodeInfo kOpcodes[] = {
#define OPCODE(name, pops, pops_count, pushes, semantics) {#name, pops, pops_count, pushes},
#include "platform/vbscript/opcodes.def"
#undef OPCODE
};

}  // namespace

const char* OpcodeName(Opcode op) { return kOpcodes[static_cast<size_t>(op)].name; }

StackEffect EffectOf(const Instruction& instruction) {
  const OpcodeInfo& info = kOpcodes[static_cast<size_t>(instruction.op)];
  return {info.pops + info.pops_count * instruction.count, info.pushes};
}

int32_t ClassInfo::FindMember(std::u16string_view member_name) const {
  for (size_t i = 0; i < members.size(); ++i) {
    if (EqualsIgnoringCase(members[i].name, member_name)) return static_cast<int32_t>(i);
  }
  return -1;
}

std::u16string_view CodeUnit::LineText(uint32_t line) const {
  std::u16string_view text = source;
  uint32_t current = 1;
  size_t start = 0;
  while (current < line) {
    size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string_view::npos) return {};
    start = end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
    ++current;
  }
  size_t end = text.find_first_of(u"\r\n", start);
  return text.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start);
}

}  // namespace vbscript
