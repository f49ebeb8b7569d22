// The .NET bridge with a real module of our own (dotnet_test_module.cpp) registered in a
// temporary registry: the contract by name, every error page, the module kept or released,
// the answer wait (shortened), a work item finished after its worker stopped waiting, the queue
// under several workers, and stopping.
#include "wendrel/components/dotnet_bridge.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/com/apartment.h"
#include "platform/com/creation.h"
#include "platform/com/guid.h"
#include "platform/com/module_loader.h"
#include "platform/system/registry.h"
#include "tests/support/temporary_registry.h"
#include "tests/wendrel/server/response_test_support.h"

namespace {

using namespace std::chrono_literals;
using response_test::FakeConnection;
using response_test::FakeHost;
using response_test::ReadWire;
using response_test::WireResponse;

// The server object the module receives.
class FakeServer : public DispatchObject<FakeServer> {
 public:
  static std::span<const DispatchMember<FakeServer>> Members() {
    static constexpr DispatchMember<FakeServer> kMembers[] = {
        {u"DefaultDocument", 6, kPropertyGet, 0, 0, &FakeServer::DefaultDocument},
    };
    return kMembers;
  }

 private:
  Result<Variant> DefaultDocument(const DispatchArguments&) { return Variant::FromString(u"index.htm"); }
};

// One request as a worker holds it: the Request, the Response and the connection it goes to.
struct WorkerRequest {
  explicit WorkerRequest(std::string_view target) {
    request->ParseHeader("GET " + std::string(target) + " HTTP/1.1\r\nHost: www.example\r\n", false);
    request->SetClientAddress("10.1.2.3");
    response->Bind(&connection, request.get());
    response->ResetForRequest(request->Protocol());
  }
  WireResponse Finish() {
    EXPECT_TRUE(response->Finish().ok());
    return ReadWire(connection.sent);
  }

  FakeHost host;
  FakeConnection connection;
  ComPtr<Request> request = MakeObject<Request>(nullptr);
  ComPtr<Response> response = MakeObject<Response>(&host);
};

struct Counters {
  int created = 0;
  int calls = 0;
  int late_write = 0;
};

class DotNetBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize();
    void* module = LoadModule(u"" DOTNET_TEST_MODULE_PATH_U).value();
    read_counters_ = reinterpret_cast<void (*)(int*, int*, int*)>(ModuleEntryPoint(module, "DotNetTestCounters").value());
    reinterpret_cast<void (*)()>(ModuleEntryPoint(module, "DotNetTestReset").value())();
  }
  void RegisterModule() { ASSERT_TRUE(RegisterModuleFile(u"" DOTNET_TEST_MODULE_PATH_U).ok()); }
  // Points a ProgID at another class of the module, or removes it.
  void PointProgId(std::u16string_view prog_id, std::u16string_view target_prog_id) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(target_prog_id, &clsid), S_OK);
    RegistryKey key = RegistryKey::Create(RegistryHive::ClassesRoot, std::u16string(prog_id) + u"\\CLSID").value();
    ASSERT_TRUE(key.SetString(u"", GuidToString(clsid)).ok());
  }
  void RemoveProgId(std::u16string_view prog_id) {
    ASSERT_TRUE(RegistryKey::DeleteTree(RegistryHive::ClassesRoot, prog_id).ok());
  }
  Counters ReadCounters() {
    Counters counters;
    read_counters_(&counters.created, &counters.calls, &counters.late_write);
    return counters;
  }
  DotNetBridge::Outcome Submit(DotNetBridge& bridge, WorkerRequest& work) {
    return bridge.Submit(server_.get(), *work.request, *work.response);
  }

  TemporaryRegistry registry_;
  ComPtr<FakeServer> server_ = MakeObject<FakeServer>();
  void (*read_counters_)(int*, int*, int*) = nullptr;
};

bool Contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

TEST(DotNetErrorPage, FillsSourceAndDescriptionEscaped) {
  std::string page = DotNetErrorPage("Cannot create the server", "a <b> & c");
  EXPECT_TRUE(page.starts_with("<html>\n    <head>\n        <title>Internal error while executing .NET code.</title>\n"));
  EXPECT_TRUE(Contains(page, " <h2> <i>Cannot create the server</i> </h2></span>"));
  EXPECT_TRUE(Contains(page, "<b> Description: </b>a &lt;b&gt; &amp; c\n"));
  EXPECT_TRUE(page.ends_with("</font>\n\n</body>\n</html>"));
  EXPECT_FALSE(Contains(page, "{ERROR_"));
}

