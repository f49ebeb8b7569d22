#include "platform/jscript/compile.h"

#include <algorithm>
#include <atomic>
#include <charconv>

#include "platform/jscript/call_assignment.h"
#include "platform/jscript/script_scanner.h"
#include "platform/jscript/script_text.h"

namespace jscript {
namespace {

// Names of a text looked up in global-members items, at most.
constexpr size_t kMaxFreeNames = 4096;

uint64_t NextTextId() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1);
}

struct Compilation {
  const std::string* source;
  const std::string* file_name;
  bool is_expression;
  std::string* bytecode;
};

duk_ret_t CompileAndDump(duk_context* ctx, void* data) {
  auto* compilation = static_cast<Compilation*>(data);
  duk_push_lstring(ctx, compilation->source->data(), compilation->source->size());
  duk_push_lstring(ctx, compilation->file_name->data(), compilation->file_name->size());
  duk_compile(ctx, compilation->is_expression ? DUK_COMPILE_EVAL : 0);
  duk_dump_function(ctx);
  duk_size_t size = 0;
  auto* bytes = static_cast<const char*>(duk_get_buffer(ctx, -1, &size));
  compilation->bytecode->assign(bytes, size);
  return 0;
}

// The line Duktape names in a message ("... (line 7)" or "(line 7, end of input)"); 0 when none.
uint32_t LineInMessage(std::u16string_view message) {
  size_t at = message.rfind(u"(line ");
  if (at == std::u16string_view::npos) return 0;
  std::string digits;
  for (size_t i = at + 6; i < message.size() && message[i] >= u'0' && message[i] <= u'9'; ++i) {
    digits.push_back(static_cast<char>(message[i]));
  }
  uint32_t line = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), line);
  return line;
}

struct FailureReading {
  std::u16string message;
  ErrorPlace place;
};

// A protected call sees the caller's whole stack; the error is its top.
duk_ret_t ReadFailure(duk_context* ctx, void* data) {
  auto* reading = static_cast<FailureReading*>(data);
  duk_idx_t error = duk_normalize_index(ctx, -1);
  if (!duk_is_object(ctx, error)) return 0;
  duk_get_prop_string(ctx, error, "message");
  reading->message = ReadText(ctx, -1);
  reading->place = PlaceOfError(ctx, error);
  return 0;
}

// The error on top of the stack as a syntax error of the text.
void DescribeFailure(duk_context* ctx, std::u16string_view compiled, std::u16string_view original,
                     CompileFailure* failure) {
  FailureReading reading;
  duk_dup_top(ctx);
  duk_safe_call(ctx, ReadFailure, &reading, 1, 1);
  duk_pop(ctx);
  MappedError mapped = MapCompileError(reading.message);
  failure->scode = ScriptErrorHresult(mapped.number);
  failure->description = std::move(mapped.description);
  if (reading.place.offset >= 0) {
    PositionInText(compiled, reading.place.offset, &failure->line, &failure->column);
  } else {
    failure->line = std::max<uint32_t>(1, LineInMessage(reading.message));
    failure->column = 0;
  }
  failure->line_text = LineOfText(original, failure->line);
}

}  // namespace

std::shared_ptr<const CompiledText> CompileScript(duk_context* ctx, const CompileRequest& request,
                                                  CompileFailure* failure) {
  auto text = std::make_shared<CompiledText>();
  text->id = NextTextId();
  text->source = std::u16string(request.text);
  text->is_expression = request.is_expression;
  text->source_context = request.source_context;
  text->starting_line = request.starting_line;
  std::vector<Token> tokens = ScanScript(request.text);
  std::u16string compiled = RewriteCallAssignments(request.text, tokens);
  text->free_names = FreeNames(request.text, tokens, kMaxFreeNames);
  std::string source = EncodeText(compiled);
  std::string file_name = TextFileName(text->id);
  Compilation compilation{&source, &file_name, request.is_expression, &text->bytecode};
  duk_int_t status = duk_safe_call(ctx, CompileAndDump, &compilation, 0, 1);
  if (status != DUK_EXEC_SUCCESS) DescribeFailure(ctx, compiled, request.text, failure);
  duk_pop(ctx);
  if (status != DUK_EXEC_SUCCESS) return nullptr;
  return text;
}

}  // namespace jscript
