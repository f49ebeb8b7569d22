#include "wendrel/server/virtual_dir.h"

#include "wendrel/common/narrow_text.h"

std::span<const DispatchMember<CVirtDir>> CVirtDir::Members() {
  static constexpr DispatchMember<CVirtDir> kMembers[] = {
      {u"Value", DISPID_VALUE, kPropertyGet | kMethod, 0, 0, &CVirtDir::GetValue},
      {u"Value", DISPID_VALUE, kPropertyPut, 0, 0, &CVirtDir::PutValue},
      {u"Key", 1, kPropertyGet, 0, 0, &CVirtDir::GetKey},
  };
  return kMembers;
}

CollectionEntryHandle CVirtDir::Make(std::string_view virtual_dir,
                                     std::optional<std::string_view> real_dir) {
  ComPtr<CVirtDir> entry = MakeObject<CVirtDir>(NormalisedName(virtual_dir),
                                                real_dir.value_or(std::string_view()));
  return {ComPtr<IDispatch>(entry.get()), entry.get()};
}

std::string CVirtDir::NormalisedName(std::string_view name) {
  std::string normal(name);
  if (!normal.starts_with('/')) normal.insert(normal.begin(), '/');
  if (!normal.ends_with('/')) normal.push_back('/');
  return normal;
}

Result<Variant> CVirtDir::GetValue(const DispatchArguments&) { return NarrowTextVariant(real_dir_); }

Result<Variant> CVirtDir::PutValue(const DispatchArguments& arguments) {
  SetRealDir(TRY(NarrowTextOf(arguments.value())));
  return Variant();
}

Result<Variant> CVirtDir::GetKey(const DispatchArguments&) { return NarrowTextVariant(virtual_dir_); }
