// VBScript text: lexing, parsing, compiling and running with a step limit, so loops and
// recursion end. Input: bytes, each one UTF-16 unit (Windows-1252 texts read as Latin-1).
// Scripts cannot create registered objects: the registry is an empty folder of the process's
// own, so CreateObject answers 429 for everything but the engine's own RegExp.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/vbscript/compiler.h"
#include "platform/vbscript/interpreter.h"

namespace {

// Enough for every construct to run a while, little enough for thousands of runs a second.
constexpr uint64_t kStepLimit = 20000;
// Texts past this are not interesting and slow the search.
constexpr size_t kMaxTextUnits = 1 << 16;

class NoItems final : public vbscript::InterpreterHost {
 public:
  Result<ComPtr<IDispatch>> NamedItemObject(std::u16string_view) override {
    return Error::FromHresult(E_FAIL);
  }
};

void UseEmptyRegistry() {
  static bool done = false;
  if (done) return;
  done = true;
  char folder[] = "/tmp/vbscript_fuzz_registry_XXXXXX";
  if (mkdtemp(folder) != nullptr) setenv("WENDREL_REGISTRY_DIR", folder, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  UseEmptyRegistry();
  if (size > kMaxTextUnits) return 0;
  std::u16string text(data, data + size);
  vbscript::CompileDiagnostic diagnostic;
  vbscript::CompileRequest request{text};
  Result<std::shared_ptr<const vbscript::CodeUnit>> code = vbscript::CompileText(request, diagnostic);
  if (!code.ok()) return 0;
  NoItems host;
  auto interpreter = std::make_shared<vbscript::Interpreter>(&host);
  interpreter->SetStepLimit(kStepLimit);
  vbscript::LoadedUnit* unit = interpreter->Load(std::move(code).value());
  Variant result;
  (void)interpreter->Run(unit, &result);
  interpreter->Reset();
  return 0;
}
