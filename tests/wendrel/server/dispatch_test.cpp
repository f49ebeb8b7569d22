// Dispatch and host events end to end: virtual directories, host identifiers, MIME types,
// every way the host hears of a request, FreezeEvents, the access log, and configuration
// saved and loaded through the Server object.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "tests/support/temporary_registry.h"
#include "tests/wendrel/server/http_client.h"
#include "wendrel/asp/request.h"
#include "wendrel/server/http_server.h"
#include "wendrel/server/response.h"

namespace {

namespace fs = std::filesystem;
using http_test::Fetch;
using http_test::HttpResponse;

Variant S(std::string_view text) { return Variant::FromString(std::u16string(text.begin(), text.end())); }
Variant I(int32_t value) { return Variant::FromI4(value); }

Result<Variant> Call(IDispatch* object, std::u16string_view name, std::vector<Variant> arguments = {}) {
  std::vector<VARIANT> passed(arguments.begin(), arguments.end());
  return CallMember(object, name, passed);
}
Result<void> Set(IDispatch* object, std::u16string_view name, const Variant& value) {
  return PutMember(object, name, {}, value);
}

// Answers PageRequested by writing a body and, when asked, cancelling the default processing.
class PageSink : public DispatchObject<PageSink> {
 public:
  explicit PageSink(std::string body, bool cancel) : body_(std::move(body)), cancel_(cancel) {}
  static std::span<const DispatchMember<PageSink>> Members() {
    static constexpr DispatchMember<PageSink> kMembers[] = {
        {u"PageRequested", 0x60000004, kMethod, 2, 2, &PageSink::PageRequested,
         u"Request,Response"},
    };
    return kMembers;
  }
  int calls = 0;
  std::thread::id thread;

 private:
  Result<Variant> PageRequested(const DispatchArguments& arguments) {
    ++calls;
    thread = std::this_thread::get_id();
    IDispatch* response = PeekValue(arguments[1]).pdispVal;
    TRY(Call(response, u"Write", {S(body_)}));
    if (cancel_) TRY(Set(response, u"CancelDefaultProcessing", Variant::FromBool(true)));
    return Variant();
  }
  std::string body_;
  bool cancel_;
};

// Answers LogMessage (keeping the entry out of the event log when asked) and DebugASPPage.
class LogSink : public DispatchObject<LogSink> {
 public:
  explicit LogSink(bool keep_out) : keep_out_(keep_out) {}
  static std::span<const DispatchMember<LogSink>> Members() {
    static constexpr DispatchMember<LogSink> kMembers[] = {
        {u"LogMessage", 0x60000002, kMethod, 2, 2, &LogSink::LogMessage,
         u"LogMessage,CancelRegistryWrite"},
        {u"DebugASPPage", 0x60000001, kMethod, 1, 1, &LogSink::DebugASPPage, u"StartDebugger"},
    };
    return kMembers;
  }
  std::u16string text;
  int debug_calls = 0;

