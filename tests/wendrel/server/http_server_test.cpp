// The Server object end to end: settings, start and stop, and real requests over loopback.
#include "wendrel/server/http_server.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <cstring>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <random>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "tests/wendrel/server/http_client.h"
#include "wendrel/asp/request.h"
#include "wendrel/common/http_date.h"
#include "wendrel/server/response.h"

namespace {

namespace fs = std::filesystem;
using http_test::Fetch;
using http_test::HttpClient;
using http_test::HttpResponse;

Variant S(std::u16string_view text) { return Variant::FromString(text); }
Variant I(int32_t value) { return Variant::FromI4(value); }

Result<void> Set(IDispatch* object, std::u16string_view name, const Variant& value) {
  return PutMember(object, name, {}, value);
}
Result<Variant> Get(IDispatch* object, std::u16string_view name) {
  return CallMember(object, name);
}
std::u16string Text(const Result<Variant>& value) {
  return value.ok() && value.value().vt == VT_BSTR ? std::u16string(value.value().StringView())
                                                   : u"<not a string>";
}

// A site folder with a few files and a stopped server rooted there on a free port.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize();
    site_ = fs::temp_directory_path() /
            ("wendrel-site-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(site_);
    fs::create_directories(site_ / "dir");
    WriteFile("index.htm", "<html>home</html>");
    WriteFile("dir/index.htm", "<html>dir</html>");
    WriteFile("small.htm", std::string(64, 'a'));
    WriteFile("large.htm", std::string(65, 'b'));
    WriteFile("picture.gif", std::string(200, 'g'));
    WriteFile("data.txt", "plain text");
    std::string big;
    for (int i = 0; i < 300000; ++i) big += static_cast<char>('a' + i % 26);
    WriteFile("big.txt", big);
    ASSERT_TRUE(Set(server_.get(), u"DefaultDirectory", S(Wide(site_.string()))).ok());
    ASSERT_TRUE(Set(server_.get(), u"Port", I(0)).ok());
  }
  void TearDown() override {
    server_->Stop();
    fs::remove_all(site_);
  }
  static std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }
  void WriteFile(const std::string& name, const std::string& content) {
    std::ofstream(site_ / name, std::ios::binary) << content;
  }
  void Start() {
    ASSERT_TRUE(server_->Start()) << server_->LastErrorText();
    port_ = server_->BoundPort();
  }
  std::optional<HttpResponse> Get11(std::string_view path, std::string_view extra = {}) {
    return Fetch(port_, "GET " + std::string(path) + " HTTP/1.1\r\nHost: t\r\n" +
                            std::string(extra) + "\r\n");
  }

  fs::path site_;
  ComPtr<CHTTPServer> server_ = MakeObject<CHTTPServer>();
  int port_ = 0;
};

// --- Settings --------------------------------------------------------------------------------

TEST_F(ServerTest, MaxThreadsAcceptsThreeTo255WhileStopped) {
  for (int32_t bad : {2, 256}) {
    Result<void> refused = Set(server_.get(), u"MaxThreads", I(bad));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().Number(), 10001);
    EXPECT_EQ(Text(Get(server_.get(), u"LastError")), u"Number of threads must be between 3 and 255");
  }
  for (int32_t good : {3, 255}) EXPECT_TRUE(Set(server_.get(), u"MaxThreads", I(good)).ok());
  ASSERT_TRUE(Set(server_.get(), u"MaxThreads", I(4)).ok());
  Start();
  Result<void> running = Set(server_.get(), u"MaxThreads", I(5));
  ASSERT_FALSE(running.ok());
  EXPECT_EQ(running.error().Number(), 10000);
  EXPECT_EQ(Text(Get(server_.get(), u"LastError")),
            u"Server already started - can't change thread pool");
  Result<void> bind = Set(server_.get(), u"ServerBind", S(u"127.0.0.1"));
  EXPECT_EQ(bind.error().Number(), 10004);
}

