#include "wendrel/asp/script_engine_table.h"

#include "platform/com/creation.h"
#include "platform/system/code_page.h"
#include "wendrel/asp/asp_texts.h"
#include "wendrel/asp/script_language.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/formatted.h"

namespace {

constexpr DWORD kIntrinsicFlags = SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT;
constexpr DWORD kHostObjectFlags =
    SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT | SCRIPTITEM_NOCODE;

}  // namespace

Result<ComPtr<IActiveScript>> ScriptEngineTable::TemplateFor(std::string_view language,
                                                             std::string* log_line) {
  std::string name = NormalisedLanguageName(language);
  if (name.empty()) name = kDefaultScriptLanguage;
  std::lock_guard lock(mutex_);
  for (const Entry& entry : entries_) {
    if (BytesEqualIgnoringCase(entry.language, name)) return entry.engine;
  }
  if (entries_.size() >= kMaxLanguages) return Error::Script(static_cast<int>(AspError::NoEngine));
  ComPtr<IActiveScript> engine = TRY(MakeTemplate(name, log_line));
  entries_.push_back({name, engine});
  return engine;
}

Result<ComPtr<IActiveScript>> ScriptEngineTable::MakeTemplate(const std::string& language,
                                                              std::string* log_line) {
  const Error no_engine = Error::Script(static_cast<int>(AspError::NoEngine));
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(BytesToText(language, CP_ACP), &clsid))) {
    *log_line = Formatted(AspTextFormat(AspText::EngineNotFound), language.c_str());
    return no_engine;
  }
  ComPtr<IActiveScript> engine;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                reinterpret_cast<void**>(engine.Receive()));
  if (FAILED(hr) || !engine) {
    *log_line = Formatted(AspTextFormat(AspText::EngineNotCreated), language.c_str(),
                          static_cast<unsigned>(hr));
    return no_engine;
  }
  ComPtr<IActiveScriptParse> parse = engine.As<IActiveScriptParse>(IID_IActiveScriptParse);
  if (!parse || FAILED(parse->InitNew())) return no_engine;
  for (std::u16string_view name : kIntrinsicNames) {
    if (FAILED(engine->AddNamedItem(std::u16string(name).c_str(), kIntrinsicFlags))) {
      return no_engine;
    }
  }
  for (const std::u16string& name : host_names_) {
    if (FAILED(engine->AddNamedItem(name.c_str(), kHostObjectFlags))) return no_engine;
  }
  return engine;
}

Result<void> ScriptEngineTable::AddHostObjectName(std::u16string_view name) {
  std::lock_guard lock(mutex_);
  host_names_.emplace_back(name);
  for (const Entry& entry : entries_) {
    if (FAILED(entry.engine->AddNamedItem(host_names_.back().c_str(), kHostObjectFlags))) {
      return Error::Script(static_cast<int>(AspError::NamedItemsFailed));
    }
  }
  return {};
}
