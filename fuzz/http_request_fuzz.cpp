// A whole request as the connection hands it over: header block, then body (multipart,
// URL-encoded or cookies included), then the lookups a page makes.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/dispatch_call.h"
#include "wendrel/asp/http_cookie.h"
#include "wendrel/asp/request.h"

namespace {

// Uploads go nowhere: either switched off, or into a folder that does not exist.
class FuzzServer : public RequestServer {
 public:
  bool disable_upload = false;
  int32_t MaxUploadSize() const override { return 1 << 20; }
  bool DisableUpload() const override { return disable_upload; }
  std::string UploadDir() const override { return "/nonexistent-wendrel-fuzz/uploads"; }
  std::string PrivateUploadFolder() const override { return {}; }
  bool IsServedFolder(std::string_view) const override { return true; }
  std::optional<std::string> MapVirtualPath(std::string_view path, const Request&) const override {
    return "/nonexistent-wendrel-fuzz" + std::string(path);
  }
  bool HoldsSslContext() const override { return false; }
  std::string LocalAddress() const override { return "127.0.0.1"; }
  int32_t Port() const override { return 80; }
};

void LookUp(IDispatch* object, std::u16string_view key) {
  Variant name = Variant::FromString(key);
  const VARIANT arguments[] = {name};
  Result<Variant> found = CallMember(object, u"Item", arguments);
  if (found.ok() && found.value().vt == VT_DISPATCH) (void)CallMember(found.value().pdispVal, u"Item");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t flags = data[0];
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  size_t header_end = input.find("\r\n\r\n");
  std::string_view header = input.substr(0, header_end);
  std::string_view body = header_end == std::string_view::npos ? std::string_view()
                                                               : input.substr(header_end + 4);
  FuzzServer server;
  server.disable_upload = (flags & 1) != 0;
  ComPtr<Request> request = MakeObject<Request>(&server);
  request->ParseHeader(header, (flags & 2) != 0);
  request->SetBody(body);
  request->ParseBody();
  for (std::u16string_view key : {u"a", u"file", u"ALL_HTTP", u"HTTP_COOKIE", u"x"}) {
    LookUp(request.get(), key);
    LookUp(&request->ServerVariablesCollection(), key);
  }
  for (const std::string& key : request->CookiesCollection().EntryKeys()) {
    ComPtr<IDispatch> cookie = request->CookiesCollection().FindEntry(key);
    if (cookie) (void)static_cast<CHTTPCookie*>(cookie.get())->SetCookieLine();
  }
  return 0;
}