TEST_F(ServerTest, SettingsNormaliseTheirValues) {
  struct Case {
    int32_t given;
    int32_t stored;
  } sizes[] = {{1025, 1025}, {1024, 1024}, {0, 1024}, {-5, 1024}, {50000, 50000}};
  for (const Case& c : sizes) {
    ASSERT_TRUE(Set(server_.get(), u"MaxUploadSize", I(c.given)).ok());
    EXPECT_EQ(Get(server_.get(), u"MaxUploadSize").value().lVal, c.stored);
  }
  ASSERT_TRUE(Set(server_.get(), u"DefaultDirectory", S(u"/srv/site/")).ok());
  EXPECT_EQ(Text(Get(server_.get(), u"DefaultDirectory")), u"/srv/site");
  EXPECT_EQ(Text(Get(server_.get(), u"ServerBind")), u"0.0.0.0");
  ASSERT_TRUE(Set(server_.get(), u"ServerBind", S(u"127.0.0.1")).ok());
  EXPECT_EQ(Text(Get(server_.get(), u"ServerBind")), u"127.0.0.1");
  EXPECT_EQ(Get(server_.get(), u"AlwaysCloseConnection").value().boolVal, VARIANT_TRUE);
  EXPECT_EQ(Text(Get(server_.get(), u"DefaultDocument")), u"index.htm");
  Variant text = S(u"a b/ü");
  std::vector<VARIANT> arguments{text};
  EXPECT_EQ(Text(CallMember(server_.get(), u"URLEncode", arguments)), u"a%20b%2F%FC");
}

TEST_F(ServerTest, StopWithoutStartIsTrue) {
  Result<Variant> stopped = Get(server_.get(), u"StopServer");
  EXPECT_EQ(stopped.value().boolVal, VARIANT_TRUE);
  Result<Variant> added = CallMember(server_.get(), u"AddASPObject",
                                     std::vector<VARIANT>{S(u"x"), Variant::FromDispatch(nullptr)});
  EXPECT_EQ(added.error().Number(), 1002);
}

TEST_F(ServerTest, PortInUseIsReportedInLastError) {
  int blocker = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  ASSERT_EQ(bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(blocker, 1), 0);
  socklen_t length = sizeof address;
  getsockname(blocker, reinterpret_cast<sockaddr*>(&address), &length);
  ASSERT_TRUE(Set(server_.get(), u"Port", I(ntohs(address.sin_port))).ok());
  Result<Variant> started = Get(server_.get(), u"StartServer");
  close(blocker);
  EXPECT_EQ(started.value().boolVal, VARIANT_FALSE);
  std::string error = server_->LastErrorText();
  EXPECT_EQ(error.rfind("Can't bind socket. It seems that the port is already used\r\n98 - ", 0), 0u)
      << error;
  EXPECT_FALSE(server_->IsStarted());
}

// --- Requests --------------------------------------------------------------------------------

TEST_F(ServerTest, ServesFilesAndDefaultDocuments) {
  Start();
  std::optional<HttpResponse> home = Get11("/");
  ASSERT_TRUE(home);
  EXPECT_EQ(home->status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(home->body, "<html>home</html>");
  EXPECT_EQ(home->Header("Content-Type"), "text/html");
  EXPECT_EQ(Get11("/dir")->body, "<html>dir</html>");
  EXPECT_EQ(Get11("/dir/")->body, "<html>dir</html>");
  std::optional<HttpResponse> text = Get11("/data.txt");
  EXPECT_EQ(text->Header("Content-Type"), "text/plain");
  EXPECT_EQ(text->body, "plain text");
  std::optional<HttpResponse> missing = Get11("/missing.htm");
  EXPECT_EQ(missing->status, 404);
  EXPECT_EQ(Get11("/../../etc/passwd")->status, 404);
  EXPECT_EQ(Get11("/big.txt")->body.size(), 300000u);
}

TEST_F(ServerTest, KeepAliveFollowsConnectionAndProtocol) {
  ASSERT_TRUE(Set(server_.get(), u"AlwaysCloseConnection", Variant::FromBool(false)).ok());
  Start();
  {
    HttpClient client(port_);
    ASSERT_TRUE(client.Send("GET /data.txt HTTP/1.1\r\nHost: t\r\n\r\n"));
    std::optional<HttpResponse> first = client.Read();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Header("Connection"), "Keep-Alive");
    ASSERT_TRUE(client.Send("GET /data.txt HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n"));
    std::optional<HttpResponse> second = client.Read();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Header("Connection"), "Close");
    EXPECT_TRUE(client.ClosedByServer());
  }
  {
    HttpClient client(port_);
    ASSERT_TRUE(client.Send("GET /data.txt HTTP/1.0\r\n\r\n"));
    ASSERT_TRUE(client.Read());
    EXPECT_TRUE(client.ClosedByServer());
  }
  {
    HttpClient client(port_);
    ASSERT_TRUE(client.Send("GET /data.txt HTTP/1.0\r\nConnection: keep-alive\r\n\r\n"));
    ASSERT_TRUE(client.Read());
    ASSERT_TRUE(client.Send("GET /data.txt HTTP/1.0\r\nConnection: keep-alive\r\n\r\n"));
    EXPECT_TRUE(client.Read());
  }
}

