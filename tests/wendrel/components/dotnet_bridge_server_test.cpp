// The .NET bridge behind a running server, over HTTP on 127.0.0.1: ASP.NET extensions reach
// the module (a test module of our own, registered in a temporary registry), other pages do
// not, error pages arrive with status 500, and stopping the server does not wait for the
// module's answer wait.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "platform/com/creation.h"
#include "platform/system/code_page.h"
#include "tests/support/temporary_registry.h"
#include "tests/wendrel/server/http_client.h"
#include "wendrel/server/http_server.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using http_test::Fetch;
using http_test::HttpResponse;

class DotNetBridgeServer : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize();
    ASSERT_TRUE(RegisterModuleFile(u"" DOTNET_TEST_MODULE_PATH_U).ok());
    site_ = fs::temp_directory_path() / ("wendrel-bridge-" + std::to_string(getpid()));
    fs::create_directories(site_);
    Set(u"DefaultDirectory", Variant::FromString(BytesToText(site_.string(), CP_UTF8)));
    Set(u"DefaultDocument", Variant::FromString(u"start.htm"));
    Set(u"Port", Variant::FromI4(0));
    ASSERT_TRUE(server_->Start()) << server_->LastErrorText();
  }
  void TearDown() override {
    server_->Stop();
    fs::remove_all(site_);
  }
  void Set(std::u16string_view name, const Variant& value) {
    ASSERT_TRUE(PutMember(server_.get(), name, {}, value).ok());
  }
  std::optional<HttpResponse> Get(std::string_view path) {
    return Fetch(server_->BoundPort(), "GET " + std::string(path) + " HTTP/1.1\r\nHost: t\r\n\r\n");
  }

  TemporaryRegistry registry_;
  fs::path site_;
  ComPtr<CHTTPServer> server_ = MakeObject<CHTTPServer>();
};

TEST_F(DotNetBridgeServer, AspNetExtensionsReachTheModule) {
  for (std::string_view path : {"/page.aspx", "/Page.ASPX", "/web.config", "/file.cs", "/svc.asmx", "/a/b.ashx"}) {
    SCOPED_TRACE(std::string(path));
    std::optional<HttpResponse> page = Get(std::string(path) + "?q=1");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->body, "<p>path=" + std::string(path) +
                              "|query=q=1|client=127.0.0.1|http=yes|raw=yes|server=start.htm|method=GET</p>");
  }
}

TEST_F(DotNetBridgeServer, OtherPagesDoNotGoToTheModule) {
  std::optional<HttpResponse> page = Get("/page.asp");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 404);
  EXPECT_EQ(page->body.find("path="), std::string::npos);
}

TEST_F(DotNetBridgeServer, ModuleErrorsArriveAsTheErrorPage) {
  std::optional<HttpResponse> page = Get("/raise.aspx");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 500);
  EXPECT_NE(page->body.find("<i>Error while executing the request</i>"), std::string::npos);
  EXPECT_NE(page->body.find("The page &lt;b&gt;broke&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(Get("/fine.aspx")->status, 200);  // the module is made again
}

TEST_F(DotNetBridgeServer, StoppingDoesNotWaitForTheAnswerWait) {
  int port = server_->BoundPort();
  auto pending = std::async(std::launch::async, [port] {
    return Fetch(port, "GET /hang.aspx?800 HTTP/1.1\r\nHost: t\r\n\r\n");
  });
  std::this_thread::sleep_for(200ms);
  auto started = std::chrono::steady_clock::now();
  server_->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  pending.get();  // answered or closed, but over
  ASSERT_TRUE(server_->Start());  // a new bridge for the next run
  EXPECT_EQ(Get("/again.aspx")->status, 200);
}

}  // namespace