 private:
  Result<Variant> LogMessage(const DispatchArguments& arguments) {
    text = std::u16string(PeekValue(arguments[0]).vt == VT_BSTR ? BstrView(PeekValue(arguments[0]).bstrVal) : u"");
    if (keep_out_) TRY(arguments.Assign(1, Variant::FromBool(false)));
    return Variant();
  }
  Result<Variant> DebugASPPage(const DispatchArguments& arguments) {
    ++debug_calls;
    TRY(arguments.Assign(0, Variant::FromBool(true)));
    return Variant();
  }
  bool keep_out_;
};

class NoPageRequested : public DispatchObject<NoPageRequested> {
 public:
  static std::span<const DispatchMember<NoPageRequested>> Members() { return {}; }
};

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize();
    base_ = fs::temp_directory_path() /
            ("wendrel-dispatch-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(base_);
    for (const char* folder : {"site/images", "manuals", "intra", "logs"}) {
      fs::create_directories(base_ / folder);
    }
    Write("site/index.htm", "root index");
    Write("site/images/index.htm", "images index");
    Write("site/page.xyz", "xyz file");
    Write("site/doc.pdf", "%PDF");
    Write("site/plain.htm", "html text");
    Write("site/pic.bmp", "BM");
    Write("site/noext", "no extension");
    Write("manuals/intro.htm", "manual intro");
    Write("manuals/index.htm", "manual index");
    Write("intra/page.htm", "intranet page");
    ASSERT_TRUE(Set(server_.get(), u"DefaultDirectory", S((base_ / "site").string())).ok());
    ASSERT_TRUE(Set(server_.get(), u"Port", I(0)).ok());
  }
  void TearDown() override {
    server_->Stop();
    fs::remove_all(base_);
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(base_ / name, std::ios::binary) << text;
  }
  void Start() { ASSERT_TRUE(server_->Start()) << server_->LastErrorText(); }
  std::optional<HttpResponse> Get(std::string_view path, std::string_view host = "t") {
    return Fetch(server_->BoundPort(), "GET " + std::string(path) + " HTTP/1.1\r\nHost: " +
                                           std::string(host) + "\r\n\r\n");
  }
  // A request while this (host) thread pumps its queue, as a host application does.
  std::optional<HttpResponse> GetWhilePumping(std::string_view path) {
    std::string request = "GET " + std::string(path) + " HTTP/1.1\r\nHost: t\r\n\r\n";
    int port = server_->BoundPort();
    auto answer = std::async(std::launch::async, [=] { return Fetch(port, request); });
    PumpMessagesUntil([&] {
      return answer.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
    });
    return answer.get();
  }

  // The server's DServer_events connection point, found as a host finds it.
  ComPtr<IConnectionPoint> EventPoint() {
    ComPtr<IConnectionPointContainer> container =
        ComPtr<CHTTPServer>(server_).As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ComPtr<IConnectionPoint> point;
    if (!container || FAILED(container->FindConnectionPoint(kServerEventsId, point.Receive()))) {
      return nullptr;
    }
    return point;
  }

  fs::path base_;
  ComPtr<CHTTPServer> server_ = MakeObject<CHTTPServer>();
};

TEST_F(DispatchTest, VirtualDirectoriesHostIdsAndDefaultDocuments) {
  ASSERT_TRUE(Call(server_.get(), u"AddVirtualDir", {S("docs"), S("/nowhere")}).ok());
  ASSERT_TRUE(Call(server_.get(), u"AddVirtualDir", {S("/docs"), S((base_ / "manuals").string())}).ok());
  IDispatch* dirs = Call(server_.get(), u"VirtualDirs").value().pdispVal;
  EXPECT_EQ(Call(dirs, u"Count").value().lVal, 1);  // added again: the folder was replaced
  EXPECT_EQ(Call(dirs, u"Key", {I(1)}).value().StringView(), u"/docs/");
  IDispatch* hosts = Call(server_.get(), u"HostId").value().pdispVal;
  ASSERT_TRUE(Call(hosts, u"Add", {S("intranet"), S((base_ / "intra").string())}).ok());
  Start();
  EXPECT_EQ(Get("/docs/intro.htm")->body, "manual intro");
  EXPECT_EQ(Get("/docs")->body, "manual index");
  EXPECT_EQ(Get("/images/")->body, "images index");
  EXPECT_EQ(Get("/images")->body, "images index");
  EXPECT_EQ(Get("/")->body, "root index");
  EXPECT_EQ(Get("/page.htm", "intranet:8080")->body, "intranet page");
  EXPECT_EQ(Get("/missing.htm")->status, 404);
  Variant mapped = Call(server_.get(), u"MapVirtualPath", {S("/docs/x.htm")}).value();
  Variant expected = S((base_ / "manuals/x.htm").string());
  EXPECT_EQ(mapped.StringView(), expected.StringView());
  server_->Stop();
  EXPECT_EQ(Call(dirs, u"Count").value().lVal, 0);  // the lists are emptied by a stop
}