TEST_F(ServerTest, AlwaysCloseConnectionClosesEveryResponse) {
  Start();
  HttpClient client(port_);
  ASSERT_TRUE(client.Send("GET /data.txt HTTP/1.1\r\nHost: t\r\n\r\n"));
  std::optional<HttpResponse> response = client.Read();
  ASSERT_TRUE(response);
  EXPECT_EQ(response->Header("Connection"), "Close");
  EXPECT_TRUE(client.ClosedByServer());
}

TEST_F(ServerTest, PipelinedAndSplitRequestsAreServedInOrder) {
  ASSERT_TRUE(Set(server_.get(), u"AlwaysCloseConnection", Variant::FromBool(false)).ok());
  Start();
  HttpClient client(port_);
  ASSERT_TRUE(client.Send("GET /data.txt HTTP/1.1\r\nHost: t\r\n\r\nGET /index.htm HTTP/1.1\r\nHo"));
  std::optional<HttpResponse> first = client.Read();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->body, "plain text");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(client.Send("st: t\r\n\r\n"));
  std::optional<HttpResponse> second = client.Read();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->body, "<html>home</html>");
  // A body announced by Content-Length that arrives later.
  ASSERT_TRUE(client.Send("POST /data.txt HTTP/1.1\r\nHost: t\r\nContent-Length: 10\r\n\r\n01234"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(client.Send("56789"));
  std::optional<HttpResponse> posted = client.Read();
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 200);
}

TEST_F(ServerTest, HeadAndTrace) {
  Start();
  std::optional<HttpResponse> head =
      Fetch(port_, "HEAD /data.txt HTTP/1.1\r\nHost: t\r\n\r\n", true);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->Header("Content-Length"), "10");
  EXPECT_EQ(head->body, "");
  HttpClient client(port_);
  ASSERT_TRUE(client.Send("HEAD /data.txt HTTP/1.1\r\nHost: t\r\n\r\n"));
  EXPECT_EQ(client.ReadAll().find("plain text"), std::string::npos);
  std::optional<HttpResponse> trace = Fetch(port_, "TRACE / HTTP/1.1\r\nHost: t\r\n\r\n");
  ASSERT_TRUE(trace);
  EXPECT_EQ(trace->status, 200);
  EXPECT_EQ(trace->body, "");
}

