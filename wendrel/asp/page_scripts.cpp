#include "wendrel/asp/page_scripts.h"

#include "wendrel/asp/asp_texts.h"

namespace {

constexpr std::u16string_view kItemPrefix = u"[page script ";
constexpr std::u16string_view kItemSuffix = u"]";
// More programs than languages in the engine table cannot occur; the bound keeps a hostile
// name from parsing into a huge number.
constexpr size_t kMaxIndexDigits = 3;

}  // namespace

std::u16string ScriptGlobalsItemName(size_t index) {
  std::u16string name(kItemPrefix);
  for (char digit : std::to_string(index)) name.push_back(static_cast<char16_t>(digit));
  name.append(kItemSuffix);
  return name;
}

std::optional<size_t> ScriptGlobalsItemIndex(std::u16string_view name) {
  if (!name.starts_with(kItemPrefix) || !name.ends_with(kItemSuffix)) return std::nullopt;
  std::u16string_view digits =
      name.substr(kItemPrefix.size(), name.size() - kItemPrefix.size() - kItemSuffix.size());
  if (digits.empty() || digits.size() > kMaxIndexDigits) return std::nullopt;
  size_t index = 0;
  for (char16_t digit : digits) {
    if (digit < u'0' || digit > u'9') return std::nullopt;
    index = index * 10 + static_cast<size_t>(digit - u'0');
  }
  return index;
}

std::optional<int> ScriptClones::CloneAll(std::span<const PageScript> scripts,
                                          IActiveScriptSite* site) {
  clones_.clear();
  for (const PageScript& script : scripts) {
    ComPtr<IActiveScript> clone;
    if (FAILED(script.engine->Clone(clone.Receive())) || !clone) {
      CloseAll();
      return static_cast<int>(AspError::CloneFailed);
    }
    clones_.push_back(clone);
    if (FAILED(clone->SetScriptSite(site))) {
      CloseAll();
      return static_cast<int>(AspError::SetSiteFailed);
    }
  }
  return std::nullopt;
}

void ScriptClones::CloseAll() {
  for (const ComPtr<IActiveScript>& clone : clones_) clone->Close();
  clones_.clear();
}

IDispatch* ScriptClones::GlobalsOf(size_t index) const {
  if (index >= clones_.size()) return nullptr;
  IDispatch* globals = nullptr;
  if (FAILED(clones_[index]->GetScriptDispatch(nullptr, &globals))) return nullptr;
  return globals;
}
