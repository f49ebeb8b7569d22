#include "platform/com/object_type_name.h"

#include "platform/com/com_ptr.h"

std::u16string ObjectTypeName(IUnknown* object) {
  if (object == nullptr) return u"Nothing";
  ComPtr<IObjectTypeName> named;
  if (FAILED(object->QueryInterface(IID_IObjectTypeName, reinterpret_cast<void**>(named.Receive())))) {
    return u"Object";
  }
  std::u16string_view name = named->TypeName();
  return name.empty() ? u"Object" : std::u16string(name);
}