TEST_F(DispatchTest, MimeTypesAfterTheBuiltInTable) {
  IDispatch* types = Call(server_.get(), u"MIMETypes").value().pdispVal;
  ASSERT_TRUE(Call(types, u"Add", {S(".pdf"), S("application/pdf")}).ok());
  ASSERT_TRUE(Call(types, u"Add", {S(".htm"), S("text/plain")}).ok());
  Start();
  EXPECT_EQ(Get("/doc.pdf")->Header("Content-Type"), "application/pdf");
  EXPECT_EQ(Get("/plain.htm")->Header("Content-Type"), "text/html");
  EXPECT_EQ(Get("/pic.bmp")->Header("Content-Type"), "image/x-xbitmap");
  // Unknown extensions and no extension: the host's turn, then the file as text/html.
  std::optional<HttpResponse> unknown = Get("/page.xyz");
  EXPECT_EQ(unknown->Header("Content-Type"), "text/html");
  EXPECT_EQ(unknown->body, "xyz file");
  EXPECT_EQ(Get("/noext")->body, "no extension");
}

TEST_F(DispatchTest, DotNetPagesGetTheBridgePage) {
  Start();
  std::optional<HttpResponse> page = Get("/Default.ASPX");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 500);
  EXPECT_NE(page->body.find("Cannot create the server"), std::string::npos);
}

TEST_F(DispatchTest, ConnectionPointSinkAnswersOnTheHostThread) {
  ComPtr<PageSink> sink = MakeObject<PageSink>("from the sink", true);
  ComPtr<IConnectionPoint> point = EventPoint();
  ASSERT_TRUE(point);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
  Start();
  std::optional<HttpResponse> answered = GetWhilePumping("/page.xyz");
  ASSERT_TRUE(answered);
  EXPECT_EQ(answered->body, "from the sink");  // cancelled: the file is not sent
  EXPECT_EQ(sink->calls, 1);
  EXPECT_EQ(sink->thread, std::this_thread::get_id());
  // Known types are served without the host.
  EXPECT_EQ(GetWhilePumping("/plain.htm")->body, "html text");
  EXPECT_EQ(sink->calls, 1);
  point->Unadvise(cookie);
}

TEST_F(DispatchTest, EventHandlerNeedsPageRequested) {
  ComPtr<NoPageRequested> wrong = MakeObject<NoPageRequested>();
  Result<Variant> refused = Call(server_.get(), u"SetEventHandler", {Variant::FromDispatch(wrong.get())});
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().Number(), 10005);
  EXPECT_EQ(refused.error().Description(), u"Object does not implement PageRequested method");
  ComPtr<PageSink> handler = MakeObject<PageSink>(" and handler", false);
  ASSERT_TRUE(Call(server_.get(), u"SetEventHandler", {Variant::FromDispatch(handler.get())}).ok());
  Start();
  std::optional<HttpResponse> answered = GetWhilePumping("/page.xyz");
  ASSERT_TRUE(answered);
  EXPECT_EQ(answered->body, " and handlerxyz file");  // not cancelled: the file follows
  EXPECT_EQ(handler->calls, 1);
}

std::atomic<int> plain_callback_calls{0};
void PlainCallback(IDispatch*, IDispatch* response, intptr_t parameter) {
  plain_callback_calls += static_cast<int>(parameter);
  (void)Set(response, u"CancelDefaultProcessing", Variant::FromBool(true));
  (void)Call(response, u"Write", {S("plain callback")});
}

TEST_F(DispatchTest, PlainCallbackGetsItsParameter) {
  Variant function;
  function.vt = VT_I8;
  function.llVal = reinterpret_cast<intptr_t>(&PlainCallback);
  ASSERT_TRUE(Call(server_.get(), u"SetCallback", {function, I(7)}).ok());
  Start();
  EXPECT_EQ(GetWhilePumping("/noext")->body, "plain callback");
  EXPECT_EQ(plain_callback_calls.load(), 7);
}

