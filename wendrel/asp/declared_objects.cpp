#include "wendrel/asp/declared_objects.h"

#include "platform/automation/text_case.h"
#include "platform/com/apartment.h"
#include "platform/system/code_page.h"
#include "wendrel/asp/object_creation.h"
#include "wendrel/asp/quav_dictionary.h"
#include "wendrel/common/byte_string.h"

namespace {

std::u16string Wide(std::string_view text) { return BytesToText(text, CP_ACP); }

// The object itself when `value` holds one.
ComPtr<IDispatch> StoredObject(const Variant& value) {
  if (value.vt != VT_DISPATCH || value.pdispVal == nullptr) return nullptr;
  return ComPtr<IDispatch>(value.pdispVal);
}

// On the main thread: makes the object of the class text still stored under `name` and puts a
// proxy for it in place of the text. Calls there run one at a time, so two pages that first use
// the name together make it once.
ComPtr<IDispatch> MakeOnMainThread(CQuavDictionary& objects, std::u16string_view name) {
  ComPtr<IDispatch> made;
  RunOnMainThread([&]() -> HRESULT {
    Variant value = objects.Get(name);
    if ((made = StoredObject(value))) return S_OK;  // another page made it meanwhile
    if (value.vt != VT_BSTR) return TYPE_E_ELEMENTNOTFOUND;
    std::optional<CLSID> clsid = ClassNamedBy(BstrView(value.bstrVal));
    if (!clsid) return REGDB_E_CLASSNOTREG;
    ComPtr<IDispatch> object = CreateScriptObject(*clsid);
    if (!object) return E_FAIL;
    made = CreateDispatchProxy(object.get());
    if (!made) return E_FAIL;
    objects.Set(name, Variant::FromDispatch(made.get()));
    return S_OK;
  });
  return made;
}

}  // namespace

std::vector<std::u16string> DeclaredNames(std::span<const ServerObjectTag> tags) {
  std::vector<std::u16string> names;
  for (const ServerObjectTag& tag : tags) {
    if (tag.id.empty()) continue;
    std::u16string name = Wide(tag.id);
    bool seen = false;
    for (const std::u16string& other : names) seen = seen || EqualsIgnoringCase(other, name);
    if (!seen) names.push_back(std::move(name));
  }
  return names;
}

void DeclareObjects(std::span<const ServerObjectTag> tags, CQuavDictionary& application,
                    CQuavDictionary* session) {
  for (const ServerObjectTag& tag : tags) {
    const std::string& class_text = tag.prog_id.empty() ? tag.class_id : tag.prog_id;
    if (tag.id.empty() || class_text.empty()) continue;
    bool session_scope = BytesEqualIgnoringCase(tag.scope, "Session");
    CQuavDictionary* objects = session_scope ? session : &application;
    if (objects == nullptr) continue;
    objects->SetIfEmpty(Wide(tag.id), Variant::FromString(Wide(class_text)));
  }
}

ComPtr<IDispatch> DeclaredObject(CQuavDictionary& objects, std::u16string_view name) {
  Variant value = objects.Get(name);
  if (ComPtr<IDispatch> object = StoredObject(value)) return object;
  if (value.vt != VT_BSTR) return nullptr;
  return MakeOnMainThread(objects, name);
}
