// vbsrun: runs a script file the way a desktop script host does: VBScript, or JScript for a
// file named *.js or *.jse.
//
//   vbsrun [--] SCRIPT.vbs|SCRIPT.js [ARGUMENT...]
//
// The script gets a WScript object (Echo, Arguments, Quit, ScriptName, ScriptFullName,
// CreateObject, Sleep, StdOut, StdErr, ConnectObject, DisconnectObject); objects created or
// connected with a prefix deliver their events to the script's Prefix_Event procedures. Errors are printed as "file(line, column): number
// description". Exit code: the script's WScript.Quit code, 0 when it ends normally, 1 after a
// script error or when the script cannot be read, 2 for bad arguments.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "apps/common/host_modules.h"
#include "apps/vbsrun/console_site.h"
#include "platform/com/apartment.h"
#include "platform/com/creation.h"
#include "platform/system/code_page.h"

namespace {

// Scripts larger than this are refused rather than read.
constexpr std::streamsize kMaxScriptBytes = 64 * 1024 * 1024;

// Beside the script modules: the server's components, which scripts create and connect to.
constexpr HostModule kComponentModules[] = {
    {"libwendrel.so", u"WendrelASP.TextParser"},
    {"libtabulix32.so", u"Tabulix32.ReportRender"},
};

void PrintUsage() {
  std::fprintf(stderr,
               "usage: vbsrun [--] SCRIPT.vbs|SCRIPT.js [ARGUMENT...]\n"
               "  Runs a VBScript file (JScript for *.js and *.jse) with a WScript object.\n"
               "  WENDREL_MODULE_DIR names the folder of the platform modules (default: the\n"
               "  build's own); WENDREL_REGISTRY_DIR moves the registry.\n");
}

bool ReadScript(const char* path, std::string* text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  file.seekg(0, std::ios::end);
  std::streamsize size = file.tellg();
  if (size < 0 || size > kMaxScriptBytes) return false;
  file.seekg(0);
  text->resize(static_cast<size_t>(size));
  return static_cast<bool>(file.read(text->data(), size));
}

// Script files are UTF-8 (a leading byte-order mark is dropped) or, when not valid UTF-8 text
// throughout, Windows-1252.
std::u16string DecodeScript(std::string bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
  std::u16string text = BytesToText(bytes, CP_UTF8);
  if (text.find(u'\uFFFD') != std::u16string::npos && bytes.find("\xEF\xBF\xBD") == std::string::npos) {
    return BytesToText(bytes, CP_ACP);
  }
  return text;
}

// The engine's ProgID by the script's file name, as the desktop script host chooses it.
std::u16string_view EngineFor(std::string_view path) {
  for (std::string_view extension : {".js", ".jse", ".JS", ".JSE"}) {
    if (path.ends_with(extension)) return u"JScript";
  }
  return u"VBScript";
}

ComPtr<IActiveScript> CreateEngine(std::u16string_view language) {
  CLSID clsid{};
  ComPtr<IActiveScript> engine;
  if (FAILED(CLSIDFromProgID(language, &clsid))) return engine;
  CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                   reinterpret_cast<void**>(engine.Receive()));
  return engine;
}

// Parses and runs the script; false after an error the site reported or a failed step.
bool RunScript(IActiveScript* engine, ConsoleSite* site, const std::u16string& code) {
  ComPtr<IActiveScriptParse> parser = ComPtr<IActiveScript>(engine).As<IActiveScriptParse>(IID_IActiveScriptParse);
  if (!parser || FAILED(engine->SetScriptSite(site)) || FAILED(parser->InitNew())) {
    std::fprintf(stderr, "vbsrun: the script engine could not be initialised\n");
    return false;
  }
  engine->AddNamedItem(u"WScript", SCRIPTITEM_ISVISIBLE);
  HRESULT hr = parser->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                       SCRIPTTEXT_ISVISIBLE, nullptr, nullptr);
  if (SUCCEEDED(hr)) hr = engine->SetScriptState(SCRIPTSTATE_STARTED);
  engine->Close();
  return SUCCEEDED(hr) && !site->error_reported();
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  if (first < argc && std::strcmp(argv[first], "--") == 0) ++first;
  if (first >= argc || (argv[first][0] == '-' && first == 1)) {
    PrintUsage();
    return 2;
  }
  std::string bytes;
  if (!ReadScript(argv[first], &bytes)) {
    std::fprintf(stderr, "vbsrun: cannot read %s\n", argv[first]);
    return 1;
  }
  CoInitialize();
  EnsureHostModulesRegistered(kScriptModules, "vbsrun");
  EnsureHostModulesRegistered(kComponentModules, "vbsrun");
  std::vector<std::u16string> arguments;
  for (int i = first + 1; i < argc; ++i) arguments.push_back(BytesToText(argv[i], CP_UTF8));
  std::u16string script_path = BytesToText(argv[first], CP_UTF8);
  ComPtr<WScriptObject> wscript = MakeObject<WScriptObject>(script_path, std::move(arguments));
  ComPtr<ConsoleSite> site = ComPtr<ConsoleSite>::Adopt(new ConsoleSite(script_path, wscript));
  int exit_code = 1;
  {
    std::u16string_view language = EngineFor(argv[first]);
    ComPtr<IActiveScript> engine = CreateEngine(language);
    if (!engine) {
      std::string name = TextToBytes(language, CP_UTF8);
      std::fprintf(stderr, "vbsrun: the %s engine is not registered\n", name.c_str());
    } else {
      wscript->SetScriptEngine(engine.get());
      if (RunScript(engine.get(), site.get(), DecodeScript(std::move(bytes)))) exit_code = 0;
      wscript->DisconnectEvents();
      wscript->SetScriptEngine(nullptr);
    }
  }
  if (wscript->quit_requested()) exit_code = wscript->exit_code();
  std::fflush(stdout);
  site.Reset();
  wscript.Reset();
  CoUninitialize();
  return exit_code;
}