std::atomic<bool> thread_callback_on_worker{false};
std::thread::id host_thread;
void WorkerCallback(IDispatch*, IDispatch* response) {
  thread_callback_on_worker = std::this_thread::get_id() != host_thread;
  (void)Call(response, u"Write", {S("worker callback")});
  (void)Set(response, u"CancelDefaultProcessing", Variant::FromBool(true));
}

TEST_F(DispatchTest, ThreadCallbackRunsOnTheWorkerAndFreezeEventsHoldsIt) {
  host_thread = std::this_thread::get_id();
  ASSERT_TRUE(Set(server_.get(), u"EnableASPDebug", Variant::FromBool(true)).ok());
  Variant function;
  function.vt = VT_I8;
  function.llVal = reinterpret_cast<intptr_t>(&WorkerCallback);
  ASSERT_TRUE(Call(server_.get(), u"SetThreadCallback", {function, I(0)}).ok());
  EXPECT_EQ(Call(server_.get(), u"EnableASPDebug").value().boolVal, VARIANT_FALSE);
  Start();
  EXPECT_EQ(Get("/page.xyz")->body, "worker callback");  // no pumping needed
  EXPECT_TRUE(thread_callback_on_worker.load());
  ASSERT_TRUE(Set(server_.get(), u"FreezeEvents", Variant::FromBool(true)).ok());
  int port = server_->BoundPort();
  auto held = std::async(std::launch::async, [port] {
    return Fetch(port, "GET /page.xyz HTTP/1.1\r\nHost: t\r\n\r\n");
  });
  EXPECT_EQ(held.wait_for(std::chrono::milliseconds(500)), std::future_status::timeout);
  EXPECT_EQ(Get("/plain.htm")->body, "html text");  // no event needed: served meanwhile
  ASSERT_TRUE(Set(server_.get(), u"FreezeEvents", Variant::FromBool(false)).ok());
  EXPECT_EQ(held.get()->body, "worker callback");
}

