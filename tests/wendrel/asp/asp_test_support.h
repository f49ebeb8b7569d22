#pragma once
// Calls by name with plain values, for the tests of the ASP runtime objects.

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/dispatch_call.h"
#include "wendrel/asp/request_server.h"

inline Variant S(std::u16string_view text) { return Variant::FromString(text); }
inline Variant I(int32_t value) { return Variant::FromI4(value); }

/// obj.name(arguments...) by name.
inline Result<Variant> Call(IDispatch* object, std::u16string_view name,
                            std::initializer_list<Variant> arguments = {}) {
  std::vector<VARIANT> passed(arguments.begin(), arguments.end());
  return CallMember(object, name, passed);
}

/// obj.name(indices...) = value by name.
inline Result<void> Put(IDispatch* object, std::u16string_view name, const Variant& value,
                        std::initializer_list<Variant> indices = {}) {
  std::vector<VARIANT> passed(indices.begin(), indices.end());
  return PutMember(object, name, passed, value);
}

/// The text of a string result; fails the test for anything else.
inline std::u16string Text(const Result<Variant>& result) {
  if (!result.ok()) {
    ADD_FAILURE() << "call failed with " << result.error().Number();
    return u"<error>";
  }
  if (result.value().vt != VT_BSTR) {
    ADD_FAILURE() << "not a string but type " << result.value().vt;
    return u"<not a string>";
  }
  return std::u16string(result.value().StringView());
}

/// The object of a VT_DISPATCH result (borrowed from the result).
inline IDispatch* Object(const Result<Variant>& result) {
  if (!result.ok() || result.value().vt != VT_DISPATCH) {
    ADD_FAILURE() << "not an object";
    return nullptr;
  }
  return result.value().pdispVal;
}

/// A server with settable upload settings and a mapping of virtual paths under a root.
class FakeRequestServer : public RequestServer {
 public:
  int32_t max_upload_size = 10'000'000;
  bool disable_upload = false;
  std::string upload_dir;
  std::string root = "/srv/site";
  bool ssl = false;

  int32_t MaxUploadSize() const override { return max_upload_size; }
  bool DisableUpload() const override { return disable_upload; }
  std::string UploadDir() const override { return upload_dir; }
  /// Uploads without an UploadDir land here; empty: nowhere.
  std::string private_folder;
  std::string PrivateUploadFolder() const override { return private_folder; }
  /// Folders inside this one count as served.
  std::string served_root = "/srv/site";
  bool IsServedFolder(std::string_view folder) const override {
    return folder == served_root || folder.starts_with(served_root + "/");
  }
  std::optional<std::string> MapVirtualPath(std::string_view virtual_path,
                                            const Request&) const override {
    std::string path = root;
    if (!virtual_path.starts_with('/')) path += '/';
    path += virtual_path;
    return path;
  }
  bool HoldsSslContext() const override { return ssl; }
  std::string LocalAddress() const override { return "127.0.0.1"; }
  int32_t Port() const override { return 8080; }
};
