#include "wendrel/asp/asp_runtime.h"

#include "platform/automation/text_case.h"

namespace {

constexpr int32_t kObjectModelFixedError = 1003;
constexpr char16_t kObjectModelFixedText[] =
    u"The ASP page has already been served; can not change object model now";

}  // namespace

AspRuntime::AspRuntime(AspServerServices& server)
    : server_(server), application_(MakeObject<CASPApplication>()) {}

AspRuntime::~AspRuntime() {
  sessions_.Clear();
  application_->Clear();
}

Result<void> AspRuntime::AddHostObject(std::u16string_view name, ComPtr<IDispatch> object) {
  if (page_served_.load()) return Error::Script(kObjectModelFixedError, kObjectModelFixedText);
  TRY(engines_.AddHostObjectName(name));
  std::lock_guard lock(objects_mutex_);
  host_objects_.emplace_back(std::u16string(name), std::move(object));
  return {};
}

ComPtr<IDispatch> AspRuntime::HostObject(std::u16string_view name) {
  std::lock_guard lock(objects_mutex_);
  for (const auto& [known, object] : host_objects_) {
    if (EqualsIgnoringCase(known, name)) return object;
  }
  return nullptr;
}