std::string Gunzip(const std::string& compressed) {
  z_stream stream{};
  inflateInit2(&stream, 16 + MAX_WBITS);
  std::string out(4096, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int status = inflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return status == Z_STREAM_END ? out : "<inflate failed>";
}

TEST_F(ServerTest, HtmlBodiesAboveSixtyFourBytesAreGzipped) {
  // A host handler writes bodies of the requested length, as a page would.
  server_->SetNativeRequestHandler([](Request& request, Response& response) {
    if (request.RequestPage() != "/written") return false;
    Variant text = S(std::u16string(static_cast<size_t>(request.ContentLength()), u'x'));
    std::vector<VARIANT> arguments{text};
    return CallMember(&response, u"Write", arguments).ok();
  });
  Start();
  auto written = [&](int length) {
    return Fetch(port_, "POST /written HTTP/1.1\r\nHost: t\r\nAccept-Encoding: gzip\r\n"
                        "Content-Length: " + std::to_string(length) + "\r\n\r\n" +
                            std::string(static_cast<size_t>(length), '-'));
  };
  std::optional<HttpResponse> small = written(64);
  ASSERT_TRUE(small);
  EXPECT_FALSE(small->Header("Content-Encoding"));
  EXPECT_EQ(small->body, std::string(64, 'x'));
  std::optional<HttpResponse> large = written(65);
  ASSERT_TRUE(large);
  EXPECT_EQ(large->Header("Content-Encoding"), "gzip");
  EXPECT_EQ(large->Header("Content-Length"), std::to_string(large->body.size()));
  EXPECT_EQ(Gunzip(large->body), std::string(65, 'x'));
  // Static files go out as they are, whatever the client accepts.
  std::optional<HttpResponse> file = Get11("/large.htm", "Accept-Encoding: gzip\r\n");
  EXPECT_FALSE(file->Header("Content-Encoding"));
  EXPECT_EQ(file->body, std::string(65, 'b'));
}

TEST_F(ServerTest, ConditionalGetAnswersNotModified) {
  Start();
  struct stat status {};
  ASSERT_EQ(stat((site_ / "data.txt").c_str(), &status), 0);
  std::string date = FormatHttpDate(status.st_mtime);
  // The request form: "Sun, 06 Nov 1994 08:49:37 GMT".
  date[7] = ' ';
  date[11] = ' ';
  std::optional<HttpResponse> same = Get11("/data.txt", "If-Modified-Since: " + date + "\r\n");
  ASSERT_TRUE(same);
  EXPECT_EQ(same->status, 304);
  std::string older = FormatHttpDate(status.st_mtime - 3600);
  older[7] = ' ';
  older[11] = ' ';
  std::optional<HttpResponse> changed = Get11("/data.txt", "If-Modified-Since: " + older + "\r\n");
  EXPECT_EQ(changed->status, 200);
  EXPECT_EQ(changed->body, "plain text");
}

// --- Hostile clients -------------------------------------------------------------------------

TEST_F(ServerTest, OversizedHeaderIsRefusedAndClosed) {
  Start();
  HttpClient client(port_);
  std::string header = "GET / HTTP/1.1\r\nX-Long: " + std::string(70000, 'x');
  client.Send(header);  // never ends: no blank line
  std::optional<HttpResponse> refused = client.Read();
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 431);
  EXPECT_TRUE(client.ClosedByServer());
  ASSERT_TRUE(Set(server_.get(), u"MaxHeaderSize", I(200000)).ok());
  std::optional<HttpResponse> allowed = Get11("/data.txt", "X-Long: " + std::string(70000, 'x') + "\r\n");
  ASSERT_TRUE(allowed);
  EXPECT_EQ(allowed->status, 200);
}

TEST_F(ServerTest, AmbiguousBodyFramingIsRefused) {
  Start();
  struct Case {
    std::string headers;
    int status;
  } cases[] = {
      {"Transfer-Encoding: chunked\r\nContent-Length: 5\r\n", 400},
      {"Content-Length: 5\r\nContent-Length: 6\r\n", 400},
      {"Transfer-Encoding: chunked\r\n", 400},
      {"Transfer-Encoding: gzip\r\n", 501},
      {"Content-Length: 5x\r\n", 400},
      {"Content-Length : 5\r\n", 400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.headers);
    HttpClient client(port_);
    ASSERT_TRUE(client.Send("POST /data.txt HTTP/1.1\r\nHost: t\r\n" + c.headers + "\r\nhello"));
    std::optional<HttpResponse> refused = client.Read();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, c.status);
    EXPECT_TRUE(client.ClosedByServer());
  }
}

TEST_F(ServerTest, SilentAndStalledClientsAreClosed) {
  ASSERT_TRUE(Set(server_.get(), u"AlwaysCloseConnection", Variant::FromBool(false)).ok());
  ASSERT_TRUE(Set(server_.get(), u"IdleTimeout", I(1)).ok());
  ASSERT_TRUE(Set(server_.get(), u"RequestTimeout", I(1)).ok());
  Start();
  HttpClient silent(port_);
  HttpClient stalled(port_);
  ASSERT_TRUE(stalled.Send("GET /data.txt HTTP/1.1\r\nHost:"));
  EXPECT_TRUE(silent.ClosedByServer(std::chrono::seconds(5)));
  std::optional<HttpResponse> timed_out = stalled.Read(false, std::chrono::seconds(5));
  ASSERT_TRUE(timed_out);
  EXPECT_EQ(timed_out->status, 408);
}