TEST_F(DotNetBridgeTest, WithoutModuleTheCannotCreatePage) {
  DotNetBridge bridge;
  WorkerRequest work("/page.aspx");
  EXPECT_EQ(Submit(bridge, work), DotNetBridge::Outcome::Processed);
  WireResponse wire = work.Finish();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 500 Internal Server Error");
  EXPECT_TRUE(Contains(wire.body, "<i>Cannot create the server</i>"));
  EXPECT_TRUE(Contains(wire.body, "Unable to create the .NET process; the .NET page cannot be processed"));
}

TEST_F(DotNetBridgeTest, ProcessRequestExGetsEveryStringAndObject) {
  RegisterModule();
  DotNetBridge bridge;
  WorkerRequest work("/app/page.aspx?id=7&x=y");
  EXPECT_EQ(Submit(bridge, work), DotNetBridge::Outcome::Processed);
  WireResponse wire = work.Finish();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(wire.body,
            "<p>path=/app/page.aspx|query=id=7&x=y|client=10.1.2.3|http=yes|raw=yes|server=index.htm|"
            "method=GET</p>");
}

TEST_F(DotNetBridgeTest, ModuleIsKeptAcrossRequests) {
  RegisterModule();
  DotNetBridge bridge;
  for (int i = 0; i < 3; ++i) {
    WorkerRequest work("/page.aspx");
    EXPECT_EQ(Submit(bridge, work), DotNetBridge::Outcome::Processed);
  }
  EXPECT_EQ(ReadCounters().created, 1);
  EXPECT_EQ(ReadCounters().calls, 3);
}