TEST_F(DispatchTest, AppendToLogRaisesLogMessageBeforeTheEventLog) {
  fs::path event_log = base_ / "events.log";
  setenv("WENDREL_EVENT_LOG_FILE", event_log.c_str(), 1);
  server_->SetNativeRequestHandler([](Request& request, Response& response) {
    Variant text = S(request.QueryText());
    std::vector<VARIANT> arguments{text};
    return CallMember(&response, u"AppendToLog", arguments).ok();
  });
  ComPtr<LogSink> sink = MakeObject<LogSink>(true);
  ComPtr<IConnectionPoint> point = EventPoint();
  ASSERT_TRUE(point);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
  Start();
  ASSERT_TRUE(GetWhilePumping("/x?kept-out"));
  EXPECT_EQ(sink->text, u"kept-out");
  point->Unadvise(cookie);
  ASSERT_TRUE(GetWhilePumping("/x?written"));
  std::ifstream file(event_log);
  std::string entries((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(entries.find("kept-out"), std::string::npos);
  EXPECT_NE(entries.find("LOG written"), std::string::npos) << entries;
  unsetenv("WENDREL_EVENT_LOG_FILE");
}

TEST_F(DispatchTest, DebugASPPageReachesTheSinksOnTheHostThread) {
  ComPtr<LogSink> sink = MakeObject<LogSink>(false);
  ComPtr<IConnectionPoint> point = EventPoint();
  ASSERT_TRUE(point);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
  Start();
  auto asked = std::async(std::launch::async, [this] {
    return server_->Events().RaiseDebugASPPage(false, server_->Stopping());
  });
  PumpMessagesUntil([&] {
    return asked.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
  });
  EXPECT_TRUE(asked.get());  // the sink asked for the debugger
  EXPECT_EQ(sink->debug_calls, 1);
  point->Unadvise(cookie);
}

TEST_F(DispatchTest, WithoutHooksNothingWaits) {
  Start();
  auto begun = std::chrono::steady_clock::now();
  EXPECT_EQ(Get("/page.xyz")->body, "xyz file");  // nobody pumps: no hook, no wait
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(2));
}

TEST_F(DispatchTest, AccessLogWritesHeaderAndRecords) {
  ASSERT_TRUE(Set(server_.get(), u"LogLevel", Variant::FromI2(1)).ok());
  ASSERT_TRUE(Set(server_.get(), u"LogPath", S((base_ / "logs").string())).ok());
  Start();
  ASSERT_TRUE(Fetch(server_->BoundPort(),
                    "GET /plain.htm?x=1 HTTP/1.1\r\nHost: t\r\nUser-Agent: Test Agent\r\n\r\n"));
  server_->Stop();
  std::vector<fs::path> logs;
  for (const auto& entry : fs::directory_iterator(base_ / "logs")) logs.push_back(entry.path());
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].filename().string().rfind("w3c_", 0), 0u);
  std::ifstream file(logs[0]);
  std::string content((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(content.rfind("#Software: Delvarin Harborlane version 5.0\n#Date: ", 0), 0u);
  EXPECT_NE(content.find(" 127.0.0.1 GET /plain.htm x=1 "), std::string::npos) << content;
  EXPECT_NE(content.find(" - 127.0.0.1 Test+Agent 200 0 0\n"), std::string::npos) << content;
}

TEST_F(DispatchTest, ConfigurationRoundTripsThroughAnIniFileAndTheRegistry) {
  TemporaryRegistry registry;
  ASSERT_TRUE(Set(server_.get(), u"DefaultDocument", S("home.htm")).ok());
  ASSERT_TRUE(Set(server_.get(), u"Port", I(8123)).ok());
  ASSERT_TRUE(Set(server_.get(), u"MaxThreads", I(7)).ok());
  ASSERT_TRUE(Set(server_.get(), u"AlwaysCloseConnection", Variant::FromBool(false)).ok());
  ASSERT_TRUE(Set(server_.get(), u"ServerBind", S("127.0.0.1")).ok());
  ASSERT_TRUE(Call(server_.get(), u"AddVirtualDir", {S("docs"), S("/data/manuals")}).ok());
  IDispatch* types = Call(server_.get(), u"MIMETypes").value().pdispVal;
  ASSERT_TRUE(Call(types, u"Add", {S(".pdf"), S("application/pdf")}).ok());
  std::string ini = "file://" + (base_ / "server.ini").string();
  for (std::string location : {ini, std::string("HKCU\\Software\\Wendrel Tests\\Web")}) {
    SCOPED_TRACE(location);
    ASSERT_EQ(Call(server_.get(), u"SaveConfig", {S(location)}).value().boolVal, VARIANT_TRUE);
    ComPtr<CHTTPServer> loaded = MakeObject<CHTTPServer>();
    ASSERT_EQ(Call(loaded.get(), u"LoadConfig", {S(location)}).value().boolVal, VARIANT_TRUE);
    EXPECT_EQ(Call(loaded.get(), u"DefaultDocument").value().StringView(), u"home.htm");
    EXPECT_EQ(Call(loaded.get(), u"Port").value().lVal, 8123);
    EXPECT_EQ(Call(loaded.get(), u"MaxThreads").value().iVal, 7);
    EXPECT_EQ(Call(loaded.get(), u"AlwaysCloseConnection").value().boolVal, VARIANT_FALSE);
    EXPECT_EQ(Call(loaded.get(), u"ServerBind").value().StringView(), u"127.0.0.1");
    IDispatch* dirs = Call(loaded.get(), u"VirtualDirs").value().pdispVal;
    EXPECT_EQ(Call(dirs, u"Key", {I(1)}).value().StringView(), u"/docs/");
    IDispatch* loaded_types = Call(loaded.get(), u"MIMETypes").value().pdispVal;
    EXPECT_EQ(Call(loaded_types, u"Count").value().lVal, 1);
  }
  ComPtr<CHTTPServer> fresh = MakeObject<CHTTPServer>();
  EXPECT_EQ(Call(fresh.get(), u"LoadConfig", {S((base_ / "missing.ini").string())}).value().boolVal,
            VARIANT_FALSE);
}

}  // namespace
