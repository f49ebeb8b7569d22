#pragma once
// A real server on loopback that runs pages written into a temporary site, with the script
// modules registered, and a real HTTP client that reads what they wrote.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "platform/com/creation.h"
#include "platform/system/registry.h"
#include "tests/support/temporary_registry.h"
#include "tests/wendrel/server/http_client.h"
#include "wendrel/asp/asp_runtime.h"
#include "wendrel/server/http_server.h"

namespace asp_test {

namespace fs = std::filesystem;
using http_test::Fetch;
using http_test::HttpClient;
using http_test::HttpResponse;

inline Variant S(std::u16string_view text) { return Variant::FromString(text); }
inline Variant I(int32_t value) { return Variant::FromI4(value); }

class AspPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize();
    ASSERT_TRUE(RegisterModuleFile(u"" VBSCRIPT_MODULE_PATH_U).ok());
    ASSERT_TRUE(RegisterModuleFile(u"" JSCRIPT_MODULE_PATH_U).ok());
    ASSERT_TRUE(RegisterModuleFile(u"" SCRIPT_RUNTIME_MODULE_PATH_U).ok());
    ASSERT_TRUE(RegisterModuleFile(u"" ADO_MODULE_PATH_U).ok());
    site_ = fs::path(registry_.folder()) / "site";
    fs::create_directories(site_ / "inc");
    Put(u"DefaultDirectory", S(Wide(site_.string())));
    Put(u"Port", I(0));
  }
  void TearDown() override { server_->Stop(); }

  static std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }
  void Put(std::u16string_view name, const Variant& value) {
    ASSERT_TRUE(PutMember(server_.get(), name, {}, value).ok()) << "setting a server property";
  }
  void Page(const std::string& name, const std::string& text) {
    fs::create_directories((site_ / name).parent_path());
    std::ofstream(site_ / name, std::ios::binary) << text;
  }
  void Start() {
    ASSERT_TRUE(server_->Start()) << server_->LastErrorText();
    port_ = server_->BoundPort();
  }
  std::optional<HttpResponse> Get(std::string_view path, std::string_view extra = {}) {
    return Fetch(port_, "GET " + std::string(path) + " HTTP/1.1\r\nHost: t\r\n" +
                            std::string(extra) + "\r\n");
  }
  std::string Body(std::string_view path) {
    std::optional<HttpResponse> answer = Get(path);
    return answer ? answer->body : "<no answer>";
  }
  uint64_t Compilations() { return server_->Asp()->Compilations(); }
  /// Runs `clients` on another thread while this (the host's main) thread serves the calls
  /// pages hand to it, as a host must.
  template <typename T>
  T WhilePumping(std::function<T()> clients) {
    std::future<T> done = std::async(std::launch::async, std::move(clients));
    PumpMessagesUntil([&] {
      return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    return done.get();
  }

  TemporaryRegistry registry_;
  fs::path site_;
  ComPtr<CHTTPServer> server_ = MakeObject<CHTTPServer>();
  int port_ = 0;
};

}  // namespace asp_test