TEST_F(DotNetBridgeTest, RaisedExceptionGivesItsDescriptionAndReleasesTheModule) {
  RegisterModule();
  DotNetBridge bridge;
  WorkerRequest raising("/raise.aspx");
  Submit(bridge, raising);
  WireResponse wire = raising.Finish();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 500 Internal Server Error");
  EXPECT_TRUE(Contains(wire.body, "<i>Error while executing the request</i>"));
  EXPECT_TRUE(Contains(wire.body, "</b>The page &lt;b&gt;broke&lt;/b&gt;\n"));
  WorkerRequest next("/page.aspx");
  Submit(bridge, next);
  EXPECT_EQ(next.Finish().status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(ReadCounters().created, 2);  // made again after the exception
}

TEST_F(DotNetBridgeTest, FailureCodeGivesTheSystemTextAndKeepsTheModule) {
  RegisterModule();
  DotNetBridge bridge;
  WorkerRequest failing("/fail.aspx");
  Submit(bridge, failing);
  WireResponse wire = failing.Finish();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 500 Internal Server Error");
  EXPECT_TRUE(Contains(wire.body, "<i>Error while executing the request</i>"));
  EXPECT_TRUE(Contains(wire.body, "</b>Access is denied.\n"));
  WorkerRequest next("/page.aspx");
  Submit(bridge, next);
  EXPECT_EQ(ReadCounters().created, 1);
}

TEST_F(DotNetBridgeTest, SecondProgIdWhenTheFirstIsMissing) {
  RegisterModule();
  RemoveProgId(kDotNetModuleProgId);
  DotNetBridge bridge;
  WorkerRequest work("/page.aspx");
  Submit(bridge, work);
  EXPECT_EQ(work.Finish().body, "plain module");
}

TEST_F(DotNetBridgeTest, ModuleWithoutEitherMethodWritesNoPageAndIsMadeAgain) {
  RegisterModule();
  PointProgId(kDotNetModuleProgId, u"DotNetTest.EmptyModule");
  DotNetBridge bridge;
  for (int i = 0; i < 2; ++i) {
    WorkerRequest work("/page.aspx");
    EXPECT_EQ(Submit(bridge, work), DotNetBridge::Outcome::Processed);
    WireResponse wire = work.Finish();
    EXPECT_EQ(wire.status_line, "HTTP/1.1 200 OK");
    EXPECT_EQ(wire.body, "");
  }
  EXPECT_EQ(ReadCounters().created, 2);
}

TEST_F(DotNetBridgeTest, ModuleThatCannotBeMadeAgainNamesTheLastCode) {
  RegisterModule();
  DotNetBridge bridge;
  WorkerRequest raising("/raise.aspx");
  Submit(bridge, raising);  // releases the module; the call's code is recorded
  RemoveProgId(kDotNetModuleProgId);
  RemoveProgId(kDotNetModuleFallbackProgId);
  WorkerRequest next("/page.aspx");
  Submit(bridge, next);
  WireResponse wire = next.Finish();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 500 Internal Server Error");
  EXPECT_TRUE(Contains(wire.body, "<i>Error while contacting .NET module; cannot process .NET code</i>"));
  EXPECT_TRUE(Contains(wire.body, "</b>Exception occurred.\n"));
}

TEST_F(DotNetBridgeTest, SlowModuleNoLongerReachesTheRequestAfterTheWait) {
  RegisterModule();
  DotNetBridge bridge(200ms);
  WorkerRequest slow("/hang.aspx?600");
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Submit(bridge, slow), DotNetBridge::Outcome::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 550ms);
  // The worker goes on with its response (and would reuse it) while the module still runs.
  WireResponse wire = slow.Finish();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 200 OK");
  // The item stays valid for the bridge: the module finishes, and its late write is refused.
  for (int i = 0; i < 100 && ReadCounters().late_write == 1; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(ReadCounters().late_write, RPC_E_DISCONNECTED);
  EXPECT_FALSE(Contains(slow.connection.sent, "late text"));
  // Requests queued behind the slow one are still answered.
  WorkerRequest next("/page.aspx");
  EXPECT_EQ(Submit(bridge, next), DotNetBridge::Outcome::Processed);
  EXPECT_TRUE(Contains(next.Finish().body, "path=/page.aspx"));
}

TEST_F(DotNetBridgeTest, EveryQueuedRequestIsAnsweredUnderManyWorkers) {
  RegisterModule();
  DotNetBridge bridge;
  constexpr int kWorkers = 8;
  std::vector<std::future<std::string>> answers;
  for (int i = 0; i < kWorkers; ++i) {
    answers.push_back(std::async(std::launch::async, [&, i] {
      CoInitialize();
      WorkerRequest work("/page" + std::to_string(i) + ".aspx");
      DotNetBridge::Outcome outcome = Submit(bridge, work);
      std::string body = outcome == DotNetBridge::Outcome::Processed ? work.Finish().body : "timed out";
      CoUninitialize();
      return body;
    }));
  }
  for (int i = 0; i < kWorkers; ++i) {
    EXPECT_TRUE(Contains(answers[i].get(), "path=/page" + std::to_string(i) + ".aspx|")) << i;
  }
  EXPECT_EQ(ReadCounters().calls, kWorkers);
}

TEST_F(DotNetBridgeTest, StoppingReleasesWaitingWorkers) {
  RegisterModule();
  DotNetBridge bridge;
  WorkerRequest slow("/hang.aspx?500");
  WorkerRequest queued("/page.aspx");
  auto first = std::async(std::launch::async, [&] { return Submit(bridge, slow); });
  std::this_thread::sleep_for(50ms);
  auto second = std::async(std::launch::async, [&] { return Submit(bridge, queued); });
  std::this_thread::sleep_for(50ms);
  auto started = std::chrono::steady_clock::now();
  bridge.Stop();  // waits for the module call to return, not for the answer wait
  EXPECT_LT(std::chrono::steady_clock::now() - started, DotNetBridge::kStopWait);
  EXPECT_EQ(first.get(), DotNetBridge::Outcome::Stopped);
  EXPECT_EQ(second.get(), DotNetBridge::Outcome::Stopped);
  EXPECT_EQ(ReadCounters().calls, 1);  // the queued request never reached the module
  WorkerRequest late("/page.aspx");
  EXPECT_EQ(Submit(bridge, late), DotNetBridge::Outcome::Stopped);
}

}  // namespace