TEST_F(ServerTest, PeerResetMidResponseLeavesTheWorkerServing) {
  ASSERT_TRUE(Set(server_.get(), u"MaxThreads", I(3)).ok());
  Start();
  for (int i = 0; i < 6; ++i) {
    HttpClient client(port_);
    ASSERT_TRUE(client.Send("GET /big.txt HTTP/1.1\r\nHost: t\r\n\r\n"));
    linger reset{1, 0};
    setsockopt(client.descriptor(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  }
  std::optional<HttpResponse> after = Get11("/data.txt");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->body, "plain text");
}

TEST_F(ServerTest, GarbageAndAbandonedConnectionsLeaveTheServerServing) {
  ASSERT_TRUE(Set(server_.get(), u"AlwaysCloseConnection", Variant::FromBool(false)).ok());
  Start();
  std::mt19937 random(20261208);
  const std::string requests[] = {
      "GET /big.txt HTTP/1.1\r\nHost: t\r\n\r\n",
      "POST /data.txt HTTP/1.1\r\nContent-Length: 9\r\n\r\nabc",
      "GET /data.txt HTTP/1.1\r\nHost: t\r\nCookie: a=%4\r\nAuthorization: Basic ===\r\n\r\n",
  };
  for (int i = 0; i < 200; ++i) {
    HttpClient client(port_);
    std::string bytes = requests[random() % std::size(requests)];
    if (i % 3 == 0) {
      for (char& c : bytes) {
        if (random() % 8 == 0) c = static_cast<char>(random());
      }
    }
    bytes.resize(random() % (bytes.size() + 1));
    client.Send(bytes);
    if (i % 2 == 0) {
      linger reset{1, 0};
      setsockopt(client.descriptor(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
  }
  std::optional<HttpResponse> after = Get11("/data.txt");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->body, "plain text");
}

// --- Server code and uploads -------------------------------------------------------------------

// Files that hold server code are never sent, whatever their content type would be.
TEST_F(ServerTest, ServerCodeFilesAreNeverSent) {
  WriteFile("global.asa", "<object runat=server>");
  WriteFile("db.inc", "<% conn = \"secret\" %>");
  WriteFile("page.asp.csx", "Response.Write 1");
  // Even a configured content type does not make them files.
  Result<Variant> types = CallMember(server_.get(), u"MIMETypes");
  ASSERT_TRUE(types.ok() && types.value().vt == VT_DISPATCH);
  Variant extension = S(u".inc"), type = S(u"text/plain");
  std::vector<VARIANT> pair{extension, type};
  ASSERT_TRUE(CallMember(types.value().pdispVal, u"Add", pair).ok());
  Start();
  for (std::string_view path : {"/global.asa", "/GLOBAL.ASA", "/db.inc", "/page.asp.csx"}) {
    SCOPED_TRACE(path);
    std::optional<HttpResponse> answer = Get11(path);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 404);
    EXPECT_EQ(answer->body.find("secret"), std::string::npos);
  }
}

// An anonymous upload with the default settings lands in the private folder, never in the site,
// and never replaces a file.
TEST_F(ServerTest, DefaultUploadsStayOutOfTheSite) {
  fs::path base = site_.parent_path() / (site_.filename().string() + "-uploads");
  fs::create_directories(base);
  setenv("WENDREL_UPLOAD_BASE", base.c_str(), 1);
  Start();
  std::string body =
      "--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"index.htm\"\r\n\r\n"
      "pwned\r\n--B--\r\n";
  for (int i = 0; i < 2; ++i) {
    std::optional<HttpResponse> answer =
        Fetch(port_, "POST /form.xyz HTTP/1.1\r\nHost: t\r\nContent-Type: multipart/form-data; "
                     "boundary=B\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                         body);
    ASSERT_TRUE(answer);
  }
  EXPECT_EQ(Get11("/")->body, "<html>home</html>");
  fs::path private_folder = base / ("wendrel-uploads-" + std::to_string(getuid()));
  EXPECT_TRUE(fs::exists(private_folder / "index.htm"));
  EXPECT_TRUE(fs::exists(private_folder / "index (1).htm"));
  EXPECT_EQ(fs::status(private_folder).permissions() & fs::perms::all, fs::perms::owner_all);
  unsetenv("WENDREL_UPLOAD_BASE");
  fs::remove_all(base);
}

// --- Event-driven connections ---------------------------------------------------------------

// Idle and half-sent connections hold no thread: far more of them than workers leave the
// server answering at once.
TEST_F(ServerTest, IdleAndSlowClientsDoNotDelayOthers) {
  ASSERT_TRUE(Set(server_.get(), u"MaxThreads", I(3)).ok());
  ASSERT_TRUE(Set(server_.get(), u"AlwaysCloseConnection", Variant::FromBool(false)).ok());
  Start();
  std::vector<std::unique_ptr<HttpClient>> waiting;
  for (int i = 0; i < 100; ++i) {
    waiting.push_back(std::make_unique<HttpClient>(port_));
    ASSERT_TRUE(waiting.back()->IsConnected());
    if (i % 2 == 0) {
      ASSERT_TRUE(waiting.back()->Send("GET /data.txt HTTP/1.1\r\nHost: t\r\n\r\n"));
      ASSERT_TRUE(waiting.back()->Read());  // served, now idle and kept alive
    } else {
      ASSERT_TRUE(waiting.back()->Send("GET /data.txt HTTP/1.1\r\nX-Slow: "));  // never ends
    }
  }
  auto asked = std::chrono::steady_clock::now();
  std::optional<HttpResponse> other = Get11("/index.htm");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->body, "<html>home</html>");
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
  // The idle ones are still served on their kept connections.
  ASSERT_TRUE(waiting[0]->Send("GET /index.htm HTTP/1.1\r\nHost: t\r\n\r\n"));
  std::optional<HttpResponse> again = waiting[0]->Read();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->body, "<html>home</html>");
}

// A request answered on a worker (the host's handler) and the static files pipelined after it
// on the same connection come back in order.
TEST_F(ServerTest, WorkerAndLoopAnswersKeepTheirOrder) {
  server_->SetNativeRequestHandler([](Request& request, Response& response) {
    if (request.RequestPage() != "/host") return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Variant text = S(u"from the host");
    std::vector<VARIANT> arguments{text};
    return CallMember(&response, u"Write", arguments).ok();
  });
  ASSERT_TRUE(Set(server_.get(), u"AlwaysCloseConnection", Variant::FromBool(false)).ok());
  Start();
  HttpClient client(port_);
  ASSERT_TRUE(client.Send("GET /data.txt HTTP/1.1\r\nHost: t\r\n\r\n"
                          "GET /host HTTP/1.1\r\nHost: t\r\n\r\n"
                          "GET /index.htm HTTP/1.1\r\nHost: t\r\n\r\n"
                          "GET /host HTTP/1.1\r\nHost: t\r\n\r\n"));
  for (std::string_view expected : {"plain text", "from the host", "<html>home</html>",
                                    "from the host"}) {
    std::optional<HttpResponse> answer = client.Read();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->body, expected);
  }
}

// Heads a proxy could read differently are refused before anything runs.
TEST_F(ServerTest, StrictParsingRefusesAmbiguousHeads) {
  Start();
  struct Case {
    std::string request;
    int status;
  } cases[] = {
      {"GET /data.txt HTTP/1.1\nHost: t\r\n\r\n", 400},
      {"GET /data.txt HTTP/1.1\r\nHost: t\r\n folded\r\n\r\n", 400},
      {"GET\r\n\r\n", 400},
      {"GET /data.txt HTTP/2.0\r\n\r\n", 505},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    std::optional<HttpResponse> refused = Fetch(port_, c.request);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, c.status);
  }
  std::optional<HttpResponse> newer = Fetch(port_, "GET /data.txt HTTP/1.5\r\n\r\n");
  ASSERT_TRUE(newer);
  EXPECT_EQ(newer->status_line, "HTTP/1.1 200 OK");
}

// A thread callback that holds its worker until the test lets it go.
std::mutex held_mutex;
std::condition_variable held_changed;
int held_workers = 0;
bool release_workers = false;

void HoldWorker(IDispatch*, IDispatch*) {
  std::unique_lock lock(held_mutex);
  ++held_workers;
  held_changed.notify_all();
  held_changed.wait_for(lock, std::chrono::seconds(20), [] { return release_workers; });
}

// Idle and waiting clients hold no worker: only requests that run host code need one. When all
// are busy, such a request gets the 503 literal after about a second in hand-over mode, while
// static files are still served.
TEST_F(ServerTest, HandOverModeAnswers503WhenEveryWorkerIsBusy) {
  ASSERT_TRUE(Set(server_.get(), u"HandOverMode", Variant::FromBool(true)).ok());
  ASSERT_TRUE(Set(server_.get(), u"MaxThreads", I(3)).ok());
  held_workers = 0;
  release_workers = false;
  server_->Events().SetThreadCallback(&HoldWorker, 0);
  Start();
  std::vector<std::unique_ptr<HttpClient>> busy;
  for (int i = 0; i < 3; ++i) {
    busy.push_back(std::make_unique<HttpClient>(port_));
    ASSERT_TRUE(busy.back()->Send("GET /slow.xyz HTTP/1.1\r\nHost: t\r\n\r\n"));
  }
  {
    std::unique_lock lock(held_mutex);
    ASSERT_TRUE(held_changed.wait_for(lock, std::chrono::seconds(10),
                                      [] { return held_workers == 3; }));
  }
  std::optional<HttpResponse> static_file = Get11("/data.txt");
  ASSERT_TRUE(static_file);
  EXPECT_EQ(static_file->body, "plain text");
  HttpClient refused(port_);
  ASSERT_TRUE(refused.Send("GET /other.xyz HTTP/1.1\r\nHost: t\r\n\r\n"));
  auto asked = std::chrono::steady_clock::now();
  std::string answer = refused.ReadAll(std::chrono::seconds(5));
  EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(900));
  EXPECT_EQ(answer,
            "HTTP/1.0 503 Service Unavailable\r\nContent-length: 94\r\n\r\n<html><body><h1>Server "
            "unavailable</h1><p>Too many connections - try again later</body></html>");
  {
    std::lock_guard lock(held_mutex);
    release_workers = true;
  }
  held_changed.notify_all();
  for (auto& client : busy) {
    std::optional<HttpResponse> served = client->Read();
    ASSERT_TRUE(served);
    EXPECT_EQ(served->status, 404);  // the callback let default processing go on: no such file
  }
  server_->Events().SetThreadCallback(nullptr, 0);
}

TEST_F(ServerTest, StopEndsRunningConnectionsAndRestarts) {
  ASSERT_TRUE(Set(server_.get(), u"AlwaysCloseConnection", Variant::FromBool(false)).ok());
  Start();
  HttpClient idle(port_);
  ASSERT_TRUE(idle.Send("GET /data.txt HTTP/1.1\r\nHost: t\r\n\r\n"));
  ASSERT_TRUE(idle.Read());
  auto begun = std::chrono::steady_clock::now();
  server_->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
  EXPECT_TRUE(idle.ClosedByServer());
  Start();
  EXPECT_EQ(Get11("/data.txt")->body, "plain text");
}

// A stop while a worker runs host code that does not return: the worker's connection is
// interrupted and the stop ends in bounded time.
TEST_F(ServerTest, StopEndsWhileAWorkerIsBusy) {
  held_workers = 0;
  release_workers = false;
  server_->Events().SetThreadCallback(&HoldWorker, 0);
  Start();
  HttpClient client(port_);
  ASSERT_TRUE(client.Send("GET /slow.xyz HTTP/1.1\r\nHost: t\r\n\r\n"));
  {
    std::unique_lock lock(held_mutex);
    ASSERT_TRUE(held_changed.wait_for(lock, std::chrono::seconds(10),
                                      [] { return held_workers == 1; }));
  }
  std::thread releaser([] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::lock_guard lock(held_mutex);
    release_workers = true;
    held_changed.notify_all();
  });
  auto begun = std::chrono::steady_clock::now();
  server_->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(6));
  releaser.join();
  server_->Events().SetThreadCallback(nullptr, 0);
}

TEST_F(ServerTest, ListenerSendsItsHeartbeatToAListeningMonitor) {
  fs::path path = site_ / "heartbeat";
  int monitor = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(monitor, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  setenv("WENDREL_HEARTBEAT_PATH", path.c_str(), 1);
  Start();
  pollfd wait{monitor, POLLIN, 0};
  ASSERT_EQ(poll(&wait, 1, 8000), 1);  // one round is five seconds
  uint32_t thread_id = 0;
  EXPECT_EQ(recv(monitor, &thread_id, sizeof thread_id, 0), 4);
  EXPECT_NE(thread_id, 0u);
  unsetenv("WENDREL_HEARTBEAT_PATH");
  close(monitor);
}

}  // namespace
